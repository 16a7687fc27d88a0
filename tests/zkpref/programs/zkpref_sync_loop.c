/* Synchronises a store of many keys: "loop" until it is killed, "close" to
 * write each round by closing the store instead, "once" for one complete
 * round. The tests kill it in the middle of its writes. */
#include <stdio.h>
#include <string.h>

#include "zkpref.h"

static void set_round(ZKpref handle, int round) {
  char key[32];
  int i;
  for (i = 0; i < 2000; ++i) {
    snprintf(key, sizeof key, "g%d/k%d", i % 20, i);
    zkpref_set_int(handle, key, round * 10000 + i);
  }
}

int main(int argc, char **argv) {
  ZKpref handle = 0;
  int round;
  const char *mode = argc > 1 ? argv[1] : "loop";
  if (strcmp(mode, "close") == 0) {
    for (round = 0;; ++round) {
      if (zkpref_new(&handle, ZKPREF_TRALVENIC) != 0) return 2;
      set_round(handle, round);
      zkpref_delete(handle);
    }
  }
  if (zkpref_new(&handle, ZKPREF_TRALVENIC) != 0) return 2;
  for (round = 0; strcmp(mode, "once") == 0 ? round < 1 : 1; ++round) {
    set_round(handle, round);
    if (zkpref_sync(handle) != ZKPREF_SUCCESS) return 3;
  }
  zkpref_delete(handle);
  return 0;
}
