#!/usr/bin/env bash
# Starts the program on a private X server with a private session bus and accessibility bus, walks
# the AT-SPI tree of its main window as a screen reader sees it, and fails on any shown control
# without a name. With a language and a caption, the program runs in that language (LANGUAGE)
# and the tree must hold that caption. Everything started here runs in sessions of its own and is
# stopped at the end.
#   AtspiTree_test.sh <path of frostwipe> [<language> <expected caption>]
set -uo pipefail
exe="$1"
language="${2:-en}"
caption="${3:-}"
launcher=/usr/libexec/at-spi-bus-launcher
for tool in Xvfb dbus-daemon gdbus setsid "$launcher"; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIPPED: $tool missing (scripts/setup installs it)"; exit 0; }
done

run="$(mktemp -d)"
chmod 700 "$run"
sessions=()
cleanup() {
  # The program first, then the servers it talks to.
  for ((i = ${#sessions[@]} - 1; i >= 0; i--)); do pkill -TERM -s "${sessions[i]}" 2>/dev/null; done
  sleep 0.3
  for sid in "${sessions[@]}"; do pkill -KILL -s "$sid" 2>/dev/null; done
  rm -rf "$run"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR="$run" HOME="$run" XDG_CONFIG_HOME="$run/config"
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS WAYLAND_DISPLAY

# Starts a command in a session of its own and remembers the session, so that cleanup also
# stops what the command starts (the accessibility bus and its registry).
start() {
  setsid "$@" &
  sessions+=("$!")
}

wait_for_file() {
  for _ in $(seq 100); do [ -s "$1" ] && return 0; sleep 0.05; done
  echo "timed out waiting for $1" >&2
  exit 1
}

start dbus-daemon --session --nofork --nopidfile --address="unix:path=$run/bus" \
  --print-address=3 3>"$run/bus-address"
wait_for_file "$run/bus-address"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$run/bus"
start "$launcher" --launch-immediately
start Xvfb -displayfd 4 -nolisten tcp -screen 0 1280x1024x24 4>"$run/display"
wait_for_file "$run/display"
export DISPLAY=":$(head -1 "$run/display")"

a11y=""
for _ in $(seq 100); do
  a11y="$(gdbus call --session -d org.a11y.Bus -o /org/a11y/bus -m org.a11y.Bus.GetAddress \
    2>/dev/null | sed -n "s/^('\(.*\)',)$/\1/p")"
  [ -n "$a11y" ] && break
  sleep 0.05
done
[ -n "$a11y" ] || { echo "the accessibility bus did not start"; exit 1; }

QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 FROSTWIPE_DEVICE_PROVIDERS=demo \
  FROSTWIPE_REGISTRY="$run/registry.db" LANGUAGE="$language" start "$exe"

call() {  # bus-name path interface.method [args...]
  local dest="$1" path="$2" method="$3"
  shift 3
  gdbus call --address "$a11y" -d "$dest" -o "$path" -m "$method" "$@" 2>/dev/null
}
children() {  # prints "bus path" per child
  call "$1" "$2" org.a11y.atspi.Accessible.GetChildren |
    grep -o "('[^']*', objectpath '[^']*')\|('[^']*', '[^']*')" |
    sed "s/('\([^']*\)', \(objectpath \)\?'\([^']*\)')/\1 \3/"
}
name_of() {  # gdbus quotes a name holding an apostrophe with double quotes
  call "$1" "$2" org.freedesktop.DBus.Properties.Get org.a11y.atspi.Accessible Name |
    sed -n "s/^(<['\"]\(.*\)['\"]>,)$/\1/p"
}
role_of() { call "$1" "$2" org.a11y.atspi.Accessible.GetRoleName | sed -n "s/^('\(.*\)',)$/\1/p"; }
showing() {  # ATSPI_STATE_SHOWING is bit 25 of the first state word
  local word
  word="$(call "$1" "$2" org.a11y.atspi.Accessible.GetState | sed -n 's/^(\[uint32 \([0-9]*\),.*/\1/p')"
  [ -n "$word" ] && (((word >> 25) & 1))
}

# The program's main window: a frame named "Frostwipe" among the registered applications.
window=""
for _ in $(seq 200); do
  while read -r bus path; do
    while read -r wbus wpath; do
      [ "$(name_of "$wbus" "$wpath")" = "Frostwipe" ] && window="$wbus $wpath" && break 2
    done < <(children "$bus" "$path")
  done < <(children org.a11y.atspi.Registry /org/a11y/atspi/accessible/root)
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "the main window did not appear on the accessibility bus"; exit 1; }
sleep 0.5  # the window finishes showing

# Containers carry no name of their own; every other shown object is a control a reader announces.
containers="filler|panel|frame|window|menu bar|scroll bar|application|unknown|redundant object"
controls=0
unnamed=0
found_caption=0
walk() {
  local bus="$1" path="$2" depth="$3"
  showing "$bus" "$path" || return 0
  local role name
  role="$(role_of "$bus" "$path")"
  name="$(name_of "$bus" "$path")"
  printf '%*s%s "%s"\n' "$((depth * 2))" "" "$role" "$name"
  [ -n "$caption" ] && [ "$name" = "$caption" ] && found_caption=1
  if ! [[ "$role" =~ ^($containers)$ ]]; then
    controls=$((controls + 1))
    [ -z "${name// /}" ] && unnamed=$((unnamed + 1)) && echo "UNNAMED: $role at $path"
  fi
  while read -r cbus cpath; do
    [ -n "$cbus" ] && walk "$cbus" "$cpath" $((depth + 1))
  done < <(children "$bus" "$path")
}
# shellcheck disable=SC2086
walk $window 0
echo "controls: $controls, unnamed: $unnamed"
[ "$controls" -ge 8 ] || { echo "too few controls found: the tree was not read"; exit 1; }
if [ -n "$caption" ] && [ "$found_caption" -eq 0 ]; then
  echo "no control reads \"$caption\" in language $language"
  exit 1
fi
[ "$unnamed" -eq 0 ]
