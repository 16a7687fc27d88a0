// The search path: an ordered list of directories, set up on first use, along
// which relative names are looked up; plus the table of customary templates.
#include "zkfile_search.h"

#include <sys/stat.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "errors/internal/boundary.hpp"
#include "pelmoravine_path.hpp"
#include "zkerr.h"
#include "zkfile/internal/report.hpp"
#include "zkfile/internal/search_path.hpp"
#include "zkfile_dirs.h"
#include "zkfile_expand.h"

namespace {

const char *const kTemplates[] = {
    "/",
    "",
    "$USERDATA/tolvane:$TOLVANE_EXEC/../../data:$TOLVANE_EXEC/../../data/res:"
    "$TOLVANE_EXEC/../../data/xres",
    "$USERDATA/caldrex:$CALDREX_EXEC/../../data:$CALDREX_EXEC/../../data/res",
    "$USERDATA/sorquint:$KWOR_EXEC/../../data",
    "$DREMLOK_EXEC/../../data:$DREMLOK_EXEC/../../uff:",
    "$USERDATA/qorm:$QORM_EXEC/../../data:",
    "$USERDATA/lumbrast:$LUMBRAST_EXEC:$LUMBRAST_EXEC/../../data",
    "$USERDATA/vornakel:$OSKEL_EXEC/../../data:$VORNAKEL_EXEC/../../data",
    "$USERDATA/mirrendal:$MIRRENDAL_EXEC/../../data:$TOLVANE_EXEC/../../data/mirrendal",
};
const int kTemplateCount = sizeof kTemplates / sizeof kTemplates[0];
const int kDefaultTemplate = 2;

// One entry of the search path; its text is a heap copy it owns.
struct search_path_item {
  char *dir = nullptr;
  int cwd = 0;   // 1 when added as the working directory
  int home = 0;  // 1 when added as the home directory
  search_path_item *next = nullptr;
};

// The one search path: its items in the order added (no two with the same
// text) and the item of the last successful relative lookup.
struct search_path_type {
  search_path_item *first = nullptr;
  search_path_item *found = nullptr;

  search_path_type() = default;
  search_path_type(const search_path_type &) = delete;
  search_path_type &operator=(const search_path_type &) = delete;
  search_path_type(search_path_type &&other) noexcept : first(other.first), found(other.found) {
    other.first = nullptr;
    other.found = nullptr;
  }
  ~search_path_type() { release(); }

  void release() {
    found = nullptr;
    while (first != nullptr) {
      search_path_item *next = first->next;
      std::free(first->dir);
      delete first;
      first = next;
    }
  }

  bool contains(const std::string &dir) const {
    for (const search_path_item *item = first; item != nullptr; item = item->next)
      if (dir == item->dir) return true;
    return false;
  }

  // Appends dir unless an item holds that text already; false only when
  // the copy cannot be made.
  bool append(const std::string &dir, int cwd, int home) {
    if (contains(dir)) return true;
    char *copy = strdup(dir.c_str());
    if (copy == nullptr) return false;
    search_path_item *item = new (std::nothrow) search_path_item;
    if (item == nullptr) {
      std::free(copy);
      return false;
    }
    item->dir = copy;
    item->cwd = cwd;
    item->home = home;
    search_path_item **end = &first;
    while (*end != nullptr) end = &(*end)->next;
    *end = item;
    return true;
  }
};

// A fixed text: reporting allocates nothing.
void raise(unsigned int level, const char *text) { zkerr_throw(errHand_zkfile, level, "%s", text); }

// Splits at ':' without strtok, whose hidden position would break a scan
// the caller has in progress; empty parts are skipped.
std::vector<std::string> split_parts(const char *text) {
  std::vector<std::string> parts;
  const char *start = text;
  while (true) {
    const char *end = std::strchr(start, ':');
    std::size_t length = end == nullptr ? std::strlen(start) : static_cast<std::size_t>(end - start);
    if (length > 0) parts.emplace_back(start, length);
    if (end == nullptr) break;
    start = end + 1;
  }
  return parts;
}
// Appends the directories of text. Every part is expanded before anything
// is added, so that a part that cannot be held whole changes nothing. While
// the path is set up (setting_up), running out of memory throws instead, so
// that the set-up is not finished with a part missing.
int add_parts(search_path_type &path, const char *text, bool setting_up = false) {
  if (text == nullptr || *text == '\0') {
    raise(ZKERR_WARNING, "ZKFILE: empty string was given as a search path\n");
    return -1;
  }
  std::vector<std::string> expanded;
  for (const std::string &part : split_parts(text)) {
    char *out = nullptr;
    // A failed user or variable lookup still leaves the rest of the part:
    // the part is kept as far as it expanded, so the code is not consulted.
    if (part.size() < PATH_MAX) zkfile_dir_expand(part.c_str(), &out);
    if (part.size() < PATH_MAX && out == nullptr) {
      if (setting_up) throw std::bad_alloc();
      raise(ZKERR_WARNING, "ZKFILE: a search path directory could not be expanded; nothing was added\n");
      return -1;
    }
    if (out == nullptr || std::strlen(out) >= PATH_MAX) {
      std::free(out);
      raise(ZKERR_WARNING, "ZKFILE: a search path directory does not fit the path limit; nothing was added\n");
      return -1;
    }
    std::string dir(out);
    std::free(out);
    for (char &c : dir)
      if (c == '\\') c = '/';
    expanded.push_back(std::move(dir));
  }
  for (const std::string &dir : expanded) {
    if (path.append(dir, 0, 0)) continue;
    if (setting_up) throw std::bad_alloc();
    return -1;
  }
  return 0;
}

search_path_type &search_path() {
  // Built once, under the guarded initialisation of a function-local static;
  // its items are released when the process exits. A set-up that runs out of
  // memory throws, which leaves the static unmade: the next use tries again.
  static search_path_type path = [] {
    unsigned long failures_before = hestrel::allocation_failures();
    search_path_type fresh;
    add_parts(fresh, ".", true);
    add_parts(fresh, kTemplates[kDefaultTemplate], true);
    // A lookup that ran out of memory answered without it (an empty home
    // directory): what was built is not the path.
    if (hestrel::allocation_failures() != failures_before) throw std::bad_alloc();
    return fresh;
  }();
  return path;
}

bool has_type(const std::string &path, int type) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return false;
  if (type == 0) return S_ISREG(status.st_mode);
  if (type == 1) return S_ISDIR(status.st_mode);
  return false;
}

}  // namespace

