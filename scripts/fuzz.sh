#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under AddressSanitizer and runs each
# for a bounded time (FUZZ_SECONDS, default 60); any crash fails the run, and
# for the targets with a time limit in target_options so does any slower input.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
. scripts/packages.sh
install_missing build-essential cmake "${fuzz_packages[@]}"
build=${BUILD_DIR:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
# Optimised, as fuzzing is meant to run, with the sanitizers on.
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DHESTREL_FUZZERS=ON -DHESTREL_SANITIZE=ON -DBUILD_TESTING=OFF -DHESTREL_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
# Options per target (the others: "-timeout=10"). Every input of the
# expression targets must finish within a second, so no pattern may make
# matching slow; their inputs stay within 2048 bytes, where even a long
# polynomial case (five hundred repetitions against a thousand characters)
# takes a quarter of that in this instrumented build.
declare -A target_options=([regex_fuzzer]="-timeout=1 -max_len=2048" [glob_fuzzer]="-timeout=1 -max_len=2048")
shopt -s nullglob
for src in fuzz/*_fuzzer.cpp; do
  name=$(basename "$src" .cpp)
  corpus="$build/corpora/$name"
  mkdir -p "$corpus"
  seeds=()
  [ -d "fuzz/corpora/$name" ] && seeds=("fuzz/corpora/$name")
  echo "fuzzing $name for ${seconds}s"
  ASAN_OPTIONS=detect_leaks=1 "$build/fuzz/$name" -max_total_time="$seconds" ${target_options[$name]:--timeout=10} \
    -rss_limit_mb=4096 -print_final_stats=0 -artifact_prefix="$build/$name-" "$corpus" "${seeds[@]}" \
    > "$build/$name.log" 2>&1 || { tail -60 "$build/$name.log"; echo "fuzzer $name failed"; exit 1; }
done
echo "fuzz runs passed"
