// The one path by which a store's handling of its user file talks to the
// format's callbacks: the settings machinery calls them with nothing but a
// device and a map, inside a call that the store makes on its own thread.
#ifndef HESTREL_ZKPREF_INTERNAL_USER_FILE_CALL_HPP
#define HESTREL_ZKPREF_INTERNAL_USER_FILE_CALL_HPP

#include <optional>

#include <QtCore/QIODevice>
#include <QtCore/QSettings>
#include <QtCore/QString>

#include "zkpref/internal/file_bytes.hpp"

namespace hestrel::zkpref {

class CopyRecord;

// Filled by the store before one call of the settings machinery on its user
// file (constructing the settings object, or QSettings::sync), read back by
// the store afterwards. Installed for that call by UserFileCallScope.
struct UserFileCall {
  enum class Read {
    not_asked,   // the machinery took the file's keys from its own cache
    parsed,      // the file's bytes were read and parsed
    damaged,     // the bytes were read and do not parse
    unreadable,  // the bytes could not be read: no judgement on the file
  };

  // In: the file as the settings machinery names it (QSettings::fileName).
  QString file_name;
  // In: the file as the store read it under its lock. A read of that very
  // file (same identity) takes these bytes, or their map, instead of reading
  // again. Null when the store read nothing.
  FileContent *content = nullptr;
  // In: where a write records its temporary copy before the first byte;
  // null when no write is expected to need one.
  CopyRecord *copies = nullptr;

  // Out.
  Read read = Read::not_asked;
  bool wrote = false;
  // Whether the map last read or written held keys; unset when neither ran.
  std::optional<bool> held_keys;
};

// Makes call the context of the callbacks on this thread while it lives,
// and gives back the one it replaced. The settings machinery calls them
// synchronously in the calling thread, so a scope around one call covers
// exactly that call.
class UserFileCallScope {
 public:
  explicit UserFileCallScope(UserFileCall &call);
  UserFileCallScope(const UserFileCallScope &) = delete;
  UserFileCallScope &operator=(const UserFileCallScope &) = delete;
  ~UserFileCallScope();

 private:
  UserFileCall *outer_;
};

// The context that covers device: a call in scope on this thread whose file
// is device's file. Null for every other device.
UserFileCall *user_file_call_for(const QIODevice &device);

}  // namespace hestrel::zkpref

#endif
