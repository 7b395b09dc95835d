#!/usr/bin/env bash
# The whole program against a plain video viewer: plays Frostwipe with the demo camera on a
# private X server for a while and measures its processor time, then does the same for a
# GStreamer viewer that shows a 320 x 240 picture twice at 30 frames per second. The two take
# turns, the measured time split into rounds, so a machine that is busier for a while weighs on
# both alike. Prints the medians of each one's share of one processor and, last, the ratio line.
#
#   bench/whole_program.sh [path/to/frostwipe] [seconds] [rounds]
#
# Needs Xvfb and GStreamer's tools with the base, good and X plugins (scripts/setup installs
# them). Defaults: build/frostwipe, 60 seconds for each of the two in 3 rounds.
set -euo pipefail

program=${1:-build/frostwipe}
total=${2:-60}
rounds=${3:-3}
[ "$rounds" -ge 1 ] 2>/dev/null || { echo "whole_program: rounds must be 1 or more" >&2; exit 2; }
seconds=$((total / rounds))
[ "$seconds" -ge 1 ] || { echo "whole_program: too few seconds for $rounds rounds" >&2; exit 2; }
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

# The median of the numbers on standard input.
median() {
  sort -g | awk '{ v[NR] = $1 }
    END { printf "%.2f\n", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

: >"$work/game" && : >"$work/viewer"
for _ in $(seq "$rounds"); do
  measure env QT_QPA_PLATFORM=xcb FROSTWIPE_AUTOPLAY=5 FROSTWIPE_DEVICE_PROVIDERS=demo \
    FROSTWIPE_REGISTRY="$work/registry.db" XDG_RUNTIME_DIR="$work" "$program"
  cat "$work/result" >>"$work/game"
  measure gst-launch-1.0 -q videotestsrc is-live=true pattern=ball \
    ! video/x-raw,width=320,height=240,framerate=30/1 ! tee name=t \
    ! queue ! videoconvert ! ximagesink t. ! queue ! videoconvert ! ximagesink
  cat "$work/result" >>"$work/viewer"
done
game=$(cut -d' ' -f1 "$work/game" | median)
game_x=$(cut -d' ' -f2 "$work/game" | median)
viewer=$(cut -d' ' -f1 "$work/viewer" | median)
viewer_x=$(cut -d' ' -f2 "$work/viewer" | median)

echo "rounds of ${seconds} s, program: $(cut -d' ' -f1 "$work/game" | tr '\n' ' ')%," \
  "viewer: $(cut -d' ' -f1 "$work/viewer" | tr '\n' ' ')%"
echo "X server beside the program: ${game_x} %, beside the viewer: ${viewer_x} %"
awk -v g="$game" -v v="$viewer" 'BEGIN {
  printf "whole program cpu share: %.2f %%, baseline gst-launch viewer %.2f %%, ratio %.2f\n",
         g, v, (v > 0 ? g / v : 0) }'
