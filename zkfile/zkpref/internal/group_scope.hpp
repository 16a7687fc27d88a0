// Leaves a group of a settings object when the scope ends, also when an
// allocation fails part-way, so a store's current group is never changed
// by a call that enters groups for its own use.
#ifndef HESTREL_ZKPREF_INTERNAL_GROUP_SCOPE_HPP
#define HESTREL_ZKPREF_INTERNAL_GROUP_SCOPE_HPP

#include <QtCore/QSettings>
#include <QtCore/QString>

namespace hestrel::zkpref {

class GroupScope {
 public:
  // Enters group on settings now.
  GroupScope(QSettings &settings, const QString &group) : settings_(&settings) { settings.beginGroup(group); }
  // Takes over a group that the caller has entered already.
  explicit GroupScope(QSettings &settings) : settings_(&settings) {}
  GroupScope(const GroupScope &) = delete;
  GroupScope &operator=(const GroupScope &) = delete;
  ~GroupScope() { settings_->endGroup(); }

 private:
  QSettings *settings_;
};

}  // namespace hestrel::zkpref

#endif
