#!/usr/bin/env bash
# Sets up and builds, then starts the program on its default data folder.
# Without a display the program is shown through Qt's VNC platform on
# 127.0.0.1:5900.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
BUILD_DIR=${QOR_BUILD_DIR:-build}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: the program is shown through VNC on 127.0.0.1:5900 (connect any VNC viewer there)."
  export QT_QPA_PLATFORM="vnc:addr=127.0.0.1:port=5900:size=1280x800"
fi
exec "$BUILD_DIR/bin/qor" "$@"
