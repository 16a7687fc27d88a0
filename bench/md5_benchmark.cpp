// Digest speed of a 256 MiB file: the library's file digest beside the
// system's md5sum program on the same file, in the same run.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "zkfile_md5.h"

namespace {

constexpr std::size_t kFileSize = std::size_t{256} << 20;

// One file for the whole run, made on first use and removed at exit.
class BenchFile {
 public:
  BenchFile() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/md5_bench_XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return;
    dir_ = pattern;
    path_ = dir_ + "/data.bin";
    FILE *out = std::fopen(path_.c_str(), "wb");
    if (out == nullptr) return;
    std::vector<unsigned char> block(1 << 20);
    unsigned state = 12345;
    for (std::size_t written = 0; written < kFileSize; written += block.size()) {
      for (unsigned char &b : block) b = static_cast<unsigned char>((state = state * 1103515245u + 12345u) >> 24);
      std::fwrite(block.data(), 1, block.size(), out);
    }
    std::fclose(out);
  }
  ~BenchFile() {
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  const std::string &path() const { return path_; }

 private:
  std::string dir_, path_;
};

const BenchFile &bench_file() {
  static BenchFile file;
  return file;
}

void BM_ZkfileMd5File(benchmark::State &state) {
  const std::string &path = bench_file().path();
  unsigned char digest[16];
  for (auto _ : state) {
    if (zkfile_md5_file(digest, path.c_str()) != 0) {
      state.SkipWithError("cannot read the benchmark file");
      break;
    }
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void BM_Md5sumProgram(benchmark::State &state) {
  std::string command = "md5sum '" + bench_file().path() + "'";
  char line[256];
  for (auto _ : state) {
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
      state.SkipWithError("cannot start md5sum");
      break;
    }
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
    }
    if (pclose(pipe) != 0) {
      state.SkipWithError("md5sum failed");
      break;
    }
    benchmark::DoNotOptimize(line);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

// Alternating order, several repetitions: the page cache is warm for both.
BENCHMARK(BM_ZkfileMd5File)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_Md5sumProgram)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
