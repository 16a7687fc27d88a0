// The C-callable preference interface: handles to open stores in a table
// that is never destroyed, texts and arrays handed out for the caller to free.
#include <map>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include <QtCore/QDebug>
#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>

#include "errors/internal/boundary.hpp"
#include "zkpref.h"
#include "zkpref.hpp"
#include "zkpref/internal/c_copy.hpp"
#include "zkpref/internal/store_access.hpp"

using hestrel::zkpref::copy_list;
using hestrel::zkpref::copy_text;
using hestrel::zkpref::copy_texts;

namespace {

using HandleMap = std::map<ZKpref, boost::shared_ptr<ZKPREF>>;

// Never destroyed: stores still open at exit must not be closed while the
// rest of the library is being torn down.
HandleMap &get_handle_map() {
  static HandleMap *map = new HandleMap;
  return *map;
}

boost::shared_ptr<ZKPREF> get_object_from_handle(ZKpref handle) {
  HandleMap &map = get_handle_map();
  const auto it = map.find(handle);
  return it == map.end() ? boost::shared_ptr<ZKPREF>() : it->second;
}

// Runs body on the handle's store, through the library's C boundary: the
// fallback when the handle names no store, and the FATAL report of function
// with the fallback when anything is thrown.
template <typename Result, typename Body>
Result with_store(const char *function, ZKpref handle, Result fallback, Body body) {
  return hestrel::call_c(function, fallback, [&]() -> Result {
    const boost::shared_ptr<ZKPREF> store = get_object_from_handle(handle);
    if (!store) return fallback;
    return body(*store);
  });
}

// The same for a typed read, which reports nothing and runs no handler, so
// nothing can close the store while it runs: it borrows the table's own
// reference instead of taking one of its own.
template <typename Result, typename Body>
Result reading_store(const char *function, ZKpref handle, Result fallback, Body body) {
  return hestrel::call_c(function, fallback, [&]() -> Result {
    HandleMap &map = get_handle_map();
    const auto it = map.find(handle);
    if (it == map.end() || !it->second) return fallback;
    return body(*it->second);
  });
}

template <typename Body>
void with_store(const char *function, ZKpref handle, Body body) {
  hestrel::call_c(function, [&] {
    const boost::shared_ptr<ZKPREF> store = get_object_from_handle(handle);
    if (store) body(*store);
  });
}

ZKpref_Err set_value(const char *function, ZKpref handle, const char *key, const QVariant &value) {
  if (!key) return ZKPREF_INVALID_KEY;
  return with_store(function, handle, ZKPREF_INVALID_KEY,
                    [&](ZKPREF &store) { return store.set(key, value, std::string()); });
}

template <typename T, typename Out>
ZKpref_Err get_number(const char *function, ZKpref handle, const char *key, Out *value) {
  if (value) *value = Out();
  if (!key) return ZKPREF_KEY_NOT_FOUND;
  return reading_store(function, handle, ZKPREF_KEY_NOT_FOUND, [&](ZKPREF &store) {
    ZKpref_Err err;
    const T result = hestrel::zkpref::StoreAccess::get<T>(store, key, &err);
    if (value) *value = err == ZKPREF_SUCCESS ? static_cast<Out>(result) : Out();
    return err;
  });
}

// Reads a list into a map of this call and hands it out whole, or NULL,
// NULL and 0 with 4 when it cannot be copied.
template <typename Out, typename T, typename Read>
ZKpref_Err get_list(const char *function, ZKpref handle, const char *group, char ***keys, Out **values, int *count,
                    Read read) {
  if (keys) *keys = nullptr;
  if (values) *values = nullptr;
  if (count) *count = 0;
  if (!group) return ZKPREF_INVALID_KEY;
  return with_store(function, handle, ZKPREF_KEY_NOT_FOUND, [&](ZKPREF &store) {
    std::map<std::string, T> list;
    const ZKpref_Err err = read(store, std::string(group), list);
    if (!keys || !values || !count) return err;
    if (!copy_list(list, keys, values, count)) return ZKPREF_KEY_NOT_FOUND;
    return err;
  });
}

char *copy_out(const std::string &text) { return copy_text(text); }

}  // namespace

