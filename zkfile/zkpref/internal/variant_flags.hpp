// Whether a layer may hold platform variants at all, so that reads of a
// file without variants skip the lookups that cannot answer. Worth it: with
// the answers always "may hold", bench/zkpref_benchmark and
// zkpref_reads_benchmark (10 repetitions in random order, medians) read one
// user key in 307 ns instead of 159 ns, an installation-wide key in 627 ns
// instead of 273 ns, 1000 keys through the C interface in 387 us instead of
// 212 us, and set and synced 1000 keys in 6.7 ms instead of 4.2 ms;
// run-to-run variation was 6 to 28 %.
// The record is per file, not per store: the reader and writer are handed
// only a device, and every settings object of the process on one file
// shares that file's map.
#ifndef HESTREL_ZKPREF_INTERNAL_VARIANT_FLAGS_HPP
#define HESTREL_ZKPREF_INTERNAL_VARIANT_FLAGS_HPP

#include <QtCore/QIODevice>
#include <QtCore/QSettings>

namespace hestrel::zkpref {

// What one read or one successful write of a file's whole map saw.
struct VariantsSeen {
  bool running = false;  // a key ending in the running platform's suffix
  bool any = false;      // a key of any platform
};

// Told by the reader and the writer, once per file and not per key: every
// settings object of the process on device's file now holds that map (the
// settings machinery shares one map per file name). Devices other than
// files are ignored.
void variants_in_map(const QIODevice &device, VariantsSeen seen);

// Makes the layer's answers below cheap to ask; a layer not yet made so,
// or whose file was never read, answers true.
void watch_variants(const QSettings &layer);

// False only when the layer's map cannot hold a key ending in the running
// platform's suffix: neither the last read or write of its file nor any
// change made in this process put one there.
bool may_hold_running_variant(const QSettings &layer);

// Likewise for a variant of any platform, which only the type query asks.
bool may_hold_any_variant(const QSettings &layer);

// The layer now holds a variant, of the running platform or not (pending
// or not). Kept for the rest of the process: a later read of the file does
// not see what this process has still to write.
void variant_written(const QSettings &layer, bool running_platform_variant);

// The same for a key as the settings machinery holds it (a carry-over).
void key_written(const QSettings &layer, const QString &key);

}  // namespace hestrel::zkpref

#endif
