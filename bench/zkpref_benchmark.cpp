// Cost of the preference store side by side with a QSettings INI file and
// with the parts the store is built on, each measured alone (its floor).
// Ratios between cases timed apart drift on a shared machine; compare them
// over repetitions run in random order, e.g.
//   --benchmark_repetitions=15 --benchmark_enable_random_interleaving=true
//   --benchmark_report_aggregates_only=true
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <QtCore/QBuffer>
#include <QtCore/QByteArray>
#include <QtCore/QCryptographicHash>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QSaveFile>
#include <QtCore/QSettings>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QVariant>
#include <QtCore/QXmlStreamReader>
#include <QtCore/QXmlStreamWriter>

#include "zkpref.h"
#include "zkpref.hpp"

namespace {

constexpr int kGroups = 20;
constexpr int kSmall = 1000;
constexpr int kLarge = 100000;

// Products that hold the files of the cases, one file each.
constexpr ZKPREF_PRODUCTS kSmallStore = ZKPREF_TRALVENIC;
constexpr ZKPREF_PRODUCTS kLargeStore = ZKPREF_VORNAKEL;
constexpr ZKPREF_PRODUCTS kWriteStore = ZKPREF_MIRRENDAL;
constexpr ZKPREF_PRODUCTS kLargeWriteStore = ZKPREF_YORVET;
constexpr ZKPREF_PRODUCTS kMissingStore = ZKPREF_DULCRIN;

std::string root;

QString key_of(int i) { return QStringLiteral("group%1/key%2").arg(i % kGroups).arg(i / kGroups); }

QVariant value_for(int i, int round) {
  switch (i % 4) {
    case 0:
      return QVariant(i + round);
    case 1:
      return QVariant(i * 0.5 + round);
    case 2:
      return QVariant((i + round) % 2 == 0);
    default:
      return QVariant(QStringLiteral("text value %1 of round %2").arg(i).arg(round));
  }
}

QVariantMap record_for(int i, int round) {
  const QVariant v = value_for(i, round);
  return QVariantMap{{QStringLiteral("dt"), QString::fromLatin1(v.typeName())}, {QStringLiteral("value"), v}};
}

struct Keys {
  QStringList text;
  std::vector<std::string> utf8;
};

const Keys &keys(int count) {
  static std::map<int, Keys> by_count;
  Keys &k = by_count[count];
  if (k.text.isEmpty())
    for (int i = 0; i < count; ++i) {
      k.text << key_of(i);
      k.utf8.push_back(k.text.back().toStdString());
    }
  return k;
}

QString user_file(ZKPREF_PRODUCTS product) {
  return pelmoravine::preferences::internal::get_zkpref_file(product, QStringLiteral("2025-4"));
}
QString ini_file(int count) { return QString::fromStdString(root + "/peer" + std::to_string(count) + ".ini"); }
QString site_file() { return QString::fromStdString(root + "/site.xml"); }

void fill_store(ZKPREF_PRODUCTS product, int count) {
  ZKPREF store(product, false);
  QSettings view(user_file(product), getQSettingsFormat());
  for (int i = 0; i < count; ++i) view.setValue(keys(count).text[i], record_for(i, 0));
}

void fill_ini(int count) {
  QSettings ini(ini_file(count), QSettings::IniFormat);
  for (int i = 0; i < count; ++i) ini.setValue(keys(count).text[i], value_for(i, 0));
}

// A private HOME, TMPDIR and shared files, so nothing real is touched.
void set_up() {
  char pattern[] = "/tmp/zkpref_bench_XXXXXX";
  root = mkdtemp(pattern);
  setenv("HOME", (root + "/home").c_str(), 1);
  setenv("TMPDIR", (root + "/tmp").c_str(), 1);
  setenv("PELMORAVINE_MACHINE_PREFERENCE", (root + "/machine.xml").c_str(), 1);
  setenv("PELMORAVINE_SITE_PREFERENCE", (root + "/site.xml").c_str(), 1);
  unsetenv("PELMORAVINE_APPDATA_OVERRIDE");
  unsetenv("PELMORAVINE_ZKPREF_SANDBOX");
  unsetenv("PELMORAVINE_ZKPREF_TEST");
  {
    QSettings site(site_file(), getQSettingsFormat());
    site.setValue(QStringLiteral("shared/height"), record_for(0, 1));
  }
  for (ZKPREF_PRODUCTS p : {kSmallStore, kWriteStore}) fill_store(p, kSmall);
  for (ZKPREF_PRODUCTS p : {kLargeStore, kLargeWriteStore}) fill_store(p, kLarge);
  fill_ini(kSmall);
  fill_ini(kLarge);
}

void per_key(benchmark::State &state, int count) {
  state.counters["per_key"] =
      benchmark::Counter(count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Every key through the typed C reader of its type.
void read_all_c(ZKpref handle, const Keys &k) {
  for (std::size_t i = 0; i < k.utf8.size(); ++i) {
    const char *key = k.utf8[i].c_str();
    int n = 0;
    double d = 0;
    char *s = nullptr;
    switch (i % 4) {
      case 0:
        zkpref_get_int(handle, key, &n);
        break;
      case 1:
        zkpref_get_double(handle, key, &d);
        break;
      case 2:
        zkpref_get_bool(handle, key, &n);
        break;
      default:
        zkpref_get_string(handle, key, &s);
        free(s);
    }
    benchmark::DoNotOptimize(n);
    benchmark::DoNotOptimize(d);
  }
}

void set_all_c(ZKpref handle, const Keys &k, int round) {
  for (std::size_t i = 0; i < k.utf8.size(); ++i) {
    const char *key = k.utf8[i].c_str();
    const int r = static_cast<int>(i) + round;
    switch (i % 4) {
      case 0:
        zkpref_set_int(handle, key, r);
        break;
      case 1:
        zkpref_set_double(handle, key, r * 0.5);
        break;
      case 2:
        zkpref_set_bool(handle, key, r % 2);
        break;
      default:
        zkpref_set_string(handle, key, (std::to_string(r) + " text").c_str());
    }
  }
}

// ---- open + typed read of every key + close ----

void BM_Store_OpenReadAllClose(benchmark::State &state) {
  const int count = static_cast<int>(state.range(0));
  const ZKPREF_PRODUCTS product = count == kSmall ? kSmallStore : kLargeStore;
  const Keys &k = keys(count);
  for (auto _ : state) {
    ZKpref handle = 0;
    if (zkpref_new(&handle, product) != 0) std::abort();
    read_all_c(handle, k);
    zkpref_delete(handle);
  }
  per_key(state, count);
}
BENCHMARK(BM_Store_OpenReadAllClose)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond);

void BM_Ini_OpenReadAllClose(benchmark::State &state) {
  const int count = static_cast<int>(state.range(0));
  const Keys &k = keys(count);
  for (auto _ : state) {
    QSettings ini(ini_file(count), QSettings::IniFormat);
    for (int i = 0; i < count; ++i) {
      const QVariant v = ini.value(k.text[i]);
      switch (i % 4) {
        case 0:
          benchmark::DoNotOptimize(v.toInt());
          break;
        case 1:
          benchmark::DoNotOptimize(v.toDouble());
          break;
        case 2:
          benchmark::DoNotOptimize(v.toBool());
          break;
        default:
          benchmark::DoNotOptimize(v.toString().toUtf8());
      }
    }
  }
  per_key(state, count);
}
BENCHMARK(BM_Ini_OpenReadAllClose)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond);

// Floor: Qt's stream reader over the store's file, tokenising it and
// building the settings map of records (keys from the element path).
void read_floor_map(const QByteArray &bytes, QSettings::SettingsMap &map) {
  QXmlStreamReader xml(bytes);
  QString path;
  std::vector<qsizetype> lengths;
  QVariantMap record;
  while (!xml.atEnd()) {
    switch (xml.readNext()) {
      case QXmlStreamReader::StartElement: {
        if (xml.name() == u"ApplicationSettings") break;
        lengths.push_back(path.size());
        if (lengths.size() > 1) path += QLatin1Char('/');
        path += xml.name();
        record.clear();
        for (const QXmlStreamAttribute &a : xml.attributes()) record.insert(a.name().toString(), a.value().toString());
        break;
      }
      case QXmlStreamReader::Characters:
        if (!xml.isWhitespace() && !record.isEmpty()) {
          record.insert(QStringLiteral("value"), xml.text().toString());
          map.insert(map.cend(), path, record);
        }
        break;
      case QXmlStreamReader::EndElement:
        if (lengths.empty()) break;
        path.truncate(lengths.back());
        lengths.pop_back();
        break;
      default:
        break;
    }
  }
}

QByteArray file_bytes(const QString &path) {
  QFile file(path);
  file.open(QIODevice::ReadOnly);
  return file.readAll();
}

void BM_Floor_QtReaderBuildsMap(benchmark::State &state) {
  const int count = static_cast<int>(state.range(0));
  const QString path = user_file(count == kSmall ? kSmallStore : kLargeStore);
  for (auto _ : state) {
    QSettings::SettingsMap map;
    read_floor_map(file_bytes(path), map);
    if (map.size() != count) std::abort();
  }
  per_key(state, count);
}
BENCHMARK(BM_Floor_QtReaderBuildsMap)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond);

