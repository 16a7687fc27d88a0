// pelmoravine::Preferences: one product's store for C++ callers, with values
// returned directly, "No key: " for a key no file holds, and silent writes.
#include "pelmoravine_preferences.hpp"

#include <stdexcept>
#include <type_traits>

#include <QtCore/QVariant>

#include "zkpref/internal/store_access.hpp"

namespace pelmoravine {

namespace {

[[noreturn]] void no_key(const std::string &key) { throw std::out_of_range("No key: " + key); }

}  // namespace

Preferences::Preferences(ZKPREF_PRODUCTS product) : store(product, true) {}

template <typename T>
T Preferences::get(const std::string &key) const {
  if constexpr (std::is_same_v<T, QString>) {
    return QString::fromStdString(get<std::string>(key));
  } else {
    ZKpref_Err err;
    T value{};
    if constexpr (std::is_same_v<T, std::string>) {
      err = store.getString(key, value);
    } else {
      value = hestrel::zkpref::StoreAccess::get<T>(store, key.c_str(), &err);
    }
    if (err == ZKPREF_KEY_NOT_FOUND) no_key(key);
    return err == ZKPREF_SUCCESS ? value : T();
  }
}

template <typename T>
void Preferences::set(const std::string &key, const T &value) {
  QVariant wrapped;
  if constexpr (std::is_same_v<T, std::string>)
    wrapped = QVariant(QString::fromStdString(value));
  else
    wrapped = QVariant::fromValue(value);
  // A refused key or a type clash has told of itself through its warning.
  (void)store.set(key, wrapped, std::string());
}

bool Preferences::hasKey(const std::string &key) const { return store.hasKey(key) == ZKPREF_SUCCESS; }

int Preferences::removeKey(const std::string &key) { return store.removeKey(key, ZKPREF_TYPE_NONE); }

void Preferences::clear() { store.clearSettings(); }

template int Preferences::get<int>(const std::string &) const;
template bool Preferences::get<bool>(const std::string &) const;
template double Preferences::get<double>(const std::string &) const;
template std::string Preferences::get<std::string>(const std::string &) const;
template QString Preferences::get<QString>(const std::string &) const;
template void Preferences::set<int>(const std::string &, const int &);
template void Preferences::set<bool>(const std::string &, const bool &);
template void Preferences::set<double>(const std::string &, const double &);
template void Preferences::set<QString>(const std::string &, const QString &);
template void Preferences::set<std::string>(const std::string &, const std::string &);

}  // namespace pelmoravine
