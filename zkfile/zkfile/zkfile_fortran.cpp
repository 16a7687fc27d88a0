// Fortran-callable twins of the file services: blank-padded character
// arguments in and out, the called function's status in a trailing ierr.
#include "zkfile_fortran.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "errors/internal/boundary.hpp"
#include "zkerr.h"
#include "zkfile/internal/report.hpp"
#include "zkfile_dos.h"
#include "zkfile_expand.h"
#include "zkfile_path.h"
#include "zkfile_search.h"

namespace {

// At most length characters, up to a NUL among them, trailing blanks gone.
std::string input_text(const char *text, std::size_t length) {
  std::size_t n = length;
  if (text == nullptr) return std::string();
  const void *nul = std::memchr(text, '\0', n);
  if (nul != nullptr) n = static_cast<std::size_t>(static_cast<const char *>(nul) - text);
  while (n > 0 && text[n - 1] == ' ') --n;
  return std::string(text, n);
}

// Stores text blank-padded into the argument, never past its length; a text
// that does not fit is cut, with ierr -1 and the FATAL message.
void store_output(const char *twin, const char *text, char *out, std::size_t length, int *ierr) {
  std::size_t room = length;
  std::size_t n = std::strlen(text);
  if (n <= room) {
    std::memcpy(out, text, n);
    std::memset(out + n, ' ', room - n);
    return;
  }
  std::memcpy(out, text, room);
  *ierr = -1;
  zkerr_throw(errHand_zkfile, ZKERR_FATAL, "%s: fpath not long enough; need %zu chars, have %zu", twin, n, length);
}

}  // namespace

extern "C" void zkfilef_initialize_(void *, int *ierr) { *ierr = 0; }

extern "C" void zkfilef_terminate_(void) {}

extern "C" void zkfilef_path_clear_(int *ierr) {
  hestrel::call_c(__func__, hestrel::status_on_failure{ierr}, [&] {
    *ierr = zkfile_path_clear();
    if (*ierr != 0) zkerr_throw(errHand_zkfile, ZKERR_FATAL, "%s: zkfile_path_clear() fails\n", "zkfilef_path_clear_");
  });
}

extern "C" void zkfilef_path_set_(const char *cpath, int *ierr, std::size_t cpath_len) {
  hestrel::call_c(__func__, hestrel::status_on_failure{ierr}, [&] {
    std::string path = input_text(cpath, cpath_len);
    *ierr = zkfile_path_set(path.c_str());
    if (*ierr != 0)
      zkerr_throw(errHand_zkfile, ZKERR_FATAL, "zkfilef_path_set: zkfile_path_set() fails, cpath = '%s'\n",
                  path.c_str());
  });
}

extern "C" void zkfilef_path_add_(const char *cpath, int *ierr, std::size_t cpath_len) {
  hestrel::call_c(__func__, hestrel::status_on_failure{ierr}, [&] {
    std::string path = input_text(cpath, cpath_len);
    *ierr = zkfile_path_add(path.c_str());
    if (*ierr != 0)
      zkerr_throw(errHand_zkfile, ZKERR_FATAL, "%s: zkfile_path_add(), cpath= '%s'\n", "zkfilef_path_add_",
                  path.c_str());
  });
}

extern "C" void zkfilef_path_get_(char *fpath, int *ierr, std::size_t fpath_len) {
  hestrel::call_c(__func__, hestrel::status_on_failure{ierr}, [&] {
    char *joined = nullptr;
    *ierr = zkfile_path_get(&joined);
    if (*ierr == 0 && joined != nullptr) {
      store_output("zkfilef_path_get_", joined, fpath, fpath_len, ierr);
    } else {
      *ierr = -1;
      zkerr_throw(errHand_zkfile, ZKERR_FATAL, "%s: zkfile_path_get() fails\n", "zkfilef_path_get_");
    }
    std::free(joined);
  });
}

extern "C" void zkfilef_path_add_cwd_(int *ierr) {
  hestrel::call_c(__func__, hestrel::status_on_failure{ierr}, [&] {
    *ierr = zkfile_path_add_cwd();
    if (*ierr != 0)
      zkerr_throw(errHand_zkfile, ZKERR_FATAL, "%s: zkfile_path_add_cwd) fails\n", "zkfilef_path_add_cwd_");
  });
}

extern "C" void zkfilef_path_add_home_(int *ierr) {
  hestrel::call_c(__func__, hestrel::status_on_failure{ierr}, [&] {
    *ierr = zkfile_path_add_home();
    if (*ierr != 0)
      zkerr_throw(errHand_zkfile, ZKERR_FATAL, "%s: zkfile_path_add_home) fails\n", "zkfilef_path_add_home_");
  });
}

