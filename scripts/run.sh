#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tarnwick in run/, a working
# directory of its own holding the icon file and the sample catalogue.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"

run=$top/run
mkdir -p "$run/res"
cp "$top/res/Tarnwick.ico" "$run/res/Tarnwick.ico"

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  cat >&2 <<'MSG'
Tarnwick is a desktop program and there is no display here (neither DISPLAY
nor WAYLAND_DISPLAY is set). Run it from a desktop session, or on a virtual
display:

    xvfb-run -a scripts/run.sh
MSG
  exit 1
fi

cd "$run"
exec "${BUILD_DIR:-$top/build}/app/tarnwick"
