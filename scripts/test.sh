#!/usr/bin/env bash
# Sets everything up, builds, and runs all tests.
#   scripts/test.sh             normal build in build/
#   scripts/test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer in build-sanitize/
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

"$top/scripts/setup.sh"

if [ "${1:-}" = "--sanitize" ]; then
  export KAKIVA_BUILD_DIR=${KAKIVA_BUILD_DIR:-$top/build-sanitize}
  "$top/scripts/build.sh" -DKAKIVA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
else
  export KAKIVA_BUILD_DIR=${KAKIVA_BUILD_DIR:-$top/build}
  "$top/scripts/build.sh"
fi

cd "$KAKIVA_BUILD_DIR"
ctest --output-on-failure -j "$(nproc)"
