// A small typed view of one product's preferences for C++ callers: values
// come back directly, a key that no file holds throws, writes report nothing.
#ifndef HESTREL_PELMORAVINE_PREFERENCES_HPP
#define HESTREL_PELMORAVINE_PREFERENCES_HPP

#include "hestrel_export.h"

#include <string>

#include <QtCore/QString>

#include "zkpref.hpp"

namespace pelmoravine {

class HESTREL_API Preferences {
 public:
  // Opens the product's store with carry-over from earlier releases; throws
  // std::runtime_error as ZKPREF does when that fails.
  explicit Preferences(ZKPREF_PRODUCTS product);

  // T is int, bool, double, std::string or QString. Throws std::out_of_range
  // "No key: <key>" when no file holds the key; a value of another type, or
  // one that does not convert, gives T's empty value.
  template <typename T>
  T get(const std::string &key) const;
  // T is int, bool, double, QString or std::string. A refused key or a type
  // clash writes nothing; only the store's warning tells of it.
  template <typename T>
  void set(const std::string &key, const T &value);
  // True when the user's file holds the key (its platform variant or plain).
  bool hasKey(const std::string &key) const;
  // Removes the key and everything below it from the user's file; returns
  // the number of keys that were below it.
  int removeKey(const std::string &key);
  // Removes every key of the user's file.
  void clear();

 private:
  ZKPREF store;
};

extern template int Preferences::get<int>(const std::string &) const;
extern template bool Preferences::get<bool>(const std::string &) const;
extern template double Preferences::get<double>(const std::string &) const;
extern template std::string Preferences::get<std::string>(const std::string &) const;
extern template QString Preferences::get<QString>(const std::string &) const;
extern template void Preferences::set<int>(const std::string &, const int &);
extern template void Preferences::set<bool>(const std::string &, const bool &);
extern template void Preferences::set<double>(const std::string &, const double &);
extern template void Preferences::set<QString>(const std::string &, const QString &);
extern template void Preferences::set<std::string>(const std::string &, const std::string &);

}  // namespace pelmoravine

#endif
