/* A C host of the library: it runs without the Fortran runtime in its
 * address space, and a record written to a unit loads the runtime then. */
#include <stdio.h>
#include <string.h>

#include "zkerr.h"

/* Whether a mapping of the process names the text. */
static int mapped(const char *text) {
  FILE *maps = fopen("/proc/self/maps", "r");
  char line[4096];
  int found = 0;
  if (!maps) return -1;
  while (fgets(line, sizeof line, maps))
    if (strstr(line, text)) found = 1;
  fclose(maps);
  return found;
}

int main(void) {
  int handle = 0, unit = 6, length = 3;
  zkerr_new(&handle);
  zkerr_throw(handle, 5, "made\n");
  if (mapped("libgfortran") != 0 || mapped("libquadmath") != 0) {
    printf("FAIL: the Fortran runtime is loaded\n");
    return 1;
  }
  printf("ran without the Fortran runtime\n");
  fflush(stdout);
  fprint_line_(&unit, "abcdef", &length, 6);
  fskip_line_(&unit);
  if (mapped("libgfortran") != 1) {
    printf("FAIL: a record did not bind the Fortran runtime\n");
    return 1;
  }
  zkerr_delete(handle);
  return 0;
}
