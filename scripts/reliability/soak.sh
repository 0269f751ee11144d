#!/usr/bin/env bash
# Soak: consecutive discovery runs through the main dialog off screen against
# the simulator on loopback (tarnwick-soak), by default 100 runs of 1000
# devices (400 cameras, 100 of them ONVIF). Prints the program's table of
# figures and exits non-zero when a figure falls short or the whole soak
# overruns its bound.
#
# usage: scripts/reliability/soak.sh [--runs N] [--devices D] [--cameras C] [--onvif K] [--window-ms N]
# Needs the build (BUILD_DIR, default build/) to hold bench/tarnwick-soak.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$top/build}
program=$build/bench/tarnwick-soak

runs=100 window=3000
args=("$@")
while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=$2; shift 2 ;;
    --window-ms) window=$2; shift 2 ;;
    --devices|--cameras|--onvif) shift 2 ;;
    *) echo "soak.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
if [ ! -x "$program" ]; then
  echo "soak.sh: $program is missing; build it: cmake --build $build --target tarnwick-soak" >&2
  exit 2
fi

# Scratch folders of the program and its simulator go here, and go with it.
scratch=$(mktemp -d /tmp/tarnwick-soak-campaign-XXXXXX)
cleanup() { rm -rf "$scratch"; }
trap cleanup EXIT
trap 'exit 130' INT TERM

# Each run is bounded by the program (10 windows to the controls, 10 more for
# the camera models); this bound only catches a program that stops serving.
limit=$(( runs * (20 * window / 1000 + 5) + 120 ))
echo "soak: ${args[*]:-(defaults)}; $(uname -m), $(nproc) cores; $(date -u '+%Y-%m-%d %H:%M UTC'); bound ${limit}s"
status=0
TMPDIR=$scratch QT_QPA_PLATFORM=offscreen timeout --kill-after=10 "$limit" "$program" "${args[@]}" || status=$?
case $status in
  0) echo "soak: every figure met" ;;
  124|137) echo "soak: HANG: the program did not end within ${limit}s" ;;
  1) echo "soak: a figure fell short" ;;
  *) echo "soak: the program failed (status $status)" ;;
esac
exit "$status"
