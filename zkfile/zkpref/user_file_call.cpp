// The context of the format's callbacks during one call of the settings
// machinery on a store's user file.
#include "zkpref/internal/user_file_call.hpp"

#include <QtCore/QFileDevice>

namespace hestrel::zkpref {

namespace {

thread_local UserFileCall *current = nullptr;

}  // namespace

UserFileCallScope::UserFileCallScope(UserFileCall &call) : outer_(current) { current = &call; }

UserFileCallScope::~UserFileCallScope() { current = outer_; }

UserFileCall *user_file_call_for(const QIODevice &device) {
  if (!current) return nullptr;
  // A save file names the file it replaces, not its temporary copy (pinned
  // in settings_machinery_test.cpp).
  const auto *file = qobject_cast<const QFileDevice *>(&device);
  return file && file->fileName() == current->file_name ? current : nullptr;
}

}  // namespace hestrel::zkpref
