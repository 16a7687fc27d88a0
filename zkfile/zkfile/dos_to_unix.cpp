// In-place conversion of DOS text files to line-feed line ends, through a
// converted copy beside the file that replaces it in one rename.
#include "zkfile_dos.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "errors/internal/boundary.hpp"
#include "zkerr.h"
#include "zkfile/internal/report.hpp"
#include "zkfile_search.h"

namespace {

constexpr int kCR = '\r';
constexpr int kLF = '\n';

// Formats in place, so a report needs no allocation of its own.
template <typename... Args>
void fatal(const char *format, Args... args) {
  zkerr_throw(errHand_zkfile, ZKERR_FATAL, format, args...);
}

// Makes the copy's file afresh and exclusively: a file, hard link or symbolic
// link planted under its name is removed first rather than written through,
// so the converted file never becomes someone else's inode. -1 when the
// name cannot be freed (a folder stands there) or the file not made: either
// way the copy cannot be opened for writing.
int create_copy(const char *copy_name) {
  int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  int fd = open(copy_name, flags, 0600);
  if (fd >= 0 || errno != EEXIST) return fd;
  if (unlink(copy_name) != 0) return -1;
  return open(copy_name, flags, 0600);
}

// Whether the stream's first chunk, as one line read of PATH_MAX bytes would
// deliver it, holds a carriage return. Byte by byte, so NUL bytes in the line
// cannot hide one.
bool first_chunk_has_cr(FILE *in) {
  for (long i = 0; i < PATH_MAX - 1; ++i) {
    int c = std::getc(in);
    if (c == EOF) return false;
    if (c == kCR) return true;
    if (c == kLF) return false;
  }
  return false;
}

bool is_dos_file(const char *path) {
  FILE *in = std::fopen(path, "rb");
  if (in == nullptr) return false;
  bool dos = first_chunk_has_cr(in);
  std::fclose(in);
  return dos;
}

// Copies in to out, dropping each CR that comes before an LF and turning a
// CR that ends the input into an LF. A CR is held back until the next byte
// is known, so a CR LF pair split across reads converts like any other.
// False on a read or write error.
bool convert_stream(FILE *in, FILE *out) {
  static constexpr std::size_t kBlock = 1 << 16;
  unsigned char input[kBlock];
  unsigned char output[kBlock + 1];
  bool held_cr = false;
  for (;;) {
    std::size_t got = std::fread(input, 1, kBlock, in);
    if (got == 0) break;
    std::size_t n = 0;
    for (std::size_t i = 0; i < got; ++i) {
      unsigned char c = input[i];
      if (held_cr && c != kLF) output[n++] = kCR;
      held_cr = (c == kCR);
      if (!held_cr) output[n++] = c;
    }
    if (std::fwrite(output, 1, n, out) != n) return false;
  }
  if (std::ferror(in)) return false;
  if (held_cr && std::fputc(kLF, out) == EOF) return false;
  return true;
}

}  // namespace

extern "C" int zkfile_is_dosfile(const char *path) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (path == nullptr) return -1;
    return is_dos_file(path) ? 0 : -1;
  });
}

extern "C" int zkfile_dos_to_unix(const char *path) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    if (path == nullptr) return 0;
    if (zkfile_exists(path, 0) != 0) return 0;
    if (!is_dos_file(path)) return 0;

    std::size_t length = std::strlen(path);
    char *copy_name = static_cast<char *>(std::malloc(length + 6));
    if (copy_name == nullptr) {
      fatal("zkfile_dos_to_unix():Failed to allocate memory for path '%s'.\n", path);
      return -1;
    }
    std::snprintf(copy_name, length + 6, "%s.tmp", path);

    FILE *in = std::fopen(path, "rb");
    if (in == nullptr) {
      fatal("zkfile_dos_to_unix():Failed to open '%s' for reading.\n", path);
      std::free(copy_name);
      return -1;
    }
    int out_fd = create_copy(copy_name);
    FILE *out = out_fd >= 0 ? fdopen(out_fd, "wb") : nullptr;
    if (out == nullptr) {
      if (out_fd >= 0) close(out_fd);
      fatal("zkfile_dos_to_unix():Failed to open '%s' for writing.\n", copy_name);
      std::fclose(in);
      std::free(copy_name);
      return -1;
    }
    // The copy takes the file's place, so it takes its permission bits too.
    struct stat original;
    if (fstat(fileno(in), &original) == 0) fchmod(fileno(out), original.st_mode & 07777);

    bool copied = convert_stream(in, out);
    bool read_failed = std::ferror(in) != 0;
    std::fclose(in);
    if (std::fclose(out) != 0) copied = false;
    if (!copied) {
      // A short copy must never replace the file: drop it, keep the original.
      unlink(copy_name);
      fatal("zkfile_dos_to_unix():Failed to %s '%s'; the file is unchanged.\n", read_failed ? "read" : "write",
            read_failed ? path : copy_name);
      std::free(copy_name);
      return -1;
    }
    // One rename replaces the file: until it succeeds the original is intact.
    if (std::rename(copy_name, path) != 0) {
      fatal("zkfile_dos_to_unix():Failed to rename the converted file '%s' to '%s'.\n", copy_name, path);
      std::free(copy_name);
      return -1;
    }
    std::free(copy_name);
    return 0;
  });
}

extern "C" int zkfile_dos_to_unix_register(const char *) { return 0; }

extern "C" int zkfile_dos_to_unix_convert(void) { return 0; }
