// The per-file record of whether a map may hold platform variants: set by
// the reader and the writer from what they saw, and by every variant set.
#include "zkpref/internal/variant_flags.hpp"

#include <atomic>
#include <map>
#include <mutex>
#include <new>
#include <typeinfo>

#include <QtCore/QFileDevice>
#include <QtCore/QObject>
#include <QtCore/QString>

#include "errors/internal/boundary.hpp"
#include "zkpref/internal/store_state.hpp"
#include "zkpref/internal/xml_vocabulary.hpp"

namespace hestrel::zkpref {
namespace {

// Until a read or write of the file tells, it may hold anything. What this
// process wrote stays: its pending changes sit beside whatever is read.
struct FileVariants {
  std::atomic<bool> seen_running{true}, seen_any{true};
  std::atomic<bool> written_running{false}, written_any{false};

  bool running() const {
    return seen_running.load(std::memory_order_acquire) || written_running.load(std::memory_order_acquire);
  }
  bool any() const { return seen_any.load(std::memory_order_acquire) || written_any.load(std::memory_order_acquire); }
};

// A variant written while no record could be made for its file: every
// answer is "may hold" from then on.
std::atomic<bool> unrecorded_variant{false};

// One record per file name for the life of the process: the settings
// machinery keeps a file's map cached past its last settings object and
// takes it up again without reading, so the record must outlive them too.
// A process opens few files; records are never freed.
std::mutex &table_mutex() {
  static std::mutex *m = new std::mutex;
  return *m;
}
std::map<QString, FileVariants *> &table() {
  static auto *files = new std::map<QString, FileVariants *>;
  return *files;
}

// Null when there is none and none can be made: callers then stay with
// "may hold", which is always a true answer.
FileVariants *record_of(const QString &name) {
  std::lock_guard<std::mutex> hold(table_mutex());
  auto &files = table();
  auto it = files.find(name);
  if (it != files.end()) return it->second;
  try {
    auto *made = new FileVariants;
    try {
      files.emplace(name, made);
    } catch (...) {
      delete made;
      throw;
    }
    return made;
  } catch (const std::bad_alloc &) {
    note_allocation_failure();
    return nullptr;
  }
}

// Parented to the settings object, so a read finds its file's record
// without a search by name; it goes when the layer goes.
class VariantWatch final : public QObject {
 public:
  explicit VariantWatch(FileVariants *record) : record_(record) {}
  const FileVariants &record() const { return *record_; }
  FileVariants &record() { return *record_; }

 private:
  FileVariants *record_;
};

VariantWatch *watch_of(const QSettings &layer) {
  for (QObject *child : layer.children())
    if (typeid(*child) == typeid(VariantWatch)) return static_cast<VariantWatch *>(child);
  return nullptr;
}

FileVariants *record_of(const QSettings &layer) {
  if (VariantWatch *watch = watch_of(layer)) return &watch->record();
  return record_of(layer.fileName());
}

}  // namespace

void variants_in_map(const QIODevice &device, VariantsSeen seen) {
  const auto *file = qobject_cast<const QFileDevice *>(&device);
  if (!file) return;
  FileVariants *record = record_of(file->fileName());
  if (!record) return;
  record->seen_running.store(seen.running, std::memory_order_release);
  record->seen_any.store(seen.any, std::memory_order_release);
}

void watch_variants(const QSettings &layer) {
  if (watch_of(layer)) return;
  FileVariants *record = record_of(layer.fileName());
  if (!record) return;
  auto *watch = new VariantWatch(record);
  watch->moveToThread(layer.thread());
  watch->setParent(const_cast<QSettings *>(&layer));
}

bool may_hold_running_variant(const QSettings &layer) {
  const VariantWatch *watch = watch_of(layer);
  return !watch || watch->record().running() || unrecorded_variant.load(std::memory_order_acquire);
}

bool may_hold_any_variant(const QSettings &layer) {
  const VariantWatch *watch = watch_of(layer);
  return !watch || watch->record().any() || unrecorded_variant.load(std::memory_order_acquire);
}

void variant_written(const QSettings &layer, bool running_platform_variant) {
  FileVariants *record = record_of(layer);
  if (!record) {
    unrecorded_variant.store(true, std::memory_order_release);
    return;
  }
  record->written_any.store(true, std::memory_order_release);
  if (running_platform_variant) record->written_running.store(true, std::memory_order_release);
}

void key_written(const QSettings &layer, const QString &key) {
  if (!key.contains(words::platform_suffix())) return;
  variant_written(layer, key.endsWith(running_platform_suffix()));
}

}  // namespace hestrel::zkpref
