/* A host that defines its own "failure" and "errHand_zkfile", names the
 * library exports too: the library's warnings must still be its own. */
#include <stdio.h>
#include <stdlib.h>

#include "zkerr.h"
#include "zkfile_dirs.h"

int errHand_zkfile = 5;

void failure(const char *text) { printf("host failure called with %s\n", text ? text : "(null)"); }

int main(void) {
  /* Reported through the library's own route on its own handle (-1): a
   * WARNING that the default threshold prints to stderr. */
  if (zkfile_mkdir(NULL, 0755) != -1) return 1;
  fflush(stderr);
  printf("host done\n");
  return 0;
}
