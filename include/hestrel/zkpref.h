/* Preferences store, C-callable interface: per-product typed preferences
 * in XML files, read with per-platform variants and machine-wide and
 * installation-wide fallbacks, written under an inter-process file lock. */
#ifndef HESTREL_ZKPREF_H
#define HESTREL_ZKPREF_H

#include "hestrel_export.h"

#ifdef __cplusplus
extern "C" {
/* int-sized in C++ too, so any number a caller passes is a valid value that
 * the store checks and refuses, never undefined behaviour. */
#define HESTREL_ZKPREF_ENUM(name) enum name : int
#else
#define HESTREL_ZKPREF_ENUM(name) enum name
#endif

/* The sixteen preference products; each names its per-user file by a stem. */
/* clang-format off */
typedef HESTREL_ZKPREF_ENUM(ZKPREF_PRODUCTS){
  ZKPREF_TRALVENIC = 0,
  ZKPREF_VORNAKEL = 1,
  ZKPREF_MIRRENDAL = 2,
  ZKPREF_YORVET = 3,
  ZKPREF_DULCRIN = 4,
  ZKPREF_DREMLOK = 5,
  ZKPREF_HOBRANT = 6,
  ZKPREF_SORQUINT = 7,
  ZKPREF_CALDREX = 8,
  ZKPREF_GOLVENT = 9,
  ZKPREF_QORM = 10,
  ZKPREF_ORBRETTE = 11,
  ZKPREF_LUMBRAST = 12,
  ZKPREF_SCRIPTS = 13,
  ZKPREF_SHARED = 14,
  ZKPREF_PHINTOR = 15
} ZKPREF_PRODUCTS;
/* clang-format on */

/* Value types; their names ("none", "int", "QString", "double", "bool") are
 * the type names written into preference files. */
/* clang-format off */
typedef HESTREL_ZKPREF_ENUM(ZKPREF_TYPE){
  ZKPREF_TYPE_NONE = 0,
  ZKPREF_TYPE_INT = 1,
  ZKPREF_TYPE_STRING = 2,
  ZKPREF_TYPE_DOUBLE = 3,
  ZKPREF_TYPE_BOOL = 4
} ZKPREF_TYPE;
/* clang-format on */

/* Platforms of per-platform variants ("none", "windows", "linux", "darwin");
 * a variant of key k is stored as k:os=<name>. */
/* clang-format off */
typedef HESTREL_ZKPREF_ENUM(ZKPREF_PLATFORM){
  ZKPREF_PLATFORM_NONE = 0,
  ZKPREF_PLATFORM_WINDOWS = 1,
  ZKPREF_PLATFORM_LINUX = 2,
  ZKPREF_PLATFORM_DARWIN = 3
} ZKPREF_PLATFORM;
/* clang-format on */

/* The file that answered a read. */
/* clang-format off */
typedef HESTREL_ZKPREF_ENUM(ZKPrefSource){
  ZKPREF_SOURCE_USER = 0,
  ZKPREF_SOURCE_MACHINE = 1,
  ZKPREF_SOURCE_INSTALLATION = 2,
  ZKPREF_SOURCE_NOT_FOUND = 3
} ZKPrefSource;
/* clang-format on */

/* Result codes; 5 is never produced. */
/* clang-format off */
typedef HESTREL_ZKPREF_ENUM(ZKpref_Err){
  ZKPREF_SUCCESS = 0,
  ZKPREF_FAILURE = 1,
  /* absent from the user's file, while a shared file holds it with the
   * requested type: the caller's default was delivered */
  ZKPREF_SHARED_VALUE_IGNORED = 2,
  ZKPREF_TYPE_MISMATCH = 3,
  ZKPREF_KEY_NOT_FOUND = 4,
  ZKPREF_UNUSED_CODE = 5,
  ZKPREF_ACCESS_ERROR = 6,
  ZKPREF_FORMAT_ERROR = 7,
  ZKPREF_PRODUCT_UNKNOWN = 8,
  ZKPREF_LOCK_ERROR = 9,
  ZKPREF_INVALID_KEY = 10
} ZKpref_Err;
/* clang-format on */

#undef HESTREL_ZKPREF_ENUM

/* A handle holds the address of the open store it names; 0 names none. Pass
 * only handles that zkpref_new returned and zkpref_delete has not deleted. */
typedef unsigned long ZKpref;

/* Opens the product's store, carrying settings over from the newest earlier
 * release when the current release has no file yet. Returns 0 and stores the
 * handle, or returns 1 and stores 0 (the reason goes to a Qt warning); 1
 * without storing anything for a null handle pointer. */
HESTREL_API int zkpref_new(ZKpref *handle, ZKPREF_PRODUCTS product);
/* Synchronises and closes the store; an unknown handle (0 too) is ignored. */
HESTREL_API void zkpref_delete(ZKpref handle);

/* Writes go to the user's file only, relative to the current group, and
 * reach the disk at zkpref_sync or zkpref_delete. 0 stored, 1 the key
 * already has another type in some file, 10 invalid key (a null key too). */
HESTREL_API ZKpref_Err zkpref_set_int(ZKpref handle, const char *key, int value);
HESTREL_API ZKpref_Err zkpref_set_double(ZKpref handle, const char *key, double value);
/* Any value other than 0 stores true. */
HESTREL_API ZKpref_Err zkpref_set_bool(ZKpref handle, const char *key, int value);
/* A null value stores the empty text. */
HESTREL_API ZKpref_Err zkpref_set_string(ZKpref handle, const char *key, const char *value);

/* Reads through the user's file, then the machine-wide and the
 * installation-wide file, each first under the running platform's variant.
 * 0 found, 3 another type or a value that does not convert, 4 held nowhere
 * (a null key too). On any error the value is 0, 0.0 or false. */
HESTREL_API ZKpref_Err zkpref_get_int(ZKpref handle, const char *key, int *value);
HESTREL_API ZKpref_Err zkpref_get_double(ZKpref handle, const char *key, double *value);
/* Stores 1 for true, 0 for false. */
HESTREL_API ZKpref_Err zkpref_get_bool(ZKpref handle, const char *key, int *value);
/* Stores a new UTF-8 text in every case (empty on error); free it. */
HESTREL_API ZKpref_Err zkpref_get_string(ZKpref handle, const char *key, char **value);
/* The key's type over every platform's variant; ZKPREF_TYPE_NONE when no
 * file holds it. */
HESTREL_API ZKPREF_TYPE zkpref_get_type(ZKpref handle, const char *key);
/* 0 when the user's file holds the key with that type, 4 when not, 1 for
 * type 0. */
HESTREL_API ZKpref_Err zkpref_contains(ZKpref handle, const char *key, ZKPREF_TYPE type);
/* Type 0: removes the key and everything below it and returns the number of
 * keys that lay below it. Another type: returns 1 when the key had that type
 * and was removed, else 0. 0 for a null key. */
HESTREL_API int zkpref_remove(ZKpref handle, const char *key, ZKPREF_TYPE type);
/* Removes every key of the user's file. */
HESTREL_API void zkpref_clear(ZKpref handle);
/* Writes pending changes under the exclusive file lock and reads in what
 * other processes wrote: 0, 1, 6, 7 or 9. */
HESTREL_API ZKpref_Err zkpref_sync(ZKpref handle);

/* Groups: 0 entered, 10 refused (a null name too; the group stays). */
HESTREL_API ZKpref_Err zkpref_begin_group(ZKpref handle, const char *group);
HESTREL_API void zkpref_end_group(ZKpref handle);
/* The current group path, "" when none; a new text to free. */
HESTREL_API char *zkpref_get_group(ZKpref handle);
/* Later writes store the running platform's variant. */
HESTREL_API void zkpref_begin_os_attribute(ZKpref handle);
/* Later writes store the variant of platform (0: the running platform). */
HESTREL_API void zkpref_begin_os_attribute2(ZKpref handle, ZKPREF_PLATFORM platform);
HESTREL_API void zkpref_end_os_attribute(ZKpref handle);
/* The path of the user's preference file; a new text to free. */
HESTREL_API char *zkpref_get_settings_file(ZKpref handle);

/* The user file's group tree below the current group, breadth-first, at most
 * depth levels (0: all). Returns the number of levels (1 when there are no
 * subgroups), not a ZKpref_Err; 0 only when the texts cannot be copied.
 * *names is a new array of *count new texts, or NULL with count 0. Free each
 * text and the array. */
HESTREL_API int zkpref_get_subgroups(ZKpref handle, int depth, char ***names, int *count);
/* Every key of the type below group, in any file, in ascending order of its
 * path: 0, 3 (some values did not convert; the others are listed), 4 none,
 * 10 invalid group. The arrays are new (NULL with count 0 when empty), every
 * key and text too; free them all. */
HESTREL_API ZKpref_Err zkpref_get_int_list(ZKpref handle, const char *group, char ***keys, int **values, int *count);
HESTREL_API ZKpref_Err zkpref_get_double_list(ZKpref handle, const char *group, char ***keys, double **values,
                                              int *count);
/* Values are 1 for true, 0 for false. */
HESTREL_API ZKpref_Err zkpref_get_bool_list(ZKpref handle, const char *group, char ***keys, int **values, int *count);
HESTREL_API ZKpref_Err zkpref_get_string_list(ZKpref handle, const char *group, char ***keys, char ***values,
                                              int *count);

#ifdef __cplusplus
}
#endif

#endif
