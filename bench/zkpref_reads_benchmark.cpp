// Typed reads of keys that the user's file holds: 1000 through the C-callable
// interface and through the facade, beside the same reads from a plain Qt
// settings object in INI format. Runs in a private HOME below /tmp.
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <QtCore/QSettings>

#include "pelmoravine_preferences.hpp"
#include "zkpref.h"

namespace {

constexpr int key_count = 1000;
std::string scratch;

const std::vector<std::string> &keys() {
  static const std::vector<std::string> all = [] {
    std::vector<std::string> k;
    for (int i = 0; i < key_count; ++i) k.push_back("bench/group" + std::to_string(i % 10) + "/k" + std::to_string(i));
    return k;
  }();
  return all;
}

// The user's file of product 0 holding every key, written once.
void write_store() {
  ZKpref handle = 0;
  if (zkpref_new(&handle, ZKPREF_TRALVENIC) != 0) std::abort();
  for (int i = 0; i < key_count; ++i) zkpref_set_int(handle, keys()[i].c_str(), i);
  zkpref_delete(handle);
}

QString ini_file() { return QString::fromStdString(scratch + "/bench.ini"); }

void write_ini() {
  QSettings ini(ini_file(), QSettings::IniFormat);
  for (int i = 0; i < key_count; ++i) ini.setValue(QString::fromStdString(keys()[i]), i);
}

void BM_ZkprefGetInt(benchmark::State &state) {
  ZKpref handle = 0;
  if (zkpref_new(&handle, ZKPREF_TRALVENIC) != 0) std::abort();
  for (auto _ : state) {
    long sum = 0;
    for (const std::string &key : keys()) {
      int value = 0;
      zkpref_get_int(handle, key.c_str(), &value);
      sum += value;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * key_count);
  zkpref_delete(handle);
}
BENCHMARK(BM_ZkprefGetInt);

void BM_FacadeGetInt(benchmark::State &state) {
  pelmoravine::Preferences prefs(ZKPREF_TRALVENIC);
  for (auto _ : state) {
    long sum = 0;
    for (const std::string &key : keys()) sum += prefs.get<int>(key);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * key_count);
}
BENCHMARK(BM_FacadeGetInt);

void BM_QSettingsIniValue(benchmark::State &state) {
  QSettings ini(ini_file(), QSettings::IniFormat);
  for (auto _ : state) {
    long sum = 0;
    for (const std::string &key : keys()) sum += ini.value(QString::fromStdString(key)).toInt();
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * key_count);
}
BENCHMARK(BM_QSettingsIniValue);

}  // namespace

int main(int argc, char **argv) {
  char dir[] = "/tmp/zkpref-bench-XXXXXX";
  if (!mkdtemp(dir)) return 1;
  scratch = dir;
  std::filesystem::create_directories(scratch + "/home");
  std::filesystem::create_directories(scratch + "/tmp");
  setenv("HOME", (scratch + "/home").c_str(), 1);
  setenv("TMPDIR", (scratch + "/tmp").c_str(), 1);
  setenv("PELMORAVINE_MACHINE_PREFERENCE", "", 1);
  setenv("PELMORAVINE_SITE_PREFERENCE", "", 1);
  for (const char *name : {"PELMORAVINE", "PELMORAVINE_APPDATA_OVERRIDE", "PELMORAVINE_ZKPREF_SANDBOX"}) unsetenv(name);
  write_store();
  write_ini();

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(scratch);
  return 0;
}
