#!/usr/bin/env bash
# Fuzzes one reader: scripts/fuzz.sh <target> <seconds> [libFuzzer options]
# (targets: the files tests/fuzz/<target>_fuzz.cpp). Installs clang when it
# is missing, builds the target with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-fuzz/ and runs it. New inputs gather
# in build-fuzz/corpus/<target>/, findings in build-fuzz/findings/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 2 ]; then
  echo "usage: $0 <target> <seconds> [libFuzzer options]" >&2
  echo "targets: $(ls tests/fuzz/*_fuzz.cpp | sed 's|.*/||; s|_fuzz.cpp||' | tr '\n' ' ')" >&2
  exit 2
fi
TARGET=$1
SECONDS_TO_RUN=$2
shift 2

# libFuzzer's runtime comes with clang's compiler-rt package.
PACKAGES=(clang libclang-rt-14-dev)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
  else
    echo "Missing packages. Run:"
    echo "  sudo apt-get install -y ${missing[*]}"
    exit 1
  fi
fi

BUILD_DIR=${QOR_FUZZ_BUILD_DIR:-build-fuzz}
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQOR_FUZZ=ON
fi
cmake --build "$BUILD_DIR" --target "fuzz_$TARGET" -j"${QOR_FUZZ_BUILD_JOBS:-$(nproc)}"

CORPUS="$BUILD_DIR/corpus/$TARGET"
FINDINGS="$BUILD_DIR/findings/$TARGET"
mkdir -p "$CORPUS" "$FINDINGS"
export LANG=C LC_ALL=C
# New inputs go to the first folder; the committed seeds are only read.
exec "$BUILD_DIR/fuzz/fuzz_$TARGET" "$CORPUS" "tests/fuzz/corpus/$TARGET" \
  -max_total_time="$SECONDS_TO_RUN" -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$FINDINGS/" -print_final_stats=1 "$@"
