// The two fixed product vocabularies of the file services: the product-version
// table and the internal product names.
#ifndef HESTREL_ZKFILE_INTERNAL_PRODUCT_TABLES_HPP
#define HESTREL_ZKFILE_INTERNAL_PRODUCT_TABLES_HPP

#include <map>
#include <string>
#include <unordered_set>

namespace hestrel::zkfile {

// Product name -> version code, 20 rows in byte order of the names; built on
// first use (thread-safe) and destroyed at exit.
const std::map<std::string, int> &get_version_numbers();

// "narvessid" and "golvent": built when the library is loaded, only read
// afterwards.
extern const std::unordered_set<std::string> PELMORAVINE_INTERNAL_PRODUCTS;

// Whether name belongs to either vocabulary (exact bytes).
bool is_known_product(const std::string &name);

}  // namespace hestrel::zkfile

#endif
