#!/usr/bin/env bash
# Installs the Debian packages the project needs, if any is missing.
# With --package, also the tools that build and check the Debian package.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev libgl-dev libtinyxml-dev libssl-dev libxml2-dev libcurl4-openssl-dev libcpp-httplib-dev
  googletest libgtest-dev
  clang libclang-rt-14-dev
  fonts-liberation2 fonts-dejavu-core
  iproute2 xvfb xauth
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
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Run as root or install sudo to install: ${missing[*]}" >&2; exit 1; }
  as_root=(sudo)
fi
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
