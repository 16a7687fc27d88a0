// Whether a layer may hold a running-platform variant at all, so that reads
// of a file without variants skip the lookup that cannot answer.
#ifndef HESTREL_ZKPREF_INTERNAL_VARIANT_FLAGS_HPP
#define HESTREL_ZKPREF_INTERNAL_VARIANT_FLAGS_HPP

#include <QtCore/QSettings>

namespace hestrel::zkpref {

// Starts keeping the flag of a layer that opening or loading just made. The
// flag lives beside the settings object (never in the store) and is shared
// by every watched object on the same file, since they share its keys.
void watch_variants(QSettings &layer);

// False only when the layer is watched and its file is known to hold no
// key ending in the running platform's suffix; true whenever in doubt.
bool may_hold_running_variant(const QSettings &layer);

// The layer now holds a running-platform variant (pending or not).
void variant_written(const QSettings &layer);

// The layer's file may have been read in again or filled from elsewhere
// (a sync, a carry-over): what was known is looked at afresh.
void variants_may_have_changed(const QSettings &layer);

}  // namespace hestrel::zkpref

#endif
