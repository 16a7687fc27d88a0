// The settings machinery's own lock beside a preference file ("<file>.lock"),
// which the store looks at before every synchronisation.
#ifndef HESTREL_ZKPREF_INTERNAL_MACHINERY_LOCK_HPP
#define HESTREL_ZKPREF_INTERNAL_MACHINERY_LOCK_HPP

#include <QtCore/QString>

namespace hestrel::zkpref {

// How long a lock may lie empty before it can only be a killed writer's:
// a living writer fills it within microseconds of making it.
constexpr long stale_machinery_lock_ms = 2000;

// Removes "<path>.lock" when it cannot belong to a living writer: a regular
// file of ours, empty, older than stale_machinery_lock_ms and not held. A
// sync killed before it wrote its process id there leaves it so, and the
// machinery would wait half a minute before taking it as stale.
// 0, also when the lock is left; 9 (ZKPREF_LOCK_ERROR, with the lock
// failure line on stderr) when anything but a regular file is there, which
// the machinery would wait on forever. Never follows a link, never blocks.
// Only for a caller holding the file's exclusive lock.
int remove_stale_machinery_lock(const QString &path);

// True when something other than a regular file stands at "<path>.lock": the
// machinery would wait on it forever, so nothing may hand it a write there.
bool machinery_lock_cannot_be_taken(const QString &path);

}  // namespace hestrel::zkpref

#endif
