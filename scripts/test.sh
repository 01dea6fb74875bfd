#!/usr/bin/env bash
# Sets everything up, builds, and runs all tests, with warnings as errors and the
# benchmarks built too, so they keep compiling.
#   scripts/test.sh             normal build in build/; then the Debian package is built
#                               and checked (scripts/package.sh)
#   scripts/test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer in build-sanitize/
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

"$top/scripts/setup.sh" build test bench package

sanitize=()
if [ "${1:-}" = "--sanitize" ]; then
  export KAKIVA_BUILD_DIR=${KAKIVA_BUILD_DIR:-$top/build-sanitize}
  sanitize=(-DKAKIVA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
else
  export KAKIVA_BUILD_DIR=${KAKIVA_BUILD_DIR:-$top/build}
fi
"$top/scripts/build.sh" -DKAKIVA_WERROR=ON -DKAKIVA_BUILD_TESTS=ON -DKAKIVA_BUILD_BENCH=ON "${sanitize[@]}"
(cd "$KAKIVA_BUILD_DIR" && ctest --output-on-failure -j "$(nproc)")

# A sanitized program is for testing only, never for a package.
if [ ${#sanitize[@]} -eq 0 ]; then
  "$top/scripts/package.sh"
fi
