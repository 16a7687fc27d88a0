#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under AddressSanitizer and runs each
# for a bounded time (FUZZ_SECONDS, default 60); any crash fails the run, and
# for the targets named in per_input_seconds so does any input slower than that.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
build=${BUILD_DIR:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug \
  -DHESTREL_FUZZERS=ON -DHESTREL_SANITIZE=ON -DBUILD_TESTING=OFF -DHESTREL_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
# Targets whose every input must finish within this many seconds (10 for
# the others): no pattern may make matching slow.
declare -A per_input_seconds=([regex_fuzzer]=1 [glob_fuzzer]=1)
shopt -s nullglob
for src in fuzz/*_fuzzer.cpp; do
  name=$(basename "$src" .cpp)
  corpus="$build/corpora/$name"
  mkdir -p "$corpus"
  seeds=()
  [ -d "fuzz/corpora/$name" ] && seeds=("fuzz/corpora/$name")
  echo "fuzzing $name for ${seconds}s"
  ASAN_OPTIONS=detect_leaks=1 "$build/fuzz/$name" -max_total_time="$seconds" -timeout="${per_input_seconds[$name]:-10}" \
    -rss_limit_mb=4096 -print_final_stats=0 -artifact_prefix="$build/$name-" "$corpus" "${seeds[@]}" \
    > "$build/$name.log" 2>&1 || { tail -60 "$build/$name.log"; echo "fuzzer $name failed"; exit 1; }
done
echo "fuzz runs passed"
