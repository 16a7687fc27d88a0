// The lookup order of the preference reads: which layer and which key form
// answers a key, and how a key record converts to one of the four types.
#ifndef HESTREL_ZKPREF_INTERNAL_RECORD_LOOKUP_HPP
#define HESTREL_ZKPREF_INTERNAL_RECORD_LOOKUP_HPP

#include <string_view>

#include <QtCore/QAnyStringView>
#include <QtCore/QSettings>
#include <QtCore/QString>
#include <QtCore/QVariant>

#include "zkpref.h"

namespace hestrel::zkpref {

// The entry that answered a lookup; source is ZKPREF_SOURCE_NOT_FOUND and
// entry invalid when no layer holds the key.
struct Answer {
  ZKPrefSource source = ZKPREF_SOURCE_NOT_FOUND;
  QVariant entry;
  bool found() const { return source != ZKPREF_SOURCE_NOT_FOUND; }
};

// The entry of layer under key, when the layer holds it at all.
bool entry_of(const QSettings &layer, QAnyStringView key, QVariant &entry);

// The shared layers see the user's current group only through the key:
// group + "/" + key, or key alone outside any group.
QString shared_key(const QSettings &user, const QString &key);

// Steps of the lookup order for a UTF-8 key: the user layer's platform
// variant and plain key; then each present shared layer's platform variant
// and plain key.
Answer lookup_user(const QSettings &user, std::string_view key);
Answer lookup_shared(const QSettings &user, std::string_view key);
Answer lookup(const QSettings &user, std::string_view key);

// The type a key record names: int, text or double by its "dt", and bool
// for "bool" and also for a missing or any other type name.
ZKPREF_TYPE record_type(const QVariant &entry);

// The type a key has across the layers: every platform's variant in every
// layer before any plain key, the first record found naming it; none when
// no layer holds the key. With kept, also the user's entry under the form
// a write of platform form would replace (ZKPREF_PLATFORM_NONE: the plain
// key), invalid when the user does not hold it: that lookup is shared with
// the walk whenever the walk asks it, and skipped where the user's file
// cannot hold the form.
ZKPREF_TYPE key_type(const QSettings &user, const QString &user_key, int form, QVariant *kept);

// A record matches T when its "dt" is T's type name; it then converts as Qt
// converts the value, except that text holding an integer that does not fit
// 32 bits is refused instead of wrapped. False when it does not match or
// does not convert; out is left alone then.
template <typename T>
bool read_record(const QVariant &entry, T &out);

}  // namespace hestrel::zkpref

#endif
