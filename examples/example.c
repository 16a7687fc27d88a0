/* A few calls into each part of libhestrel, as a C program meets them. */
#define _XOPEN_SOURCE 700
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <zkerr.h>
#include <zkfile_dirs.h>
#include <zkfile_listing.h>
#include <zkfile_md5.h>
#include <zkfile_products.h>
#include <zkfile_search.h>
#include <zkpref.h>
#include <zktoken.h>
#include <zktoken_glob.h>

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

/* Splits a line with quotes and a comment, then asks which glob pattern
 * a file name meets first. */
static void show_tokens(void) {
  int line, patterns, i;
  char *joined;
  zktoken_new(&line, "copy \"my notes.txt\" 42 3.5 # to the archive", " ", "\"\"", "#", NULL, NULL);
  for (i = 0; i < zktoken_num(line); ++i)
    printf("token %d: %s (number type %d)\n", i, zktoken_get_token(line, i), zktoken_find_type(line, i));
  joined = zktoken_get_string(line);
  printf("joined again: %s\n", joined);
  free(joined);
  zktoken_delete(line);

  zktoken_new(&patterns, "*.c *.txt", " ", NULL, NULL, NULL, NULL);
  zktoken_regex_compile(patterns);
  printf("\"notes.txt\" first meets glob pattern %d\n", zktoken_regex_index(patterns, "notes.txt"));
  zktoken_delete(patterns);
}

/* Builds a small installation in a scratch folder so that the lookups have
 * something to find, wherever the example runs. */
static void write_file(const char *path, const char *text) {
  FILE *f = fopen(path, "w");
  if (f) {
    fputs(text, f);
    fclose(f);
  }
}

static void show_files(const char *scratch) {
  char path[1024], entry[256];
  char *text = NULL;
  int listing, version;
  unsigned char digest[16];

  if (zkfile_pelmoravine_appdata_dir(&text) == 0) printf("application data: %s\n", text);
  free(text);

  snprintf(path, sizeof path, "%s/tolvane-v72125", scratch);
  mkdir(path, 0755);
  snprintf(path, sizeof path, "%s/settings.dat", scratch);
  write_file(path, "width 80\n");
  snprintf(path, sizeof path, "%s/readme.txt", scratch);
  write_file(path, "hello\n");

  zkfile_path_add(scratch);
  if (zkfile_find("settings.dat", 0, &text) == 0) printf("found on the search path: %s\n", strrchr(text, '/') + 1);
  free(text);

  if (zkfile_open_directory(&listing, scratch) == 0) {
    zkfile_set_dir_filter(listing, "\\.txt$");
    while (zkfile_get_next_file(listing, entry, sizeof entry) == 0) printf("listed through the filter: %s\n", entry);
    zkfile_close_directory(listing);
  }

  zkfile_md5_string(digest, "hello");
  printf("md5 of \"hello\": ");
  for (version = 0; version < 16; ++version) printf("%02x", digest[version]);
  printf("\n");

  setenv("PELMORAVINE", scratch, 1);
  if (zkfile_find_product_dir("tolvane", &text) == 0) printf("tolvane is installed in %s\n", strrchr(text, '/') + 1);
  free(text);
  if (zkfile_get_product_version("tolvane", &version) == 0) printf("tolvane version code: %d\n", version);
}

static int remove_entry(const char *path, const struct stat *st, int flag, struct FTW *ftw) {
  (void)st;
  (void)flag;
  (void)ftw;
  return remove(path);
}

/* Opens product 0's preferences in a sandbox of its own, so that the user's
 * real preferences are never touched, and works in one group. */
static void show_preferences(void) {
  char sandbox[] = "/tmp/hestrel-example-prefs-XXXXXX";
  char **names = NULL, **keys = NULL;
  int *values = NULL, count = 0, width = 0, i;
  ZKpref prefs = 0;

  if (!mkdtemp(sandbox)) return;
  setenv("PELMORAVINE_ZKPREF_SANDBOX", sandbox, 1);
  setenv("TMPDIR", sandbox, 1); /* the store's lock files go there too */
  setenv("PELMORAVINE_MACHINE_PREFERENCE", "", 1);
  setenv("PELMORAVINE_SITE_PREFERENCE", "", 1);

  if (zkpref_new(&prefs, ZKPREF_TRALVENIC) == 0) {
    zkpref_begin_group(prefs, "view");
    zkpref_set_int(prefs, "width", 80);
    zkpref_set_int(prefs, "panes/left", 20);
    if (zkpref_get_int(prefs, "width", &width) == 0) printf("preference view/width: %d\n", width);
    zkpref_end_group(prefs);
    if (zkpref_get_int_list(prefs, "view", &keys, &values, &count) == 0)
      for (i = 0; i < count; ++i) printf("in group view: %s = %d\n", keys[i], values[i]);
    for (i = 0; i < count; ++i) free(keys[i]);
    free(keys);
    free(values);
    zkpref_get_subgroups(prefs, 0, &names, &count);
    for (i = 0; i < count; ++i) {
      printf("preference group: %s\n", names[i]);
      free(names[i]);
    }
    free(names);
    zkpref_delete(prefs);
  }
  nftw(sandbox, remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

static void remove_scratch(const char *scratch) {
  const char *names[] = {"tolvane-v72125", "settings.dat", "readme.txt"};
  char path[1024];
  size_t i;
  for (i = 0; i < sizeof names / sizeof names[0]; ++i) {
    snprintf(path, sizeof path, "%s/%s", scratch, names[i]);
    remove(path);
  }
  remove(scratch);
}

int main(void) {
  char scratch[] = "/tmp/hestrel-example-XXXXXX";
  show_errors();
  show_tokens();
  if (!mkdtemp(scratch)) return 1;
  show_files(scratch);
  remove_scratch(scratch);
  show_preferences();
  return 0;
}
