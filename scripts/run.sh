#!/usr/bin/env bash
# Sets up and builds, then starts the program on its default data folder.
# Without a display the program runs on a virtual X display shown through
# VNC on 127.0.0.1:5900 (loopback only).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
BUILD_DIR=${QOR_BUILD_DIR:-build}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  exec scripts/headless.sh "$BUILD_DIR/bin/qor" "$@"
fi
exec "$BUILD_DIR/bin/qor" "$@"
