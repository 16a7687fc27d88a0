// The per-file flag "may hold a running-platform variant": kept in a small
// object parented to each watched settings object, shared per file name.
#include "zkpref/internal/variant_flags.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <typeinfo>
#include <utility>

#include <QtCore/QEvent>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QObject>
#include <QtCore/QStringList>
#include <QtCore/QThread>

#include "zkpref/internal/store_state.hpp"

namespace hestrel::zkpref {
namespace {

enum Knowledge : unsigned char { unknown, none, some };

// Settings objects on one file share its keys inside the process, so what
// one learns or writes holds for all of them. Two things are known: whether
// the file may hold the running platform's variant of a key (all the reads
// need) and whether it may hold any platform's (the type query needs).
struct Flag {
  std::atomic<unsigned char> state{unknown};

  void forget() {
    unsigned char expected = none;
    state.compare_exchange_strong(expected, unknown);
  }
};

// Learning walks every key, which costs about what two lookups per key do;
// so the keys are learnt only once the lookups made in doubt have cost as
// much (and a store that reads each key once never pays for it). A file's
// size stands in for its count of keys (about 45 bytes a key).
constexpr long bytes_per_lookup_of_learning = 24;
constexpr long least_lookups_before_learning = 16;
constexpr long budget_not_set = -1;

// The file as the settings machinery last read or wrote it: it reads the
// file again at a sync exactly when the size or the time of change differ.
struct Stamp {
  qint64 size = -1;
  qint64 changed = -1;
  bool operator==(const Stamp &o) const { return size == o.size && changed == o.changed; }
};

// Finer than the machinery's own comparison, so a difference it would not
// see only makes the flag be learnt again.
Stamp stamp_of(const QString &name) {
  struct stat st;
  if (::stat(QFile::encodeName(name).constData(), &st) != 0) return Stamp{0, 0};
  return Stamp{static_cast<qint64>(st.st_size),
               static_cast<qint64>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

struct FileFlag {
  Flag running, any;
  std::atomic<long> lookups_before_learning{budget_not_set};
  std::mutex stamp_mutex;
  Stamp known;  // none (size -1) when not known

  void forget() {
    running.forget();
    any.forget();
    lookups_before_learning.store(budget_not_set, std::memory_order_relaxed);
  }
};

long learning_budget(const QSettings &layer) {
  const long size = static_cast<long>(QFileInfo(layer.fileName()).size());
  return std::max(least_lookups_before_learning, size / bytes_per_lookup_of_learning);
}

// True while the lookups made in doubt have not yet paid for learning.
bool keep_asking(const QSettings &layer, FileFlag &file, long lookups) {
  long left = file.lookups_before_learning.load(std::memory_order_relaxed);
  if (left == budget_not_set) left = learning_budget(layer);
  if (left <= 0) return false;
  file.lookups_before_learning.store(left - lookups, std::memory_order_relaxed);
  return true;
}

std::mutex &registry_mutex() {
  static std::mutex *m = new std::mutex;
  return *m;
}
std::map<QString, std::weak_ptr<FileFlag>> &registry() {
  static auto *files = new std::map<QString, std::weak_ptr<FileFlag>>;
  return *files;
}

std::shared_ptr<FileFlag> flag_of_file(const QString &name) {
  std::lock_guard<std::mutex> hold(registry_mutex());
  std::weak_ptr<FileFlag> &slot = registry()[name];
  std::shared_ptr<FileFlag> flag = slot.lock();
  if (!flag) {
    flag = std::make_shared<FileFlag>();
    slot = flag;
  }
  return flag;
}

// The flag of a file that some layer watches; null when none does.
std::shared_ptr<FileFlag> watched_file(const QString &name) {
  std::lock_guard<std::mutex> hold(registry_mutex());
  auto it = registry().find(name);
  return it == registry().end() ? nullptr : it->second.lock();
}

// Parented to the settings object, so it goes when the layer goes. It also
// sees the settings machinery's own deferred sync, which reads in what
// other processes wrote.
class VariantWatch final : public QObject {
 public:
  VariantWatch(std::shared_ptr<FileFlag> flag, QString name) : flag_(std::move(flag)), name_(std::move(name)) {}
  ~VariantWatch() override {
    // The object's last sync may have read the shared keys in again.
    flag_->forget();
    std::lock_guard<std::mutex> hold(registry_mutex());
    auto it = registry().find(name_);
    if (it != registry().end() && it->second.use_count() == 1) registry().erase(it);
  }
  FileFlag &flag() const { return *flag_; }

 protected:
  bool eventFilter(QObject *, QEvent *event) override {
    if (event->type() == QEvent::UpdateRequest) flag_->forget();
    return false;
  }

 private:
  std::shared_ptr<FileFlag> flag_;
  QString name_;
};

VariantWatch *watch_of(const QSettings &layer) {
  for (QObject *child : layer.children())
    if (typeid(*child) == typeid(VariantWatch)) return static_cast<VariantWatch *>(child);
  return nullptr;
}

struct Seen {
  bool running = false, any = false;
};

Seen variants_among(const QStringList &keys) {
  const QString &suffix = running_platform_suffix();
  Seen seen;
  for (const QString &key : keys) {
    if (!key.contains(u":os=")) continue;
    seen.any = true;
    if (key.endsWith(suffix)) {
      seen.running = true;
      break;
    }
  }
  return seen;
}


// Learns both flags from the keys when either is unknown and the lookups
// made in doubt have paid for it; a variant written meanwhile wins over what
// the keys showed. lookups: how many the answer may spare.
bool may_hold(const QSettings &layer, Flag FileFlag::*which, long lookups) {
  const VariantWatch *watch = watch_of(layer);
  if (!watch) return true;
  FileFlag &file = watch->flag();
  unsigned char state = (file.*which).state.load(std::memory_order_acquire);
  if (state == unknown && keep_asking(layer, file, lookups)) return true;
  // Only a layer outside any group shows every key of its file; inside one
  // the lookup is made, until a read outside a group learns the keys.
  if (state == unknown && !layer.group().isEmpty()) return true;
  if (state == unknown) {
    const Seen seen = variants_among(layer.allKeys());
    for (auto [flag, there] : {std::pair<Flag *, bool>{&file.running, seen.running}, {&file.any, seen.any}}) {
      unsigned char expected = unknown;
      flag->state.compare_exchange_strong(expected, there ? some : none);
    }
    state = (file.*which).state.load(std::memory_order_acquire);
  }
  return state != none;
}

}  // namespace

void watch_variants(QSettings &layer) {
  if (watch_of(layer)) return;
  const QString name = layer.fileName();
  std::shared_ptr<FileFlag> flag = flag_of_file(name);
  // Making this object read its file may have read the shared keys again.
  flag->forget();
  {
    std::lock_guard<std::mutex> hold(flag->stamp_mutex);
    flag->known = stamp_of(name);
  }
  auto *watch = new VariantWatch(std::move(flag), name);
  watch->moveToThread(layer.thread());
  watch->setParent(&layer);
  layer.installEventFilter(watch);
}

bool may_hold_running_variant(const QSettings &layer) { return may_hold(layer, &FileFlag::running, 1); }

// The type query asks for the variants of three platforms.
bool may_hold_any_variant(const QSettings &layer) { return may_hold(layer, &FileFlag::any, 3); }

void variant_written(const QSettings &layer, ZKPREF_PLATFORM platform) {
  std::shared_ptr<FileFlag> unwatched;
  FileFlag *file = nullptr;
  if (const VariantWatch *watch = watch_of(layer))
    file = &watch->flag();
  else if ((unwatched = watched_file(layer.fileName())))
    file = unwatched.get();
  if (!file) return;
  file->any.state.store(some, std::memory_order_release);
  if (platform == running_platform) file->running.state.store(some, std::memory_order_release);
}

void variants_before_sync(const QSettings &layer) {
  const VariantWatch *watch = watch_of(layer);
  if (!watch) return variants_may_have_changed(layer);
  FileFlag &file = watch->flag();
  const Stamp now = stamp_of(layer.fileName());
  std::lock_guard<std::mutex> hold(file.stamp_mutex);
  if (!(now == file.known)) file.forget();
  file.known = Stamp();
}

void variants_after_sync(const QSettings &layer) {
  const VariantWatch *watch = watch_of(layer);
  if (!watch) return variants_may_have_changed(layer);
  FileFlag &file = watch->flag();
  const Stamp now = stamp_of(layer.fileName());
  std::lock_guard<std::mutex> hold(file.stamp_mutex);
  file.known = now;
}

void variants_may_have_changed(const QSettings &layer) {
  if (const VariantWatch *watch = watch_of(layer))
    watch->flag().forget();
  else if (std::shared_ptr<FileFlag> flag = watched_file(layer.fileName()))
    flag->forget();
}

}  // namespace hestrel::zkpref