extern "C" {

int zkpref_new(ZKpref *handle, ZKPREF_PRODUCTS product) {
  if (!handle) return 1;
  *handle = 0;
  return hestrel::call_c(__func__, 1, [&] {
    try {
      boost::shared_ptr<ZKPREF> store = boost::make_shared<ZKPREF>(product, true);
      const ZKpref address = reinterpret_cast<ZKpref>(store.get());
      get_handle_map()[address] = store;
      *handle = address;
      return 0;
    } catch (const std::runtime_error &e) {
      // A store that cannot be opened is the store's own warning, through
      // Qt's logger; anything else is the boundary's FATAL report.
      qWarning().noquote() << "zkpref_new"
                           << ": " << static_cast<int>(product) << " - " << e.what();
      return 1;
    }
  });
}

void zkpref_delete(ZKpref handle) {
  // The store closes, and writes its file, when the last reference goes.
  hestrel::call_c(__func__, [&] { get_handle_map().erase(handle); });
}

ZKpref_Err zkpref_set_int(ZKpref handle, const char *key, int value) {
  return set_value(__func__, handle, key, QVariant(value));
}

ZKpref_Err zkpref_set_double(ZKpref handle, const char *key, double value) {
  return set_value(__func__, handle, key, QVariant(value));
}

ZKpref_Err zkpref_set_bool(ZKpref handle, const char *key, int value) {
  return set_value(__func__, handle, key, QVariant(value != 0));
}

ZKpref_Err zkpref_set_string(ZKpref handle, const char *key, const char *value) {
  // The value's copy is made here, outside the store: the lambda's own
  // __func__ is not this function's name.
  const char *const function = __func__;
  return hestrel::call_c(function, ZKPREF_INVALID_KEY, [&] {
    return set_value(function, handle, key, QVariant(value ? QString::fromUtf8(value) : QString()));
  });
}

ZKpref_Err zkpref_get_int(ZKpref handle, const char *key, int *value) {
  return get_number<int>(__func__, handle, key, value);
}

ZKpref_Err zkpref_get_double(ZKpref handle, const char *key, double *value) {
  return get_number<double>(__func__, handle, key, value);
}

ZKpref_Err zkpref_get_bool(ZKpref handle, const char *key, int *value) {
  return get_number<bool>(__func__, handle, key, value);
}

ZKpref_Err zkpref_get_string(ZKpref handle, const char *key, char **value) {
  std::string text;
  ZKpref_Err err = ZKPREF_KEY_NOT_FOUND;
  if (key)
    err = with_store(__func__, handle, ZKPREF_KEY_NOT_FOUND, [&](ZKPREF &store) { return store.getString(key, text); });
  if (err != ZKPREF_SUCCESS) text.clear();
  char *copy = copy_out(text);
  if (value)
    *value = copy;
  else
    std::free(copy);
  return copy ? err : ZKPREF_KEY_NOT_FOUND;
}

ZKPREF_TYPE zkpref_get_type(ZKpref handle, const char *key) {
  if (!key) return ZKPREF_TYPE_NONE;
  return with_store(__func__, handle, ZKPREF_TYPE_NONE, [&](ZKPREF &store) { return store.getType(key); });
}

ZKpref_Err zkpref_contains(ZKpref handle, const char *key, ZKPREF_TYPE type) {
  if (!key) return ZKPREF_KEY_NOT_FOUND;
  return with_store(__func__, handle, ZKPREF_KEY_NOT_FOUND, [&](ZKPREF &store) { return store.hasKey(key, type); });
}

int zkpref_remove(ZKpref handle, const char *key, ZKPREF_TYPE type) {
  if (!key) return 0;
  return with_store(__func__, handle, 0, [&](ZKPREF &store) { return store.removeKey(key, type); });
}

void zkpref_clear(ZKpref handle) {
  with_store(__func__, handle, [](ZKPREF &store) { store.clearSettings(); });
}

ZKpref_Err zkpref_sync(ZKpref handle) {
  return with_store(__func__, handle, ZKPREF_FAILURE, [](ZKPREF &store) { return store.syncSettings(); });
}

ZKpref_Err zkpref_begin_group(ZKpref handle, const char *group) {
  if (!group) return ZKPREF_INVALID_KEY;
  return with_store(__func__, handle, ZKPREF_INVALID_KEY, [&](ZKPREF &store) { return store.beginGroup(group); });
}

void zkpref_end_group(ZKpref handle) {
  with_store(__func__, handle, [](ZKPREF &store) { store.endGroup(); });
}

char *zkpref_get_group(ZKpref handle) {
  return with_store(__func__, handle, static_cast<char *>(nullptr),
                    [](ZKPREF &store) { return copy_out(store.getGroup()); });
}

void zkpref_begin_os_attribute(ZKpref handle) {
  with_store(__func__, handle, [](ZKPREF &store) { store.beginOsAttribute(ZKPREF_PLATFORM_NONE); });
}

void zkpref_begin_os_attribute2(ZKpref handle, ZKPREF_PLATFORM platform) {
  with_store(__func__, handle, [&](ZKPREF &store) { store.beginOsAttribute(platform); });
}

void zkpref_end_os_attribute(ZKpref handle) {
  with_store(__func__, handle, [](ZKPREF &store) { store.endOsAttribute(); });
}

char *zkpref_get_settings_file(ZKpref handle) {
  return with_store(__func__, handle, static_cast<char *>(nullptr), [](ZKPREF &store) {
    std::string path;
    store.getSettingsFile(path);
    return copy_out(path);
  });
}

int zkpref_get_subgroups(ZKpref handle, int depth, char ***names, int *count) {
  if (names) *names = nullptr;
  if (count) *count = 0;
  return with_store(__func__, handle, 0, [&](ZKPREF &store) {
    std::vector<std::string> groups;
    const int levels = store.getSubgroups(groups, depth);
    if (!names || !count) return levels;
    // A tree that cannot be copied whole is handed out as none, with a level
    // count of 0, which no listing produces.
    if (!copy_texts(groups, names)) return 0;
    *count = static_cast<int>(groups.size());
    return levels;
  });
}

ZKpref_Err zkpref_get_int_list(ZKpref handle, const char *group, char ***keys, int **values, int *count) {
  return get_list<int, int>(__func__, handle, group, keys, values, count,
                            [](ZKPREF &s, const std::string &g, std::map<std::string, int> &l) {
                              return hestrel::zkpref::StoreAccess::get_list<int>(s, g, l);
                            });
}

ZKpref_Err zkpref_get_double_list(ZKpref handle, const char *group, char ***keys, double **values, int *count) {
  return get_list<double, double>(__func__, handle, group, keys, values, count,
                                  [](ZKPREF &s, const std::string &g, std::map<std::string, double> &l) {
                                    return hestrel::zkpref::StoreAccess::get_list<double>(s, g, l);
                                  });
}

ZKpref_Err zkpref_get_bool_list(ZKpref handle, const char *group, char ***keys, int **values, int *count) {
  return get_list<int, bool>(__func__, handle, group, keys, values, count,
                             [](ZKPREF &s, const std::string &g, std::map<std::string, bool> &l) {
                               return hestrel::zkpref::StoreAccess::get_list<bool>(s, g, l);
                             });
}

ZKpref_Err zkpref_get_string_list(ZKpref handle, const char *group, char ***keys, char ***values, int *count) {
  return get_list<char *, std::string>(
      __func__, handle, group, keys, values, count,
      [](ZKPREF &s, const std::string &g, std::map<std::string, std::string> &l) { return s.getStringList(g, l); });
}

}  // extern "C"
