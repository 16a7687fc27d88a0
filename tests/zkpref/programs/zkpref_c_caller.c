/* A C caller of the preference store: opens product 0 in the HOME it is
 * given, writes, reads, lists and removes through the C-callable interface. */
#define _POSIX_C_SOURCE 200809L
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "zkpref.h"

static int checks, failures;

static void check(int ok, const char *what, int line) {
  ++checks;
  if (!ok) {
    ++failures;
    printf("FAILED (line %d): %s\n", line, what);
  }
}
#define CHECK(condition) check((condition) != 0, #condition, __LINE__)

static int text_is(char *text, const char *expected) {
  int same = text != NULL && strcmp(text, expected) == 0;
  free(text);
  return same;
}

static void free_texts(char **texts, int n) {
  int i;
  for (i = 0; i < n; ++i) free(texts[i]);
  free(texts);
}

static char *read_all(const char *path) {
  FILE *f = fopen(path, "rb");
  char *text = calloc(65536, 1);
  if (f && text) fread(text, 1, 65535, f);
  if (f) fclose(f);
  return text;
}

static void typed_values(ZKpref h) {
  int i = -1;
  double d = -1;
  char *s = NULL;
  CHECK(zkpref_set_int(h, "n", 5) == ZKPREF_SUCCESS);
  CHECK(zkpref_get_int(h, "n", &i) == ZKPREF_SUCCESS && i == 5);
  CHECK(zkpref_set_bool(h, "b", 7) == ZKPREF_SUCCESS);
  CHECK(zkpref_get_bool(h, "b", &i) == ZKPREF_SUCCESS && i == 1);
  CHECK(zkpref_set_double(h, "d", 2.5) == ZKPREF_SUCCESS);
  CHECK(zkpref_get_double(h, "d", &d) == ZKPREF_SUCCESS && d == 2.5);
  CHECK(zkpref_set_string(h, "s", "h\xc3\xa9llo") == ZKPREF_SUCCESS);
  CHECK(zkpref_get_string(h, "s", &s) == ZKPREF_SUCCESS && text_is(s, "h\xc3\xa9llo"));
  CHECK(zkpref_set_string(h, "e", NULL) == ZKPREF_SUCCESS);
  CHECK(zkpref_get_type(h, "e") == ZKPREF_TYPE_STRING);

  CHECK(zkpref_get_int(h, "missing", &i) == ZKPREF_KEY_NOT_FOUND && i == 0);
  i = -1;
  CHECK(zkpref_get_int(h, "s", &i) == ZKPREF_TYPE_MISMATCH && i == 0);
  CHECK(zkpref_get_double(h, "missing", &d) == ZKPREF_KEY_NOT_FOUND && d == 0.0);
  CHECK(zkpref_get_string(h, "missing", &s) == ZKPREF_KEY_NOT_FOUND && text_is(s, ""));
  CHECK(zkpref_set_int(h, "s", 1) == ZKPREF_FAILURE);

  /* From the machine-wide file that the test wrote. */
  CHECK(zkpref_get_int(h, "shared/answer", &i) == ZKPREF_SUCCESS && i == 42);
  CHECK(zkpref_contains(h, "shared/answer", ZKPREF_TYPE_INT) == ZKPREF_KEY_NOT_FOUND);

  CHECK(zkpref_get_type(h, "n") == ZKPREF_TYPE_INT);
  CHECK(zkpref_get_type(h, "missing") == ZKPREF_TYPE_NONE);
  CHECK(zkpref_contains(h, "n", ZKPREF_TYPE_INT) == ZKPREF_SUCCESS);
  CHECK(zkpref_contains(h, "n", ZKPREF_TYPE_NONE) == ZKPREF_FAILURE);
  CHECK(zkpref_contains(h, "n", ZKPREF_TYPE_DOUBLE) == ZKPREF_KEY_NOT_FOUND);
  CHECK(zkpref_remove(h, "n", ZKPREF_TYPE_DOUBLE) == 0);
  CHECK(zkpref_remove(h, "n", ZKPREF_TYPE_INT) == 1);
  CHECK(zkpref_contains(h, "n", ZKPREF_TYPE_INT) == ZKPREF_KEY_NOT_FOUND);
}

