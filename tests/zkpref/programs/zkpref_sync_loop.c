/* Synchronises a store of many keys: "loop" until it is killed, "once" for
 * one complete round. The tests kill it in the middle of its writes. */
#include <stdio.h>
#include <string.h>

#include "zkpref/zkpref.h"

int main(int argc, char **argv) {
  ZKpref handle = 0;
  char key[32];
  int round, i;
  const int once = argc > 1 && strcmp(argv[1], "once") == 0;
  if (zkpref_new(&handle, ZKPREF_TRALVENIC) != 0) return 2;
  for (round = 0; once ? round < 1 : 1; ++round) {
    for (i = 0; i < 2000; ++i) {
      snprintf(key, sizeof key, "g%d/k%d", i % 20, i);
      zkpref_set_int(handle, key, round * 10000 + i);
    }
    if (zkpref_sync(handle) != ZKPREF_SUCCESS) return 3;
  }
  zkpref_delete(handle);
  return 0;
}