// Floor: the settings machinery alone, with a format whose reader hands over
// a map built beforehand and whose writer writes nothing.
// The map each trivial file hands over, by the file's name.
std::map<QString, QSettings::SettingsMap> &trivial_maps() {
  static std::map<QString, QSettings::SettingsMap> maps;
  return maps;
}
bool trivial_read(QIODevice &device, QSettings::SettingsMap &map) {
  device.readAll();
  if (const auto *file = qobject_cast<QFile *>(&device)) map = trivial_maps()[file->fileName()];
  return true;
}
bool trivial_write(QIODevice &device, const QSettings::SettingsMap &) { return device.write("x", 1) == 1; }
QSettings::Format trivial_format() {
  static const QSettings::Format format =
      QSettings::registerFormat(QStringLiteral("trivial"), trivial_read, trivial_write);
  return format;
}
// A file of the trivial format whose reader hands over count records.
QString trivial_file(int count, const char *name = "trivial") {
  const QString path = QString::fromStdString(root + "/" + name + std::to_string(count) + ".trivial");
  QFile file(path);
  if (!file.exists() && file.open(QIODevice::WriteOnly)) file.write("x", 1);
  QSettings::SettingsMap &map = trivial_maps()[QFileInfo(path).absoluteFilePath()];
  map.clear();
  for (int i = 0; i < count; ++i) map.insert(keys(count).text[i], record_for(i, 0));
  return path;
}

