#!/usr/bin/env bash
# Configures and builds Kakiva in a build directory (default: build/ in the checkout).
# Extra arguments go to the CMake configure step, e.g. -DKAKIVA_SANITIZE=ON.
#   KAKIVA_BUILD_DIR     the build directory
#   KAKIVA_BUILD_TARGET  build only this target (default: everything)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${KAKIVA_BUILD_DIR:-$top/build}

cmake -S "$top" -B "$build_dir" -G Ninja "$@"
if [ -n "${KAKIVA_BUILD_TARGET:-}" ]; then
  cmake --build "$build_dir" -j "$(nproc)" --target "$KAKIVA_BUILD_TARGET"
else
  cmake --build "$build_dir" -j "$(nproc)"
fi
