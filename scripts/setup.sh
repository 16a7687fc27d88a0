#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks for building libhestrel, then
# configures, builds and installs it into ./stage, and builds and runs the
# examples (C, gfortran, Python extension module) against that installation.
# Test and benchmark packages are installed only when CMAKE_EXTRA leaves
# BUILD_TESTING or HESTREL_BENCHMARKS on (the default).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
. scripts/packages.sh

# The value CMAKE_EXTRA gives an option (the last one wins), else the default.
option_value() {
  local name=$1 value=$2 word
  for word in ${CMAKE_EXTRA:-}; do
    case "$word" in -D"$name"=*|-D"$name":BOOL=*) value=${word#*=} ;; esac
  done
  case "${value^^}" in OFF|NO|FALSE|0|N) echo OFF ;; *) echo ON ;; esac
}

packages=(build-essential cmake pkg-config gfortran
          qt6-base-dev libboost-filesystem-dev libboost-system-dev libboost-dev
          libxml2-dev libssl-dev libabsl-dev python3 python3-dev)
[ "$(option_value BUILD_TESTING ON)" = ON ] && packages+=(libgtest-dev libgmock-dev libxml2-utils clang-format)
[ "$(option_value HESTREL_BENCHMARKS ON)" = ON ] && packages+=(libbenchmark-dev)
[ "$(option_value HESTREL_FUZZERS OFF)" = ON ] && packages+=("${fuzz_packages[@]}")
install_missing "${packages[@]}"

build=${BUILD_DIR:-build}
jobs=$(nproc)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} ${CMAKE_EXTRA:-}
cmake --build "$build" -j "$jobs"
cmake --install "$build" --prefix "$here/stage" >/dev/null

# The examples find the installed library the way a user's project would.
PKG_CONFIG_PATH="$here/stage/lib/pkgconfig${PKG_CONFIG_PATH:+:$PKG_CONFIG_PATH}" \
  cmake -S examples -B "$build/example" -DCMAKE_PREFIX_PATH="$here/stage" ${EXAMPLE_CMAKE_EXTRA:-}
cmake --build "$build/example" -j "$jobs"
export LD_LIBRARY_PATH="$here/stage/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
"$build/example/hestrel_example"
"$build/example/fortran/hestrel_fortran_example"

# Debian's interpreter imports the extension module. A library built with
# the sanitizers needs their runtimes loaded first into the interpreter.
preload=""
if [ "$(option_value HESTREL_SANITIZE OFF)" = ON ]; then
  preload="$(gcc -print-file-name=libasan.so):$(gcc -print-file-name=libubsan.so)"
fi
(cd "$build/example/python" &&
  LD_PRELOAD="$preload" ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" PYTHONPATH=. /usr/bin/python3 check_demo.py)
