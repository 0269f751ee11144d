#!/usr/bin/env bash
# Installs the Debian packages the project needs, if any is missing, and the
# npm packages of the ONVIF interop check (tests/onvif_interop) from its lock.
# With --package, also the tools that build and check the Debian package.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev libgl-dev libtinyxml-dev libssl-dev libxml2-dev libcurl4-openssl-dev libcpp-httplib-dev
  googletest libgtest-dev
  clang libclang-rt-14-dev
  fonts-liberation2 fonts-dejavu-core
  iproute2 xvfb xauth tcpdump
)
if [ "${1:-}" = --package ]; then
  packages+=(dpkg-dev file lintian desktop-file-utils appstream man-db)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
# Node.js and npm by command, not by package name: a machine may already
# have another build of Node.js whose package provides npm itself.
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  missing+=(nodejs npm)
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  as_root=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Run as root or install sudo to install: ${missing[*]}" >&2; exit 1; }
    as_root=(sudo)
  fi
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The npm client, exactly as locked. A stamp of the lock inside node_modules
# tells whether the installed tree is still the locked one.
interop=$top/tests/onvif_interop
stamp=$interop/node_modules/.tarnwick-lock.sha256
lock_sum=$(sha256sum "$interop/package-lock.json" | cut -d' ' -f1)
if [ "$(cat "$stamp" 2>/dev/null)" != "$lock_sum" ]; then
  echo "Installing the npm packages of tests/onvif_interop"
  (cd "$interop" && npm ci --no-audit --no-fund)
  echo "$lock_sum" >"$stamp"
fi
