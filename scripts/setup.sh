#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks for building libhestrel, then
# configures, builds and installs it into ./stage, and builds and runs the
# example program against that installation.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"

packages=(build-essential cmake pkg-config gfortran
          qt6-base-dev libboost-filesystem-dev libboost-system-dev libboost-dev
          libxml2-dev libxml2-utils libssl-dev libabsl-dev python3-dev
          libgtest-dev libbenchmark-dev clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build=${BUILD_DIR:-build}
jobs=$(nproc)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} ${CMAKE_EXTRA:-}
cmake --build "$build" -j "$jobs"
cmake --install "$build" --prefix "$here/stage" >/dev/null

# The example finds the installed library the way a user's project would.
PKG_CONFIG_PATH="$here/stage/lib/pkgconfig${PKG_CONFIG_PATH:+:$PKG_CONFIG_PATH}" \
  cmake -S examples -B "$build/example" -DCMAKE_PREFIX_PATH="$here/stage" ${EXAMPLE_CMAKE_EXTRA:-}
cmake --build "$build/example" -j "$jobs"
LD_LIBRARY_PATH="$here/stage/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" "$build/example/hestrel_example"
