#!/usr/bin/env bash
# The headless run serves the program on loopback only: every listening
# socket of the run's processes is on 127.0.0.1 or ::1.
# Usage: headless-loopback.sh SOURCE_DIR PROGRAM
set -uo pipefail
SRC=$1
PROGRAM=$2
PORT=$((5990 + RANDOM % 9))
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=

setsid env QOR_VNC_PORT=$PORT "$SRC/scripts/headless.sh" "$PROGRAM" >/dev/null 2>&1 &
leader=$!
trap 'kill -- -$leader 2>/dev/null; sleep 0.5; kill -9 -- -$leader 2>/dev/null' EXIT

listeners=""
for _ in $(seq 1 100); do
  sleep 0.1
  pids=$(pgrep -g "$leader" | paste -sd'|')
  [ -n "$pids" ] || continue
  listeners=$(ss -ltnpH | grep -E "pid=($pids)," || true)
  echo "$listeners" | grep -q ":$PORT " && break
done

if ! echo "$listeners" | grep -q ":$PORT "; then
  echo "FAIL: nothing listens on port $PORT"
  exit 1
fi
bad=$(echo "$listeners" | awk '{print $4}' | grep -vE '^(127\.[0-9.]+|\[::1\]):[0-9]+$' || true)
if [ -n "$bad" ]; then
  echo "FAIL: listening beyond loopback: $bad"
  exit 1
fi
echo "listeners:"
echo "$listeners"
echo "1 passed, 0 failed"
