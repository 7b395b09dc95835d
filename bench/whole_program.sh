#!/usr/bin/env bash
# The whole program against a plain video viewer: plays Frostwipe with the demo camera on a
# private X server for a while and measures its processor time, then does the same for a
# GStreamer viewer that shows a 320 x 240 picture twice at 30 frames per second. Prints each
# one's share of one processor and, last, the ratio line.
#
#   bench/whole_program.sh [path/to/frostwipe] [seconds]
#
# Needs Xvfb and GStreamer's tools with the base, good and X plugins (scripts/setup installs
# them). Defaults: build/frostwipe, 60 seconds.
set -euo pipefail

program=${1:-build/frostwipe}
seconds=${2:-60}
warmup=5
[ -x "$program" ] || { echo "whole_program: no program at $program (build it first)" >&2; exit 1; }
for tool in Xvfb gst-launch-1.0; do
  command -v "$tool" >/dev/null || { echo "whole_program: $tool missing: run scripts/setup" >&2; exit 1; }
done

work=$(mktemp -d)
chmod 700 "$work"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display number nobody uses; Xvfb writes it once it listens.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
xvfb=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "whole_program: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

clock_ticks=$(getconf CLK_TCK)
# User and system time of a process and all its threads, in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# Starts a command, waits for the warm-up, then writes its share of one processor (percent)
# over the measured seconds, and the X server's share beside it, to $work/result.
measure() {
  "$@" >"$work/out.log" 2>&1 &
  local pid=$!
  pids+=("$pid")
  sleep "$warmup"
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "whole_program: $1 ended early:" >&2
    cat "$work/out.log" >&2
    exit 1
  fi
  local start x_start used x_used
  start=$(cpu_ticks "$pid")
  x_start=$(cpu_ticks "$xvfb")
  sleep "$seconds"
  used=$(($(cpu_ticks "$pid") - start))
  x_used=$(($(cpu_ticks "$xvfb") - x_start))
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  awk -v u="$used" -v x="$x_used" -v t="$clock_ticks" -v s="$seconds" \
    'BEGIN { printf "%.2f %.2f\n", 100 * u / t / s, 100 * x / t / s }' >"$work/result"
}

measure env QT_QPA_PLATFORM=xcb FROSTWIPE_AUTOPLAY=5 FROSTWIPE_DEVICE_PROVIDERS=demo \
  FROSTWIPE_REGISTRY="$work/registry.db" XDG_RUNTIME_DIR="$work" "$program"
read -r game game_x <"$work/result"
measure gst-launch-1.0 -q videotestsrc is-live=true pattern=ball \
  ! video/x-raw,width=320,height=240,framerate=30/1 ! tee name=t \
  ! queue ! videoconvert ! ximagesink t. ! queue ! videoconvert ! ximagesink
read -r viewer viewer_x <"$work/result"

echo "X server beside the program: ${game_x} %, beside the viewer: ${viewer_x} %"
awk -v g="$game" -v v="$viewer" 'BEGIN {
  printf "whole program cpu share: %.2f %%, baseline gst-launch viewer %.2f %%, ratio %.2f\n",
         g, v, (v > 0 ? g / v : 0) }'
