/* Product directories of an installation (name + "-v" + version below the
 * installation root), product version codes and the installation question. */
#ifndef HESTREL_ZKFILE_PRODUCTS_H
#define HESTREL_ZKFILE_PRODUCTS_H

#include "hestrel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Finds the first entry of the installation root (PELMORAVINE) named product
 * + "-v[0-9]+(.[0-9]+)?" in directory order. Sets *out to NULL first; on
 * success stores the root and the entry joined by one '/' (malloc'd, the
 * caller frees it) and returns 0. Returns -1 with *out NULL otherwise: root
 * not openable (line on stdout, FATAL), pattern not compiling (INFO), no
 * such entry, a product name too long for the path limit (WARNING), NULL
 * arguments. */
HESTREL_API int zkfile_find_product_dir(const char *product, char **out);

/* Stores 0 in *flag in every case; returns 0 when the product directory is
 * found, -1 when not. */
HESTREL_API int zkcommon_check_installation(const char *product, int *flag);

/* Stores the product's version code in *version and returns 0; -1 with
 * *version untouched for a name outside the product-version table. */
HESTREL_API int zkfile_get_product_version(const char *product, int *version);

#ifdef __cplusplus
}
#endif

#endif
