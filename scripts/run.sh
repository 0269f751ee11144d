#!/usr/bin/env bash
# Installs what is missing, builds only the programs it runs, and shows
# Tarnwick at work on simulated devices on loopback: the sample fleet and,
# beside it, a mixed fleet whose four ONVIF devices are found by
# WS-Discovery (directed to 127.0.0.1, never multicast) and read through
# ONVIF Device Management.
#
# With a display (DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM set) it starts
# the window. Without one it runs `tarnwick-cli discover` once against the
# same fleet and prints the table of devices. Either works in run/, a
# working directory of its own holding the icon file and the sample
# catalogue, and the SDK's settings confine it to the simulated fleet, so
# nothing leaves this machine.
#
# The sample fleet answers discovery on 127.0.0.1:39300 and each device
# listens on 127.0.1.x:8000. When another program holds one of those ports,
# the simulator refuses it, this script says which port it was, and runs
# the fleet on free ports instead: a simulator is never started on a port
# in use. The mixed fleet (devsim/fleets/onvif.xml) always runs on free
# discovery, WS-Discovery and control ports; its ONVIF devices listen on
# 127.0.2.x:8080.
#
# Environment:
#   BUILD_DIR               the build tree (default: build-run/, configured
#                           without tests and benchmarks; build/ stays the
#                           test command's)
#   TARNWICK_RUN_NO_BUILD=1 install nothing and build nothing: use the
#                           programs already built in BUILD_DIR
#   TARNWICK_RUN_DIR        the working directory (default: run/)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build-run}
run=${TARNWICK_RUN_DIR:-$top/run}

say() { echo "run.sh: $*" >&2; }

headless=
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then headless=1; fi
if [ -n "$headless" ]; then program=tarnwick-cli; else program=tarnwick; fi

# Configures a fresh build tree without tests and benchmarks, then builds
# the simulator and the one program this run shows.
build_programs() {
  "$top/scripts/install-deps.sh"
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$top" -B "$build" -G Ninja -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF >/dev/null
  fi
  local targets
  targets=$(cmake --build "$build" --target help)
  if ! grep -q "^$program:" <<<"$targets"; then
    say "this build has no target $program; run on a display (xvfb-run -a scripts/run.sh) to see the window"
    exit 1
  fi
  cmake --build "$build" --parallel "$(nproc)" --target tarnwick-devsim "$program"
}

# Where the build put `program`.
program_path() {
  local path
  for path in "$build/app/$1" "$build/devsim/$1" "$build/cli/$1" "$build/$1"; do
    if [ -x "$path" ]; then echo "$path"; return; fi
  done
  find "$build" -maxdepth 3 -type f -perm -u+x -name "$1" -print -quit 2>/dev/null || true
}

# Starts the sample fleet with the options given and waits for its ready
# line. Returns the simulator's exit status if it stops first (3: a port it
# needs is in use).
start_fleet() {
  "$devsim" --fleet "$top/devsim/fleets/sample.xml" "$@" >"$run/devsim.log" 2>&1 &
  sim=$!
  for _ in $(seq 100); do
    if grep -q 'discovery on' "$run/devsim.log"; then return 0; fi
    if ! kill -0 "$sim" 2>/dev/null; then
      local status=0
      wait "$sim" || status=$?
      sim=
      return "$status"
    fi
    sleep 0.1
  done
  say "the simulator did not start within 10 s"
  return 1
}

stop_fleet() {
  local pid
  for pid in ${sim:-} ${onvif_sim:-}; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
}

# Starts the mixed fleet with ONVIF devices on free ports and waits for its
# ready line.
start_onvif_fleet() {
  "$devsim" --fleet "$top/devsim/fleets/onvif.xml" --port 0 --onvif-port 0 --control-port 0 \
    >"$run/devsim-onvif.log" 2>&1 &
  onvif_sim=$!
  for _ in $(seq 100); do
    if grep -q ' discovery on' "$run/devsim-onvif.log"; then
      cat "$run/devsim-onvif.log" >&2
      return 0
    fi
    if ! kill -0 "$onvif_sim" 2>/dev/null; then
      onvif_sim=
      cat "$run/devsim-onvif.log" >&2
      say "the fleet with ONVIF devices did not start"
      exit 1
    fi
    sleep 0.1
  done
  say "the fleet with ONVIF devices did not start within 10 s"
  exit 1
}

# Runs the sample fleet, moving to free ports when its own are taken: the
# discovery port first, then the control ports.
run_fleet() {
  local options=() status reason
  for _ in 1 2 3; do
    status=0
    start_fleet "${options[@]}" || status=$?
    [ "$status" -eq 3 ] || break
    reason=$(grep 'tarnwick-devsim: ' "$run/devsim.log" | tail -n 1)
    say "a port of the sample fleet is in use by another program: ${reason#tarnwick-devsim: }"
    case $reason in
      *'discovery socket'*) options+=(--port 0) ;;
      *) options+=(--control-port 0) ;;
    esac
  done
  if [ "$status" -ne 0 ]; then
    cat "$run/devsim.log" >&2
    exit 1
  fi
  if [ ${#options[@]} -gt 0 ]; then say "the sample fleet runs on free ports instead (${options[*]})"; fi
  head -n 1 "$run/devsim.log" >&2
}

if [ -z "${TARNWICK_RUN_NO_BUILD:-}" ]; then build_programs; fi
devsim=$(program_path tarnwick-devsim)
shown=$(program_path "$program")
if [ -z "$devsim" ] || [ -z "$shown" ]; then
  say "tarnwick-devsim or $program is not built in $build"
  exit 1
fi

mkdir -p "$run/res"
cp "$top/res/Tarnwick.ico" "$run/res/Tarnwick.ico"
cp "$top/devsim/fleets/Config.xml" "$run/Config.xml"

sim=
onvif_sim=
trap stop_fleet EXIT
trap 'exit 130' INT TERM
run_fleet
start_onvif_fleet

# The demo's SDK settings, aimed at the ports the fleets answer on.
port=$(sed -n 's/.*discovery on [0-9.]*:\([0-9]*\)$/\1/p' "$run/devsim.log" | head -n 1)
mixed_port=$(sed -n 's/.* discovery on [0-9.]*:\([0-9]*\)$/\1/p' "$run/devsim-onvif.log" | head -n 1)
onvif_port=$(sed -n 's/.*WS-Discovery probes on [0-9.]*:\([0-9]*\)$/\1/p' "$run/devsim-onvif.log" | head -n 1)
{
  echo "# devsim/fleets/demo.conf as scripts/run.sh used it: the sample fleet answers on port $port,"
  echo "# the mixed fleet on port $mixed_port and its ONVIF devices' WS-Discovery on port $onvif_port."
  sed -e '/^#/d' -e "s/^discovery_port *=.*/discovery_port = $port/" \
    -e "s/^targets *=.*/targets = 127.0.0.1, 127.0.0.1:$mixed_port/" \
    -e "s/^onvif_port *=.*/onvif_port = $onvif_port/" "$top/devsim/fleets/demo.conf"
} >"$run/netsdk.conf"

cd "$run"
export TARNWICK_NETSDK_SETTINGS=$run/netsdk.conf
status=0
if [ -n "$headless" ]; then
  say "no display: listing the fleet with tarnwick-cli discover (xvfb-run -a scripts/run.sh shows the window)"
  "$shown" discover || status=$?
else
  "$shown" || status=$?
fi
exit "$status"
