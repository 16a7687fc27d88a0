// C++ side of the installation products: whether a product is installed,
// the product-name vocabularies and the tolvane version code.
#ifndef HESTREL_PELMORAVINE_PRODUCTS_HPP
#define HESTREL_PELMORAVINE_PRODUCTS_HPP

#include "hestrel_export.h"

#include <string>
#include <unordered_set>
#include <vector>

#include "zkfile_products.h"

// True exactly when zkfile_find_product_dir finds the product directory.
HESTREL_API bool _product_exists(const char *product);

// The 20 names of the product-version table in ascending byte order (the
// internal products are not among them).
HESTREL_API std::vector<std::string> zkfile_get_product_directory_names();

namespace pelmoravine {

// 72125, the version code of tolvane.
HESTREL_API int tolvane_version();

namespace test {

// The 20 product names of the version table and the 2 internal products.
HESTREL_API std::unordered_set<std::string> get_product_names();

}  // namespace test
}  // namespace pelmoravine

#endif
