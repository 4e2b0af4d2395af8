#!/usr/bin/env bash
# Installs the Debian 12 packages that the build, the tests and the program
# need (only the missing ones), then configures and builds into build/.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6opengl6-dev
  libsqlite3-dev libshp-dev libgtest-dev libgmock-dev libbenchmark-dev libmuparser-dev
  arj fonts-dejavu-core fonts-liberation clang-format poppler-utils
  qt6-translations-l10n
  xvfb x11vnc x11-utils iproute2 procps
  # Tests only: a scheduler of their own with a PDF queue (cups brings the
  # generic PDF printer's driver with cups-filters).
  cups
)
# The fuzz build's clang and libFuzzer runtime (clang libclang-rt-14-dev)
# are installed by scripts/fuzz.sh only, when a fuzz target is asked for.

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
  else
    echo "Missing packages. Run:"
    echo "  sudo apt-get install -y ${missing[*]}"
    exit 1
  fi
fi

BUILD_DIR=${QOR_BUILD_DIR:-build}
BUILD_TYPE=${QOR_BUILD_TYPE:-RelWithDebInfo}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE="$BUILD_TYPE" ${QOR_CMAKE_ARGS:-}
cmake --build "$BUILD_DIR" -j"$(nproc)"

# The default data folder of the built program (bin/DB/) gets the shipped
# amount-in-words table unless it has one already.
DATA_DIR="$BUILD_DIR/bin/DB"
mkdir -p "$DATA_DIR"
if ! ls "$DATA_DIR" | grep -qix 'propis.db'; then
  cp "$BUILD_DIR/bin/PROPIS.DB" "$DATA_DIR/PROPIS.DB"
fi
