// Tests of the MD5 digests of strings, files and the standard input, against
// the RFC 1321 test suite.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "hestrel_test/temp_home.hpp"
#include "zkfile_md5.h"

namespace {

std::string hex(const unsigned char *digest) {
  char text[33];
  for (int i = 0; i < 16; ++i) std::snprintf(text + 2 * i, 3, "%02x", digest[i]);
  return text;
}

// RFC 1321, appendix A.5.
struct Vector {
  const char *message;
  const char *digest;
};
// clang-format off
const Vector kRfcVectors[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};
// clang-format on

// Runs zkfile_md5_filter in a child whose standard input is the file, and
// brings back its result and digest through a pipe.
std::string filter_digest_of(const std::string &path, int *result) {
  int fds[2];
  if (pipe(fds) != 0) return "";
  pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    if (std::freopen(path.c_str(), "rb", stdin) == nullptr) _exit(2);
    unsigned char out[17];
    out[16] = static_cast<unsigned char>(zkfile_md5_filter(out));
    _exit(write(fds[1], out, sizeof out) == sizeof out ? 0 : 3);
  }
  close(fds[1]);
  unsigned char in[17] = {};
  ssize_t got = read(fds[0], in, sizeof in);
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (got != sizeof in || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return "";
  *result = in[16];
  return hex(in);
}

TEST(Md5, StringFileAndFilterGiveTheRfcDigests) {
  hestrel_test::ScratchDir scratch;
  for (const Vector &v : kRfcVectors) {
    SCOPED_TRACE(v.message);
    unsigned char digest[16];
    zkfile_md5_string(digest, v.message);
    EXPECT_EQ(hex(digest), v.digest);

    std::string path = scratch / "message";
    hestrel_test::write_file(path, v.message);
    EXPECT_EQ(zkfile_md5_file(digest, path.c_str()), 0);
    EXPECT_EQ(hex(digest), v.digest);

    int result = -1;
    EXPECT_EQ(filter_digest_of(path, &result), v.digest);
    EXPECT_EQ(result, 0);
  }
}

TEST(Md5, FilesAroundTheReadBlockAreDigestedWhole) {
  hestrel_test::ScratchDir scratch;
  // Sizes either side of the 1024-byte and 16-byte read blocks; the string
  // digest of the same bytes is the reference.
  for (std::size_t size : {15u, 16u, 17u, 1023u, 1024u, 1025u, 2048u, 5000u}) {
    SCOPED_TRACE(size);
    std::string bytes;
    for (std::size_t i = 0; i < size; ++i) bytes += static_cast<char>('a' + i % 26);
    std::string path = scratch / "block";
    hestrel_test::write_file(path, bytes);
    unsigned char from_string[16], from_file[16];
    zkfile_md5_string(from_string, bytes.c_str());
    EXPECT_EQ(zkfile_md5_file(from_file, path.c_str()), 0);
    EXPECT_EQ(hex(from_file), hex(from_string));
    int result = -1;
    EXPECT_EQ(filter_digest_of(path, &result), hex(from_string));
  }
}

TEST(Md5, BinaryFileWithNulBytes) {
  hestrel_test::ScratchDir scratch;
  std::string path = scratch / "binary";
  // Three NUL bytes: the file digest covers them, unlike a string.
  hestrel_test::write_file(path, std::string("\0\0\0", 3));
  unsigned char digest[16];
  EXPECT_EQ(zkfile_md5_file(digest, path.c_str()), 0);
  EXPECT_EQ(hex(digest), "693e9af84d3dfcc71e640e005bdc5e2e");
}

TEST(Md5, MissingFileGivesOneAndZeroDigest) {
  hestrel_test::ScratchDir scratch;
  unsigned char digest[16];
  std::memset(digest, 0xAB, sizeof digest);
  EXPECT_EQ(zkfile_md5_file(digest, (scratch / "missing").c_str()), 1);
  EXPECT_EQ(hex(digest), std::string(32, '0'));
}

}  // namespace
