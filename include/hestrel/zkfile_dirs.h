/* Well-known directories of the file services: home, per-user application
 * data with its release and temporary subdirectories, desktop, documents. */
#ifndef HESTREL_ZKFILE_DIRS_H
#define HESTREL_ZKFILE_DIRS_H

#include "hestrel_export.h"

#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The well-known directories, passed by their integer value. */
typedef enum DirectoryName {
  DIR_HOME = 1,
  DIR_APPDATA = 2,
  DIR_LOCAL_APPDATA = 3,
  DIR_USERDATA = 4,
  DIR_TEMP = 5,
  DIR_DESKTOP = 6,
  DIR_MYDOCUMENTS = 7,
  DIR_MYNETWORKPLACES = 8
} DirectoryName;

/* Every function with an output argument sets *out to NULL first and, on
 * success, stores there a text the caller releases with free. A NULL out
 * gives -1. */

/* Returns 0; no other effect. */
HESTREL_API int zkfile_initialize(void);
/* Does nothing. */
HESTREL_API void zkfile_terminate(void);

/* The home directory (UTF-8). 0. */
HESTREL_API int zkfile_dir_home(char **out);
/* The named user's home directory from the password database; -1 with a
 * WARNING for a NULL or empty name or a user without one. */
HESTREL_API int zkfile_dir_user_home(const char *user, char **out);

/* The per-user application-data directory: PELMORAVINE_APPDATA_OVERRIDE
 * verbatim when set (even empty), else home + "/.pelmoravine"; created with
 * mode 0755 at every call. -1 with out NULL when it cannot be created. The
 * three names give the same directory. */
HESTREL_API int zkfile_pelmoravine_appdata_dir(char **out);
HESTREL_API int zkfile_pelmoravine_local_appdata_dir(char **out);
HESTREL_API int zkfile_pelmoravine_userdata_dir(char **out);

/* The application-data directory + "/" + the current release name, created
 * (mode 0755) when it is not an existing directory. 0, or -1 with out NULL. */
HESTREL_API int zkfile_get_appdata_release_dir(char **out);
/* Deprecated form of zkfile_get_appdata_release_dir; logs the deprecation. */
HESTREL_API int zkfile_appdata_release_dir(char **out);

/* PELMORAVINE_TMPDIR verbatim when set, else the application-data directory
 * + "/tmp"; created with mode 0755. 0, or -1 with out NULL. */
HESTREL_API int zkfile_get_pelmoravine_temp(char **out);

/* Home + "/Desktop"; neither tested for nor created. 0. */
HESTREL_API int zkfile_get_desktop_dir(char **out);
/* The home directory on Linux, home + "/Documents" on macOS; neither tested
 * for nor created. 0. */
HESTREL_API int zkfile_get_mydocuments_dir(char **out);
/* Never yields a directory: *out is NULL and the result 0. */
HESTREL_API int zkfile_get_mynetworkplaces_dir(char **out);

/* Creates path and its missing parents: the leaf gets exactly mode, parents
 * 0777 less the file-creation mask. A relative path is taken below the
 * working directory; '\\' counts as '/'. 0 on success or when the entry
 * already exists (of any kind, its mode untouched); -1 with a WARNING
 * otherwise (NULL path, a path that does not fit the path limit, a creation
 * that fails), errno left by the failing call. */
HESTREL_API int zkfile_mkdir(const char *path, mode_t mode);

/* 0 when path (links followed) is a regular file (type 0) or a directory
 * (type 1); -1 otherwise, also for NULL or another type. No message. */
HESTREL_API int zkfile_file_exists(const char *path, int type);

/* The process's working directory; -1 with out NULL and a FATAL message when
 * it cannot be read. */
HESTREL_API int zkfile_dir_current_get(char **out);

#ifdef __cplusplus
}
#endif

#endif
