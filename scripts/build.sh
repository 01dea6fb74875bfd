#!/usr/bin/env bash
# Configures and builds Kakiva in a build directory (default: build/ in the checkout).
# Extra arguments go to the CMake configure step, e.g. -DKAKIVA_SANITIZE=ON.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${KAKIVA_BUILD_DIR:-$top/build}

cmake -S "$top" -B "$build_dir" -G Ninja "$@"
cmake --build "$build_dir" -j "$(nproc)"
