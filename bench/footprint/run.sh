#!/usr/bin/env bash
# Footprint of the real tracker under Xvfb: run.sh [MINUTES] (default 10), then two quiet minutes;
# on headless sway instead with SESSION=sway.
# Uses the release build (build-release/, made by scripts/main-job) unless TRACKER is given.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
minutes="${1:-10}"
tracker="${TRACKER:-$root/build-release/quillmoss.app/Contents/MacOS/QuillmossTracker}"
[ -x "$tracker" ] || { echo "no tracker at $tracker (run scripts/main-job or set TRACKER)" >&2; exit 1; }
if [ "${SESSION:-x11}" = sway ]; then
  exec python3 "$root/bench/footprint/sway_footprint.py" "$tracker" "$minutes"
fi
client="$(mktemp -d)/x11_test_client"
trap 'rm -rf "$(dirname "$client")"' EXIT
cc -O2 -o "$client" "$root/tools/x11_client/x11_client.c" $(pkg-config --cflags --libs xcb xcb-icccm)
python3 "$root/bench/footprint/footprint.py" "$tracker" "$client" "$minutes"
