// MD5 digests through libcrypto's MD5 context functions, over a string, a
// file read in 1024-byte blocks, or the standard input in 16-byte blocks.
#define OPENSSL_SUPPRESS_DEPRECATED 1
#include "errors/internal/boundary.hpp"
#include "zkfile_md5.h"

#include <openssl/md5.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr std::size_t kFileBlock = 1024;
constexpr std::size_t kFilterBlock = 16;
// The stream's own buffer: the reads stay 1024 bytes each, but the kernel is
// asked for large pieces, so a big file costs few system calls.
constexpr std::size_t kStreamBuffer = 1 << 20;

// Adds every block read from stream until a read yields nothing (end of file
// or a read error, which ends the input silently).
void digest_stream(MD5_CTX *context, FILE *stream, std::size_t block) {
  unsigned char buffer[kFileBlock];
  for (;;) {
    std::size_t got = std::fread(buffer, 1, block, stream);
    if (got == 0) break;
    MD5_Update(context, buffer, got);
  }
}

}  // namespace

extern "C" void zkfile_md5_string(unsigned char *digest, const char *text) {
  hestrel::call_c(__func__, [&] {
    MD5_CTX context;
    MD5_Init(&context);
    MD5_Update(&context, text, std::strlen(text));
    MD5_Final(digest, &context);
  });
}

extern "C" int zkfile_md5_file(unsigned char *digest, const char *path) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    std::memset(digest, 0, MD5_DIGEST_LENGTH);
    FILE *stream = std::fopen(path, "rb");
    if (stream == nullptr) return 1;
    // Without memory for the large buffer the stream keeps its default one.
    std::unique_ptr<char[]> stream_buffer(new (std::nothrow) char[kStreamBuffer]);
    if (stream_buffer) std::setvbuf(stream, stream_buffer.get(), _IOFBF, kStreamBuffer);
    MD5_CTX context;
    MD5_Init(&context);
    digest_stream(&context, stream, kFileBlock);
    MD5_Final(digest, &context);
    std::fclose(stream);
    return 0;
  });
}

extern "C" int zkfile_md5_filter(unsigned char *digest) {
  return hestrel::call_c(__func__, -1, [&]() -> int {
    MD5_CTX context;
    MD5_Init(&context);
    digest_stream(&context, stdin, kFilterBlock);
    MD5_Final(digest, &context);
    return 0;
  });
}