// Every key through the settings machinery's own lookup.
void value_of_every_key(const QSettings &settings, const Keys &k) {
  for (const QString &key : k.text) benchmark::DoNotOptimize(settings.value(key));
}

void BM_Floor_TrivialFormatOpenReadAll(benchmark::State &state) {
  const int count = static_cast<int>(state.range(0));
  const Keys &k = keys(count);
  const QString path = trivial_file(count);
  for (auto _ : state) {
    QSettings settings(path, trivial_format());
    value_of_every_key(settings, k);
  }
  per_key(state, count);
}
BENCHMARK(BM_Floor_TrivialFormatOpenReadAll)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond);

// Floor: the guard's fixed sequence alone: the temporary folder, the lock
// file's digest name, the stream that empties it, the descriptor and the
// record lock, then the release and the close.
void guard_sequence(const QString &settings_path, short type) {
  const QString temp = QDir::tempPath();
  const QString name =
      temp + QLatin1Char('/') +
      QString::fromLatin1(QCryptographicHash::hash(settings_path.toUtf8(), QCryptographicHash::Md5).toHex());
  std::filesystem::create_directories(temp.toStdString());
  const std::string file = name.toStdString();
  std::ofstream stream(file);
  const int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  ::fcntl(fd, F_SETLKW, &lock);
  lock.l_type = F_UNLCK;
  ::fcntl(fd, F_SETLK, &lock);
  stream.close();
  ::close(fd);
}

void BM_Floor_GuardSequence(benchmark::State &state) {
  const QString path = user_file(kSmallStore);
  for (auto _ : state) guard_sequence(path, state.range(0) ? F_WRLCK : F_RDLCK);
}
BENCHMARK(BM_Floor_GuardSequence)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_Store_SyncNothingPending(benchmark::State &state) {
  // The store's guard has no entry of its own in the C interface; a sync with
  // nothing pending is the exclusive guard plus Qt's check of the file.
  ZKpref handle = 0;
  if (zkpref_new(&handle, kSmallStore) != 0) std::abort();
  for (auto _ : state) benchmark::DoNotOptimize(zkpref_sync(handle));
  zkpref_delete(handle);
}
BENCHMARK(BM_Store_SyncNothingPending)->Unit(benchmark::kMicrosecond);

// ---- set every key + sync ----

void BM_Store_SetAllSync(benchmark::State &state) {
  const int count = static_cast<int>(state.range(0));
  const Keys &k = keys(count);
  ZKpref handle = 0;
  if (zkpref_new(&handle, count == kSmall ? kWriteStore : kLargeWriteStore) != 0) std::abort();
  int round = 1;
  for (auto _ : state) {
    set_all_c(handle, k, round++);
    if (zkpref_sync(handle) != 0) std::abort();
  }
  zkpref_delete(handle);
  per_key(state, count);
}
BENCHMARK(BM_Store_SetAllSync)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond);

