// Directory listings through integer handles, with entry names filtered by
// the library's regular-expression engine.
#include "zkfile_listing.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "errors/internal/boundary.hpp"
#include "zkerr.h"
#include "zkfile/internal/listing_table.hpp"

namespace hestrel::zkfile::listing {

namespace {

// Entry names are handled in buffers of this size; a longer name is refused.
constexpr std::size_t kNameBuffer = 256;

struct ListingTable {
  std::vector<dir_struct> slots;
  ~ListingTable() {
    for (dir_struct &slot : slots) {
      if (slot.dir != nullptr) closedir(slot.dir);
      std::free(slot.filter);
    }
  }
};

void bad_index(const char *function, int handle) {
  zkerr_throw(-1, ZKERR_WARNING, "%s(): bad dir index = %d \n", function, handle);
}

}  // namespace

std::vector<dir_struct> &zk_dirs() {
  static ListingTable table;
  return table.slots;
}

int reserve_listing_slot() {
  std::vector<dir_struct> &slots = zk_dirs();
  int chosen = -1;
  for (std::size_t i = 0; i < slots.size(); ++i)
    if (slots[i].in_use == 0) chosen = static_cast<int>(i);
  if (chosen < 0) {
    slots.emplace_back();
    chosen = static_cast<int>(slots.size() - 1);
  }
  // A free slot holds nothing open, so clearing it loses nothing.
  slots[chosen] = dir_struct{};
  return chosen;
}

dir_struct *open_listing(int handle) {
  std::vector<dir_struct> &slots = zk_dirs();
  if (handle < 0 || static_cast<std::size_t>(handle) >= slots.size()) return nullptr;
  dir_struct &slot = slots[handle];
  return slot.in_use != 0 ? &slot : nullptr;
}

}  // namespace hestrel::zkfile::listing

using hestrel::zkfile::listing::dir_struct;
using hestrel::zkfile::listing::open_listing;

extern "C" int zkfile_open_directory(int *handle, const char *path) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (handle == nullptr || path == nullptr) {
      if (handle != nullptr) *handle = -1;
      zkerr_throw(-1, ZKERR_WARNING, "%s", "zkfile_open_directory(): null path or handle\n");
      return -1;
    }
    int index = hestrel::zkfile::listing::reserve_listing_slot();
    *handle = index;
    dir_struct &slot = hestrel::zkfile::listing::zk_dirs()[index];
    slot.dir = opendir(path);
    if (slot.dir == nullptr) {
      std::printf("opendir: Unable to open \"%s\"\n", path);
      *handle = -1;
      return -1;
    }
    slot.in_use = 1;
    return 0;
  });
}

extern "C" int zkfile_set_dir_filter(int handle, const char *regex) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    dir_struct *slot = open_listing(handle);
    if (slot == nullptr) {
      hestrel::zkfile::listing::bad_index("zkfile_set_dir_filter", handle);
      return -1;
    }
    if (regex == nullptr) {
      zkerr_throw(-1, ZKERR_WARNING, "%s", "zkfile_set_dir_filter(): null filter\n");
      return -1;
    }
    if (regex[0] == '\0') return 0;
    zk_regexp *compiled = zk_regcomp(regex);
    std::free(slot->filter);
    slot->filter = compiled;
    if (compiled == nullptr) {
      // The whole expression goes into the message, however long it is.
      std::string message = std::string("ZKFILE: can not compile filter -> ") + regex + "\n";
      zkerr_throw(-1, ZKERR_INFO, "%s", message.c_str());
      return -1;
    }
    return 0;
  });
}

extern "C" int zkfile_get_next_file(int handle, char *buffer, int size) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    dir_struct *slot = open_listing(handle);
    if (slot == nullptr) {
      hestrel::zkfile::listing::bad_index("zkfile_get_next_file", handle);
      return -1;
    }
    if (buffer == nullptr) {
      zkerr_throw(-1, ZKERR_WARNING, "%s", "zkfile_get_next_file(): null buffer\n");
      return -1;
    }
    for (;;) {
      struct dirent *entry = readdir(slot->dir);
      if (entry == nullptr) return -2;
      const char *name = entry->d_name;
      std::size_t length = std::strlen(name);
      if (length >= hestrel::zkfile::listing::kNameBuffer) {
        // Refused rather than reported as the end, so the caller can read on.
        errno = E2BIG;
        zkerr_throw(-1, ZKERR_WARNING, "zkfile_get_next_file(): entry name of %zu bytes is too long\n", length);
        return -1;
      }
      if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
      if (slot->filter != nullptr && zk_regexec(slot->filter, name) != 1) continue;
      if (size < 0 || length + 1 > static_cast<std::size_t>(size)) return -1;
      std::memcpy(buffer, name, length + 1);
      return 0;
    }
  });
}

extern "C" int zkfile_close_directory(int handle) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    dir_struct *slot = open_listing(handle);
    if (slot == nullptr) {
      hestrel::zkfile::listing::bad_index("zkfile_close_directory", handle);
      return -1;
    }
    closedir(slot->dir);
    slot->dir = nullptr;
    std::free(slot->filter);
    slot->filter = nullptr;
    slot->in_use = 0;
    return 0;
  });
}
