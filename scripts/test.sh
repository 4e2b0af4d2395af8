#!/usr/bin/env bash
# Sets up and builds, then runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
BUILD_DIR=${QOR_BUILD_DIR:-build}
export LANG=C LC_ALL=C QT_QPA_PLATFORM=offscreen
ctest --test-dir "$BUILD_DIR" --output-on-failure -j"$(nproc)"
