#!/usr/bin/env bash
# Runs a program on a virtual X display served by VNC on the loopback
# interface only: x11vnc -localhost binds 127.0.0.1, Xvfb takes no TCP.
# Usage: scripts/headless.sh PROGRAM [ARGS...]
# QOR_VNC_PORT (default 5900) and QOR_XDISPLAY (default: the first free
# display from :90) choose the port and the display.
set -euo pipefail
PORT=${QOR_VNC_PORT:-5900}
if [ -n "${QOR_XDISPLAY:-}" ]; then
  DISP=$QOR_XDISPLAY
else
  n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  DISP=":$n"
fi

pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT INT TERM

Xvfb "$DISP" -screen 0 1280x800x24 -nolisten tcp -nolisten unix-abstract 2>/dev/null &
pids+=($!)
for _ in $(seq 1 50); do
  xdpyinfo -display "$DISP" >/dev/null 2>&1 && break
  sleep 0.1
done
x11vnc -display "$DISP" -localhost -listen 127.0.0.1 -rfbport "$PORT" -nopw -forever -shared -quiet \
  >/dev/null 2>&1 &
pids+=($!)

echo "No display found: the program is shown through VNC on 127.0.0.1:$PORT (connect any VNC viewer there)."
DISPLAY=$DISP QT_QPA_PLATFORM=xcb "$@" &
app=$!
pids+=("$app")
set +e
wait "$app"
code=$?
set -e
exit "$code"
