// Cost of a preference store on a file of 1000 typed keys in 20 groups:
// opening it and reading every key, and writing every key and synchronising,
// side by side with a QSettings INI file holding the same keys.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include <QtCore/QSettings>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QVariant>
#include <benchmark/benchmark.h>

#include "zkpref.hpp"

namespace {

constexpr int kGroups = 20;
constexpr int kKeysPerGroup = 50;

struct World {
  std::string root;
  QString store_file;
  QString ini_file;
  QStringList keys;
};

QVariant value_for(int i, int round) {
  switch (i % 4) {
    case 0: return QVariant(i + round);
    case 1: return QVariant(i * 0.5 + round);
    case 2: return QVariant((i + round) % 2 == 0);
    default: return QVariant(QStringLiteral("text value %1 of round %2").arg(i).arg(round));
  }
}

QVariantMap record_for(int i, int round) {
  QVariant v = value_for(i, round);
  return QVariantMap{{"dt", QString::fromLatin1(v.typeName())}, {"value", v}};
}

// A private HOME, TMPDIR and shared files, so nothing real is touched.
const World &world() {
  static World *w = [] {
    auto *w = new World;
    char pattern[] = "/tmp/zkpref_bench_XXXXXX";
    w->root = mkdtemp(pattern);
    setenv("HOME", (w->root + "/home").c_str(), 1);
    setenv("TMPDIR", (w->root + "/tmp").c_str(), 1);
    setenv("PELMORAVINE_MACHINE_PREFERENCE", (w->root + "/machine.xml").c_str(), 1);
    setenv("PELMORAVINE_SITE_PREFERENCE", (w->root + "/site.xml").c_str(), 1);
    unsetenv("PELMORAVINE_APPDATA_OVERRIDE");
    unsetenv("PELMORAVINE_ZKPREF_SANDBOX");
    for (int g = 0; g < kGroups; ++g)
      for (int k = 0; k < kKeysPerGroup; ++k) w->keys << QStringLiteral("group%1/key%2").arg(g).arg(k);
    {
      QSettings machine(QString::fromStdString(w->root + "/machine.xml"), getQSettingsFormat());
      machine.setValue("shared/width", record_for(0, 0));
      QSettings site(QString::fromStdString(w->root + "/site.xml"), getQSettingsFormat());
      site.setValue("shared/height", record_for(0, 1));
    }
    {
      ZKPREF store(ZKPREF_TRALVENIC, false);
      w->store_file = pelmoravine::preferences::internal::get_zkpref_file(ZKPREF_TRALVENIC, "2025-4");
      QSettings view(w->store_file, getQSettingsFormat());
      for (int i = 0; i < w->keys.size(); ++i) view.setValue(w->keys[i], record_for(i, 0));
    }
    w->ini_file = QString::fromStdString(w->root + "/peer.ini");
    QSettings ini(w->ini_file, QSettings::IniFormat);
    for (int i = 0; i < w->keys.size(); ++i) ini.setValue(w->keys[i], value_for(i, 0));
    return w;
  }();
  return *w;
}

void BM_StoreOpenAndReadAll(benchmark::State &state) {
  const World &w = world();
  for (auto _ : state) {
    ZKPREF store(ZKPREF_TRALVENIC);
    // A second settings object on the same file shares the store's parsed
    // keys, so this reads them as the store's own object would.
    QSettings view(w.store_file, getQSettingsFormat());
    for (const QString &key : w.keys) benchmark::DoNotOptimize(view.value(key));
  }
}
BENCHMARK(BM_StoreOpenAndReadAll)->Unit(benchmark::kMicrosecond);

void BM_IniOpenAndReadAll(benchmark::State &state) {
  const World &w = world();
  for (auto _ : state) {
    QSettings ini(w.ini_file, QSettings::IniFormat);
    for (const QString &key : w.keys) benchmark::DoNotOptimize(ini.value(key));
  }
}
BENCHMARK(BM_IniOpenAndReadAll)->Unit(benchmark::kMicrosecond);

void BM_StoreWriteAllAndSync(benchmark::State &state) {
  const World &w = world();
  ZKPREF store(ZKPREF_TRALVENIC);
  QSettings view(w.store_file, getQSettingsFormat());
  int round = 1;
  for (auto _ : state) {
    for (int i = 0; i < w.keys.size(); ++i) view.setValue(w.keys[i], record_for(i, round));
    benchmark::DoNotOptimize(store.syncSettings());
    ++round;
  }
}
BENCHMARK(BM_StoreWriteAllAndSync)->Unit(benchmark::kMicrosecond);

void BM_IniWriteAllAndSync(benchmark::State &state) {
  const World &w = world();
  QSettings ini(w.ini_file, QSettings::IniFormat);
  int round = 1;
  for (auto _ : state) {
    for (int i = 0; i < w.keys.size(); ++i) ini.setValue(w.keys[i], value_for(i, round));
    ini.sync();
    ++round;
  }
}
BENCHMARK(BM_IniWriteAllAndSync)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
