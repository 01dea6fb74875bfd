#!/usr/bin/env bash
# Sets everything up, builds Kakiva, installs it into a portable folder the user owns
# and starts it. The program keeps its diary, pages and settings beside its executable,
# so it never runs out of the build tree.
#   KAKIVA_HOME  the portable folder (default: ~/Kakiva)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
home=${KAKIVA_HOME:-$HOME/Kakiva}

"$top/scripts/setup.sh" build
export KAKIVA_BUILD_DIR=${KAKIVA_BUILD_DIR:-$top/build}
KAKIVA_BUILD_TARGET=kakiva "$top/scripts/build.sh" -DKAKIVA_BUILD_TESTS=OFF -DKAKIVA_BUILD_BENCH=OFF
cmake --install "$KAKIVA_BUILD_DIR" --prefix "$home" --component portable

exec "$home/kakiva"