// The sets alone, without the sync: the type check, the record a set
// replaces and the record it builds, for keys the user's file holds.
void BM_Store_SetAll(benchmark::State &state) {
  const Keys &k = keys(kSmall);
  ZKpref handle = 0;
  if (zkpref_new(&handle, kWriteStore) != 0) std::abort();
  int round = 1;
  set_all_c(handle, k, round++);
  if (zkpref_sync(handle) != 0) std::abort();
  for (auto _ : state) set_all_c(handle, k, round++);
  zkpref_delete(handle);
  per_key(state, kSmall);
}
BENCHMARK(BM_Store_SetAll)->Unit(benchmark::kMicrosecond);

void BM_Store_SettingsObjectSetAllSync(benchmark::State &state) {
  const Keys &k = keys(kSmall);
  QSettings settings(user_file(kWriteStore), getQSettingsFormat());
  int round = 1;
  for (auto _ : state) {
    for (int i = 0; i < kSmall; ++i) settings.setValue(k.text[i], record_for(i, round));
    settings.sync();
    ++round;
  }
  per_key(state, kSmall);
}
BENCHMARK(BM_Store_SettingsObjectSetAllSync)->Unit(benchmark::kMicrosecond);

void BM_Ini_SetAllSync(benchmark::State &state) {
  const int count = static_cast<int>(state.range(0));
  const Keys &k = keys(count);
  QSettings ini(ini_file(count), QSettings::IniFormat);
  int round = 1;
  for (auto _ : state) {
    for (int i = 0; i < count; ++i) ini.setValue(k.text[i], value_for(i, round));
    ini.sync();
    ++round;
  }
  per_key(state, count);
}
BENCHMARK(BM_Ini_SetAllSync)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond);

void BM_Floor_TrivialFormatSetAllSync(benchmark::State &state) {
  const int count = static_cast<int>(state.range(0));
  const Keys &k = keys(count);
  QSettings settings(trivial_file(0, "written"), trivial_format());
  int round = 1;
  for (auto _ : state) {
    for (int i = 0; i < count; ++i) settings.setValue(k.text[i], record_for(i, round));
    settings.sync();
    ++round;
  }
  per_key(state, count);
}
BENCHMARK(BM_Floor_TrivialFormatSetAllSync)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond);

// Floor: the one lookup of each key that a set cannot do without, since it
// must refuse a value of another type than the record it replaces.
void BM_Floor_TypeCheckLookups(benchmark::State &state) {
  const int count = static_cast<int>(state.range(0));
  const Keys &k = keys(count);
  QSettings settings(trivial_file(count), trivial_format());
  for (auto _ : state) value_of_every_key(settings, k);
  per_key(state, count);
}
BENCHMARK(BM_Floor_TypeCheckLookups)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond);

// Floor: Qt's stream writer producing the file into memory, then the save
// file taking the bytes and committing them.
void BM_Floor_QtWriterAndCommit(benchmark::State &state) {
  const int count = static_cast<int>(state.range(0));
  const Keys &k = keys(count);
  const QString path = QString::fromStdString(root + "/floor" + std::to_string(count) + ".xml");
  for (auto _ : state) {
    QByteArray bytes;
    {
      QBuffer buffer(&bytes);
      buffer.open(QIODevice::WriteOnly);
      QXmlStreamWriter xml(&buffer);
      xml.setAutoFormatting(true);
      xml.writeStartDocument();
      xml.writeStartElement(QStringLiteral("ApplicationSettings"));
      for (int g = 0; g < kGroups; ++g) {
        xml.writeStartElement(QStringLiteral("group%1").arg(g));
        for (int i = g; i < count; i += kGroups) {
          const QVariant v = value_for(i, 1);
          xml.writeStartElement(QStringView(k.text[i]).mid(k.text[i].indexOf(QLatin1Char('/')) + 1).toString());
          xml.writeAttribute(QStringLiteral("dt"), QString::fromLatin1(v.typeName()));
          xml.writeCharacters(v.toString());
          xml.writeEndElement();
        }
        xml.writeEndElement();
      }
      xml.writeEndDocument();
    }
    QSaveFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    if (!file.commit()) std::abort();
  }
  per_key(state, count);
}
BENCHMARK(BM_Floor_QtWriterAndCommit)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond);

// ---- one read of one key ----