static void groups_and_lists(ZKpref h) {
  char **keys = NULL, **names = NULL, **texts = NULL;
  int *values = NULL, count = -1;
  double *reals = NULL;
  CHECK(text_is(zkpref_get_group(h), ""));
  CHECK(zkpref_get_subgroups(h, 0, &names, &count) == 1 && names == NULL && count == 0);
  CHECK(zkpref_begin_group(h, "view") == ZKPREF_SUCCESS);
  CHECK(zkpref_set_int(h, "width", 80) == ZKPREF_SUCCESS);
  CHECK(zkpref_set_int(h, "panes/left", 20) == ZKPREF_SUCCESS);
  CHECK(zkpref_set_bool(h, "flags/on", 1) == ZKPREF_SUCCESS);
  CHECK(zkpref_set_string(h, "title", "main") == ZKPREF_SUCCESS);
  CHECK(text_is(zkpref_get_group(h), "view"));
  CHECK(zkpref_begin_group(h, "a//b") == ZKPREF_INVALID_KEY);
  CHECK(text_is(zkpref_get_group(h), "view"));
  zkpref_end_group(h);
  CHECK(text_is(zkpref_get_group(h), ""));

  CHECK(zkpref_get_int_list(h, "view", &keys, &values, &count) == ZKPREF_SUCCESS);
  CHECK(count == 2 && strcmp(keys[0], "panes/left") == 0 && values[0] == 20 && strcmp(keys[1], "width") == 0 &&
        values[1] == 80);
  free_texts(keys, count);
  free(values);
  CHECK(zkpref_get_bool_list(h, "view", &keys, &values, &count) == ZKPREF_SUCCESS);
  CHECK(count == 1 && strcmp(keys[0], "flags/on") == 0 && values[0] == 1);
  free_texts(keys, count);
  free(values);
  CHECK(zkpref_get_string_list(h, "view", &keys, &texts, &count) == ZKPREF_SUCCESS);
  CHECK(count == 1 && strcmp(keys[0], "title") == 0 && strcmp(texts[0], "main") == 0);
  free_texts(keys, count);
  free_texts(texts, count);
  CHECK(zkpref_get_double_list(h, "view", &keys, &reals, &count) == ZKPREF_KEY_NOT_FOUND);
  CHECK(keys == NULL && reals == NULL && count == 0);
  CHECK(zkpref_get_int_list(h, "nothing", &keys, &values, &count) == ZKPREF_KEY_NOT_FOUND);
  CHECK(keys == NULL && values == NULL && count == 0);
  CHECK(zkpref_get_int_list(h, "bad group", &keys, &values, &count) == ZKPREF_INVALID_KEY);

  CHECK(zkpref_get_subgroups(h, 0, &names, &count) == 2);
  CHECK(count == 3 && strcmp(names[0], "view") == 0 && strcmp(names[1], "view/flags") == 0 &&
        strcmp(names[2], "view/panes") == 0);
  free_texts(names, count);
  CHECK(zkpref_get_subgroups(h, 1, &names, &count) == 1 && count == 1);
  free_texts(names, count);
}

static void platform_attribute(ZKpref h) {
  char *file = zkpref_get_settings_file(h), *text;
  int i;
  zkpref_begin_os_attribute(h);
  CHECK(zkpref_set_int(h, "os/first", 1) == ZKPREF_SUCCESS);
  zkpref_begin_os_attribute2(h, ZKPREF_PLATFORM_NONE);
  CHECK(zkpref_set_int(h, "os/second", 2) == ZKPREF_SUCCESS);
  zkpref_begin_os_attribute2(h, ZKPREF_PLATFORM_WINDOWS);
  CHECK(zkpref_set_int(h, "os/third", 3) == ZKPREF_SUCCESS);
  zkpref_end_os_attribute(h);
  CHECK(zkpref_get_int(h, "os/third", &i) == ZKPREF_KEY_NOT_FOUND);
  CHECK(zkpref_sync(h) == ZKPREF_SUCCESS);
  CHECK(file != NULL && strstr(file, "/Tralvenic.xml") != NULL);
  text = read_all(file);
  CHECK(text && strstr(text, "<first dt=\"int\" os=\"linux\">1</first>") != NULL);
  CHECK(text && strstr(text, "<second dt=\"int\" os=\"linux\">2</second>") != NULL);
  CHECK(text && strstr(text, "<third dt=\"int\" os=\"windows\">3</third>") != NULL);
  free(text);
  free(file);
}

static void null_texts(ZKpref h) {
  int i = -1, count = -1, *values = (int *)&count;
  double d = -1;
  char *s = NULL, **keys = (char **)&s;
  CHECK(zkpref_set_int(h, NULL, 1) == ZKPREF_INVALID_KEY);
  CHECK(zkpref_set_string(h, NULL, "x") == ZKPREF_INVALID_KEY);
  CHECK(zkpref_get_int(h, NULL, &i) == ZKPREF_KEY_NOT_FOUND && i == 0);
  CHECK(zkpref_get_double(h, NULL, &d) == ZKPREF_KEY_NOT_FOUND && d == 0.0);
  CHECK(zkpref_get_string(h, NULL, &s) == ZKPREF_KEY_NOT_FOUND && text_is(s, ""));
  CHECK(zkpref_get_type(h, NULL) == ZKPREF_TYPE_NONE);
  CHECK(zkpref_contains(h, NULL, ZKPREF_TYPE_INT) == ZKPREF_KEY_NOT_FOUND);
  CHECK(zkpref_remove(h, NULL, ZKPREF_TYPE_NONE) == 0);
  CHECK(zkpref_begin_group(h, NULL) == ZKPREF_INVALID_KEY);
  CHECK(zkpref_get_int_list(h, NULL, &keys, &values, &count) == ZKPREF_INVALID_KEY);
  CHECK(keys == NULL && values == NULL && count == 0);
}

int main(void) {
  ZKpref h = 1, other = 0;
  CHECK(zkpref_new(NULL, ZKPREF_TRALVENIC) == 1);
  CHECK(zkpref_new(&h, (ZKPREF_PRODUCTS)16) == 1 && h == 0);
  zkpref_delete(0);
  CHECK(zkpref_new(&h, ZKPREF_TRALVENIC) == 0 && h != 0);
  CHECK(zkpref_new(&other, ZKPREF_VORNAKEL) == 0 && other != 0 && other != h);
  zkpref_delete(other);
  typed_values(h);
  groups_and_lists(h);
  platform_attribute(h);
  null_texts(h);
  zkpref_clear(h);
  CHECK(zkpref_contains(h, "s", ZKPREF_TYPE_STRING) == ZKPREF_KEY_NOT_FOUND);
  CHECK(zkpref_set_int(h, "kept", 3) == ZKPREF_SUCCESS);
  zkpref_delete(h);

  /* Closing wrote the file; a new store reads it back. */
  CHECK(zkpref_new(&h, ZKPREF_TRALVENIC) == 0);
  {
    int i = 0;
    CHECK(zkpref_get_int(h, "kept", &i) == ZKPREF_SUCCESS && i == 3);
  }
  zkpref_delete(h);
  printf("%d checks, %d failed\n", checks, failures);
  return failures == 0 ? 0 : 1;
}
