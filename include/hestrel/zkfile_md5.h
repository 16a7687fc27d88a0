/* MD5 digests (RFC 1321) of a string, a file's contents or the standard
 * input; each writes the 16 raw digest bytes into the caller's buffer. */
#ifndef HESTREL_ZKFILE_MD5_H
#define HESTREL_ZKFILE_MD5_H

#include "hestrel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Digest of the bytes of text before its NUL; text must not be NULL.
 * digest must hold at least 16 bytes. */
HESTREL_API void zkfile_md5_string(unsigned char *digest, const char *text);

/* Digest of the file's contents: 0 when the file was opened, 1 when it cannot
 * be opened (digest then 16 zero bytes). A read error part-way ends the input
 * silently: the digest covers the bytes read before it. No messages. */
HESTREL_API int zkfile_md5_file(unsigned char *digest, const char *path);

/* Digest of everything read from standard input until its end; always 0. */
HESTREL_API int zkfile_md5_filter(unsigned char *digest);

#ifdef __cplusplus
}
#endif

#endif