// The single reads below are timed once caches are warm.
void settle(ZKpref handle, const std::string &key, int) {
  int value = 0;
  for (int i = 0; i < 64; ++i) zkpref_get_int(handle, key.c_str(), &value);
}

void BM_Store_ReadUserKey(benchmark::State &state) {
  ZKpref handle = 0;
  if (zkpref_new(&handle, kSmallStore) != 0) std::abort();
  const std::string key = keys(kSmall).utf8[400];
  settle(handle, key, kSmall);
  int value = 0;
  for (auto _ : state) {
    zkpref_get_int(handle, key.c_str(), &value);
    benchmark::DoNotOptimize(value);
  }
  zkpref_delete(handle);
}
BENCHMARK(BM_Store_ReadUserKey);

void BM_Store_ReadUserKeyLarge(benchmark::State &state) {
  ZKpref handle = 0;
  if (zkpref_new(&handle, kLargeStore) != 0) std::abort();
  const std::string key = keys(kLarge).utf8[40000];
  settle(handle, key, kLarge);
  int value = 0;
  for (auto _ : state) {
    zkpref_get_int(handle, key.c_str(), &value);
    benchmark::DoNotOptimize(value);
  }
  zkpref_delete(handle);
}
BENCHMARK(BM_Store_ReadUserKeyLarge);

void BM_Store_ReadInstallationKey(benchmark::State &state) {
  ZKpref handle = 0;
  if (zkpref_new(&handle, kSmallStore) != 0) std::abort();
  settle(handle, "shared/height", kSmall);
  int value = 0;
  for (auto _ : state) {
    zkpref_get_int(handle, "shared/height", &value);
    benchmark::DoNotOptimize(value);
  }
  zkpref_delete(handle);
}
BENCHMARK(BM_Store_ReadInstallationKey);

void BM_Ini_ReadKey(benchmark::State &state) {
  QSettings ini(ini_file(kSmall), QSettings::IniFormat);
  const QString key = keys(kSmall).text[400];
  for (auto _ : state) benchmark::DoNotOptimize(ini.value(key).toInt());
}
BENCHMARK(BM_Ini_ReadKey);

void BM_Floor_TrivialFormatReadKey(benchmark::State &state) {
  QSettings settings(trivial_file(kSmall), trivial_format());
  const QString key = keys(kSmall).text[400];
  for (auto _ : state) benchmark::DoNotOptimize(settings.value(key));
}
BENCHMARK(BM_Floor_TrivialFormatReadKey);

// Floor of a key held only by the installation-wide file: the user's file
// must be asked first and miss, then the installation-wide file answers.
void BM_Floor_TrivialFormatMissThenHit(benchmark::State &state) {
  QSettings user(trivial_file(kSmall), trivial_format());
  QSettings site(trivial_file(1, "site"), trivial_format());
  const QString missing = QStringLiteral("shared/height");
  const QString held = keys(1).text[0];
  for (auto _ : state) {
    benchmark::DoNotOptimize(user.value(missing));
    benchmark::DoNotOptimize(site.value(held));
  }
}
BENCHMARK(BM_Floor_TrivialFormatMissThenHit);

// ---- opening when the file does not exist ----

void BM_Store_OpenMissingFile(benchmark::State &state) {
  QFile::remove(user_file(kMissingStore));
  for (auto _ : state) {
    ZKpref handle = 0;
    if (zkpref_new(&handle, kMissingStore) != 0) std::abort();
    zkpref_delete(handle);
  }
}
BENCHMARK(BM_Store_OpenMissingFile)->Unit(benchmark::kMicrosecond);

void BM_Ini_OpenMissingFile(benchmark::State &state) {
  const QString path = QString::fromStdString(root + "/missing.ini");
  for (auto _ : state) {
    QSettings ini(path, QSettings::IniFormat);
    benchmark::DoNotOptimize(ini.status());
  }
}
BENCHMARK(BM_Ini_OpenMissingFile)->Unit(benchmark::kMicrosecond);

void BM_Floor_TrivialFormatOpenMissingFile(benchmark::State &state) {
  const QString path = QString::fromStdString(root + "/missing.trivial");
  for (auto _ : state) {
    QSettings settings(path, trivial_format());
    benchmark::DoNotOptimize(settings.status());
  }
}
BENCHMARK(BM_Floor_TrivialFormatOpenMissingFile)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char **argv) {
  set_up();
  benchmark::Initialize(&argc, argv);
  const bool unrecognized = benchmark::ReportUnrecognizedArguments(argc, argv);
  if (!unrecognized) benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(root);
  return unrecognized ? 1 : 0;
}
