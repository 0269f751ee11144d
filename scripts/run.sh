#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tarnwick against the sample
# device fleet on loopback. Tarnwick runs in run/, a working directory of its
# own holding the icon file and the sample catalogue; the SDK's settings
# confine it to the simulated fleet, so nothing leaves this machine.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build}

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  cat >&2 <<'MSG'
Tarnwick is a desktop program and there is no display here (neither DISPLAY
nor WAYLAND_DISPLAY is set). Run it from a desktop session, or on a virtual
display:

    xvfb-run -a scripts/run.sh
MSG
  exit 1
fi

"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"

run=$top/run
mkdir -p "$run/res"
cp "$top/res/Tarnwick.ico" "$run/res/Tarnwick.ico"
cp "$top/devsim/fleets/Config.xml" "$run/Config.xml"

# The sample fleet: every device on its own 127.0.1.x address.
"$build/devsim/tarnwick-devsim" --fleet "$top/devsim/fleets/sample.xml" >"$run/devsim.log" 2>&1 &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  grep -q 'discovery on' "$run/devsim.log" && break
  if ! kill -0 "$sim" 2>/dev/null; then
    cat "$run/devsim.log" >&2
    exit 1
  fi
  sleep 0.1
done
head -n 1 "$run/devsim.log"

cd "$run"
TARNWICK_NETSDK_SETTINGS=$top/devsim/fleets/demo.conf "$build/app/tarnwick"
