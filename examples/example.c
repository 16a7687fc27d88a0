/* A few calls into each part of libhestrel, as a C program meets them. */
#include <stdio.h>
#include <string.h>

#include <zkerr.h>

static char captured[1024];

/* A callback sees every finished message; this one keeps them. */
static int keep_message(char *message) {
  strncat(captured, message, sizeof captured - strlen(captured) - 1);
  return 0;
}

static void show_errors(void) {
  int handle;
  unsigned int level;
  zkerr_new(&handle);
  zkerr_file(handle, stdout);
  zkerr_prefix(handle, "example: ");
  zkerr_window(handle, keep_message);
  zkerr_level(handle, ZKERR_BUMMER);
  for (level = ZKERR_BUMMER; level <= ZKERR_LEVEL_UNDEFINED; ++level)
    zkerr_throw(handle, level, "a message at %s\n", zkerr_return_code(level));
  zkerr_maxlevel(handle, &level);
  printf("highest level raised: %s\n", zkerr_return_code(level));
  printf("the callback captured %zu characters\n", strlen(captured));
  zkerr_delete(handle);
}

int main(void) {
  show_errors();
  return 0;
}
