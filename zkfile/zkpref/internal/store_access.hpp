// The library's own way to the store's typed readers, which the installed
// header keeps private so that a caller meets a compile error, not a link one.
#ifndef HESTREL_ZKPREF_INTERNAL_STORE_ACCESS_HPP
#define HESTREL_ZKPREF_INTERNAL_STORE_ACCESS_HPP

#include <map>
#include <string>

#include "zkpref.hpp"

namespace hestrel::zkpref {

struct StoreAccess {
  template <typename T>
  static T get(const ZKPREF &store, const char *key, ZKpref_Err *err) {
    return store.get<T>(key, err);
  }
  template <typename T>
  static T get_or_use_value(const ZKPREF &store, const char *key, T value, ZKpref_Err *err) {
    return store.get_or_use_value<T>(key, value, err);
  }
  template <typename T>
  static ZKpref_Err get_list(ZKPREF &store, const std::string &group, std::map<std::string, T> &list) {
    return store.get_list<T>(group, list);
  }
};

}  // namespace hestrel::zkpref

#endif
