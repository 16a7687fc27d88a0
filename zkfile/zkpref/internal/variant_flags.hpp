// Whether a layer may hold platform variants at all, so that reads of a
// file without variants skip the lookups that cannot answer.
#ifndef HESTREL_ZKPREF_INTERNAL_VARIANT_FLAGS_HPP
#define HESTREL_ZKPREF_INTERNAL_VARIANT_FLAGS_HPP

#include <QtCore/QSettings>

#include "zkpref.h"

namespace hestrel::zkpref {

// Starts keeping the flag of a layer that opening or loading just made. The
// flag lives beside the settings object (never in the store) and is shared
// by every watched object on the same file, since they share its keys.
void watch_variants(QSettings &layer);

// False only when the layer is watched and its file is known to hold no
// key ending in the running platform's suffix; true whenever in doubt.
bool may_hold_running_variant(const QSettings &layer);

// Likewise for a variant of any platform, which only the type query asks.
bool may_hold_any_variant(const QSettings &layer);

// The layer now holds a variant for platform (pending or not).
void variant_written(const QSettings &layer, ZKPREF_PLATFORM platform);

// The layer's file may have been read in again or filled from elsewhere
// (the machinery's own deferred sync, a carry-over): what was known is
// looked at afresh.
void variants_may_have_changed(const QSettings &layer);

// Around a sync under the exclusive file lock: what was known stays true
// when the file is as the machinery last saw it, since it then reads in
// nothing; otherwise it is looked at afresh.
void variants_before_sync(const QSettings &layer);
void variants_after_sync(const QSettings &layer);

}  // namespace hestrel::zkpref

#endif