namespace hestrel::zkfile {

void ensure_search_path() { search_path(); }

const char *found_search_directory() {
  const search_path_item *found = search_path().found;
  return found == nullptr ? nullptr : found->dir;
}

}  // namespace hestrel::zkfile

extern "C" {

int zkfile_path_add(const char *path) {
  return hestrel::call_c(__func__, -1, [&]() -> int { return add_parts(search_path(), path); });
}

int zkfile_path_set(const char *path) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    zkfile_path_clear();
    return zkfile_path_add(path);
  });
}

int zkfile_path_clear(void) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    search_path().release();
    return 0;
  });
}

int zkfile_path_get(char **out) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    search_path_type &path = search_path();
    if (out == nullptr) return -1;
    std::string joined;
    for (const search_path_item *item = path.first; item != nullptr; item = item->next) {
      joined += item->dir;
      joined += ':';
    }
    if (!joined.empty()) joined.pop_back();
    *out = strdup(joined.c_str());
    return *out == nullptr ? -1 : 0;
  });
}

int zkfile_path_print(FILE *stream) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    search_path_type &path = search_path();
    if (stream == nullptr) return -1;
    std::fprintf(stream, "ZKFILE search path:  id = %d\n", 0);
    int number = 0;
    for (const search_path_item *item = path.first; item != nullptr; item = item->next)
      std::fprintf(stream, "item:%d  cwd:%d home:%d  dir:%s\n", ++number, item->cwd, item->home, item->dir);
    return 0;
  });
}

int zkfile_path_add_cwd(void) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    search_path_type &path = search_path();
    char *cwd = nullptr;
    if (zkfile_dir_current_get(&cwd) != 0 || cwd == nullptr) return -1;
    std::string dir(cwd);
    std::free(cwd);
    return path.append(dir, 1, 0) ? 0 : -1;
  });
}

int zkfile_path_add_home(void) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    search_path_type &path = search_path();
    return path.append(pelmoravine::path::home(), 0, 1) ? 0 : -1;
  });
}

int zkfile_path_is_absolute(const char *path) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (path == nullptr || *path == '\0') return -1;
    if (path[0] == '/' || path[0] == '\\') return 0;
    if (std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') return 0;
    return -1;
  });
}

int zkfile_exists(const char *name, int type) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    search_path_type &path = search_path();
    path.found = nullptr;
    if (name == nullptr) return -1;
    if (zkfile_path_is_absolute(name) == 0) return zkfile_file_exists(name, type);
    if (path.first == nullptr) {
      raise(ZKERR_FATAL, "ZKFILE: there are no directories in the search path\n");
      return -1;
    }
    for (search_path_item *item = path.first; item != nullptr; item = item->next) {
      if (*item->dir == '\0') continue;
      std::string full = item->dir;
      if (full.back() != '/') full += '/';
      full += name;
      if (has_type(full, type)) {
        path.found = item;
        return 0;
      }
    }
    return -1;
  });
}

int zkfile_find(const char *name, int type, char **out) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (out == nullptr) return -1;
    *out = nullptr;
    if (zkfile_exists(name, type) != 0) return -1;
    const char *dir = hestrel::zkfile::found_search_directory();
    // Always one '/' after the directory, even one that ends with '/'.
    std::string full = dir == nullptr ? std::string(name) : std::string(dir) + "/" + name;
    *out = strdup(full.c_str());
    return *out == nullptr ? -1 : 0;
  });
}

const char *zkfile_get_constant(int id) {
  return hestrel::call_c(__func__, nullptr, [&]() -> const char * {
    if (id < 0 || id >= kTemplateCount) return nullptr;
    return kTemplates[id];
  });
}

const char *_zkfile_get_constant(int id) { return zkfile_get_constant(id); }

char zkfile_get_filesep_char(void) { return '/'; }

char _zkfile_get_filesep_char(void) { return '/'; }

}  // extern "C"
