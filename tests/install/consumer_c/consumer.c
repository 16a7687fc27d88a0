/* A C program that includes the headers both ways and calls the library. */
#include <hestrel/zkerr.h>
#include <stdio.h>

#include "zkfile_path.h"

int main(void) {
  char *joined = zkfile_add_component("dir", "name");
  if (!joined) return 1;
  printf("%s\n", joined);
  zkfile_free_component_string(joined);
  return zkerr_level(-1, 4) == 1 ? 0 : 1;
}