extern "C" void zkfilef_path_localize_(char *cpath, int *ierr, std::size_t cpath_len) {
  hestrel::call_c(__func__, hestrel::status_on_failure{ierr}, [&] {
    static const char twin[] = "zkfilef_path_localize_";
    if (cpath_len > PATH_MAX)
      zkerr_throw(errHand_zkfile, ZKERR_FATAL, "%s: cpath not long enough; need %zu chars, have %d", twin, cpath_len,
                  PATH_MAX);
    std::string path = input_text(cpath, cpath_len);
    // The conversion works in a buffer of the path limit: a longer text is
    // refused rather than cut.
    if (path.size() >= PATH_MAX) {
      *ierr = -1;
      zkerr_throw(errHand_zkfile, ZKERR_FATAL, "%s: cpath of %d chars does not fit the path limit of %d\n", twin,
                  static_cast<int>(path.size()), PATH_MAX);
      return;
    }
    char buffer[PATH_MAX];
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    *ierr = zkfile_path_localize(buffer, PATH_MAX);
    if (*ierr == 0) {
      store_output(twin, buffer, cpath, cpath_len, ierr);
    } else {
      zkerr_throw(errHand_zkfile, ZKERR_INFO, "%s: fails, cpath=%s\n", twin, path.c_str());
    }
  });
}

extern "C" void zkfilef_find_(const char *cname, const int *itype, char *fpath, int *ierr, std::size_t cname_len,
                              std::size_t fpath_len) {
  hestrel::call_c(__func__, hestrel::status_on_failure{ierr}, [&] {
    std::string name = input_text(cname, cname_len);
    char *found = nullptr;
    *ierr = zkfile_find(name.c_str(), *itype, &found);
    if (*ierr == 0 && found != nullptr) {
      store_output("zkfilef_find_", found, fpath, fpath_len, ierr);
    } else {
      *ierr = -1;
      zkerr_throw(errHand_zkfile, ZKERR_INFO, "%s: zkfile_find() fails, cname='%s', cpath=%s\n", "zkfilef_find_",
                  name.c_str(), "NULL");
    }
    std::free(found);
  });
}

extern "C" void zkfilef_dir_expand_(const char *cname, char *fpath, int *ierr, std::size_t cname_len,
                                    std::size_t fpath_len) {
  hestrel::call_c(__func__, hestrel::status_on_failure{ierr}, [&] {
    std::string name = input_text(cname, cname_len);
    char *expanded = nullptr;
    *ierr = zkfile_dir_expand(name.c_str(), &expanded);
    if (*ierr == 0 && expanded != nullptr) {
      store_output("zkfilef_dir_expand_", expanded, fpath, fpath_len, ierr);
    } else {
      *ierr = -1;
      zkerr_throw(errHand_zkfile, ZKERR_INFO, "%s: zkfile_dir_expand() fails, cname='%s', cpath=%s\n",
                  "zkfilef_dir_expand_", name.c_str(), expanded != nullptr ? expanded : "NULL");
    }
    std::free(expanded);
  });
}

extern "C" void zkfilef_exists_(const char *cname, const int *itype, int *ierr, std::size_t cname_len) {
  hestrel::call_c(__func__, hestrel::status_on_failure{ierr}, [&] {
    std::string name = input_text(cname, cname_len);
    *ierr = zkfile_exists(name.c_str(), *itype);
    if (*ierr != 0)
      zkerr_throw(errHand_zkfile, ZKERR_INFO, "%s: zkfile_exists() fails, cname='%s'\n", "zkfilef_exists_",
                  name.c_str());
  });
}

extern "C" void zkfilef_path_is_absolute_(const char *cname, int *ierr, std::size_t cname_len) {
  hestrel::call_c(__func__, hestrel::status_on_failure{ierr}, [&] {
    std::string name = input_text(cname, cname_len);
    *ierr = zkfile_path_is_absolute(name.c_str());
    if (*ierr != 0)
      zkerr_throw(errHand_zkfile, ZKERR_INFO, "%s: zkfile_path_is_absolute() fails, cname='%s'\n",
                  "zkfilef_path_is_absolute_", name.c_str());
  });
}

extern "C" void zkfilef_dos_to_unix_register_(const char *name, int *ierr, std::size_t name_len) {
  hestrel::call_c(__func__, hestrel::status_on_failure{ierr}, [&] {
    std::string text = input_text(name, name_len);
    *ierr = zkfile_dos_to_unix_register(text.c_str());
  });
}

extern "C" void zkfilef_dos_to_unix_convert_(int *ierr) { *ierr = zkfile_dos_to_unix_convert(); }

extern "C" void zkfilef_dos_to_unix_(const char *name, int *ierr, std::size_t name_len) {
  hestrel::call_c(__func__, hestrel::status_on_failure{ierr}, [&] {
    std::string text = input_text(name, name_len);
    *ierr = zkfile_dos_to_unix(text.c_str());
  });
}
