// What every preference store of the process shares: the vocabulary tables,
// the registered settings format, the two shared layers, the count of open
// stores and the recursive lock taken while stores open and close.
#ifndef HESTREL_ZKPREF_INTERNAL_STORE_STATE_HPP
#define HESTREL_ZKPREF_INTERNAL_STORE_STATE_HPP

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>

#include <QtCore/QReadWriteLock>
#include <QtCore/QSettings>
#include <QtCore/QString>

#include "zkpref.h"

namespace hestrel::zkpref {

struct ProductHash {
  std::size_t operator()(ZKPREF_PRODUCTS product) const { return static_cast<std::size_t>(product); }
};
using ProductTable = std::unordered_map<ZKPREF_PRODUCTS, std::string, ProductHash>;

// The sixteen product stems; built at load.
const ProductTable &products();

// Indexed by ZKPREF_TYPE: "none", "int", "QString", "double", "bool".
extern const char *const zkpref_type_strings[5];
// Indexed by ZKPREF_PLATFORM: "none", "windows", "linux", "darwin".
extern const char *const platforms[4];

#if defined(__APPLE__)
constexpr ZKPREF_PLATFORM running_platform = ZKPREF_PLATFORM_DARWIN;
#else
constexpr ZKPREF_PLATFORM running_platform = ZKPREF_PLATFORM_LINUX;
#endif

// ":os=" and the running platform's name.
const QString &running_platform_suffix();

// The format identifier that registering the XML settings format returned.
QSettings::Format xml_format();

// The explanation of codes 6 to 9; empty for every other code.
QString format_error(int code);

// The machine-wide and installation-wide layers and their bookkeeping.
struct SharedLayers {
  std::unique_ptr<QSettings> first_level_settings;   // machine-wide
  std::unique_ptr<QSettings> second_level_settings;  // installation-wide
  bool zkpref_initialized = false;
  std::atomic<int> nactivehandles{0};
};
SharedLayers &shared_layers();

// Recursive; taken for writing while a store opens and while one closes.
QReadWriteLock &zkpref_mutex();

}  // namespace hestrel::zkpref

#endif
