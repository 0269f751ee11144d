#!/usr/bin/env bash
# Checks a built Tarnwick package: its version and contents, lintian (no
# errors), the desktop entry, the AppStream metainfo and the manual pages;
# then installs it with apt, runs the installed programs and the launcher
# against a temporary XDG_DATA_HOME, and purges it again. Needs root or sudo
# for apt (CI runs as root on a throwaway machine).
#
#   packaging/check-deb.sh build-pkg/tarnwick_VERSION_ARCH.deb
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
deb=$(readlink -f "$1")
app_id=org.tarnwick.Tarnwick
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

step() { printf -- '-- %s\n' "$1"; }
die() { echo "check-deb: $*" >&2; exit 1; }

step "version"
version=$(sed -n 's/^project(Tarnwick VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || die "package version $(dpkg-deb -f "$deb" Version), project $version"
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || die "no library dependencies: $(dpkg-deb -f "$deb" Depends)"

step "contents"
root=$tmp/root
dpkg-deb -x "$deb" "$root"
expected=(usr/bin/tarnwick usr/bin/tarnwick-devsim usr/bin/tarnwick-launch
  "usr/share/applications/$app_id.desktop" "usr/share/metainfo/$app_id.metainfo.xml"
  usr/share/doc/tarnwick/copyright usr/share/doc/tarnwick/changelog.gz
  usr/share/tarnwick/Config.xml usr/share/tarnwick/Tarnwick.ico
  usr/share/tarnwick/sample.xml usr/share/tarnwick/demo.conf)
pages=(tarnwick tarnwick-launch tarnwick-devsim)
if [ -d "$top/cli" ]; then
  expected+=(usr/bin/tarnwick-cli)
  pages+=(tarnwick-cli)
fi
for page in "${pages[@]}"; do
  expected+=("usr/share/man/man1/$page.1.gz")
done
for size in 16 22 24 32 48 64 128 256 512; do
  expected+=("usr/share/icons/hicolor/${size}x$size/apps/$app_id.png")
done
for path in "${expected[@]}"; do
  [ -e "$root/$path" ] || die "missing /$path"
done
for program in "$root"/usr/bin/*; do
  if file -b "$program" | grep -q ELF; then
    file -b "$program" | grep -q ', stripped' || die "$program is not stripped"
  fi
done
for page in "$root"/usr/share/man/man1/*.1.gz; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || die "$page: $warnings"
done

step "lintian"
lintian --fail-on error --display-info --tag-display-limit 0 "$deb"

step "desktop entry and metainfo"
desktop-file-validate "$root/usr/share/applications/$app_id.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml"

step "install"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb" >"$tmp/apt.log" ||
  { cat "$tmp/apt.log"; die "apt-get install failed"; }
trap '"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q tarnwick >/dev/null; rm -rf "$tmp"' EXIT
for program in /usr/bin/tarnwick /usr/bin/tarnwick-devsim; do
  ! ldd "$program" | grep 'not found' || die "$program misses libraries"
done
tarnwick-devsim --generate 3 --out "$tmp/fleet.xml"
grep -q '<Device' "$tmp/fleet.xml" || die "tarnwick-devsim wrote no fleet"

step "launcher"
# The desktop entry's command, with pwd standing in for the program: it must
# run in a new working directory that holds the sample files.
command=$(sed -n 's/^Exec=//p' "/usr/share/applications/$app_id.desktop")
work=$(env XDG_DATA_HOME="$tmp/xdg" TARNWICK_PROGRAM=/bin/pwd "$command")
[ "$work" = "$tmp/xdg/tarnwick" ] || die "the launcher ran its program in '$work'"
cmp /usr/share/tarnwick/Config.xml "$work/Config.xml"
cmp /usr/share/tarnwick/Tarnwick.ico "$work/res/Tarnwick.ico"
# Programs that answer --version: the window through its launcher, the CLI.
if [ -x /usr/bin/tarnwick-cli ]; then
  out=$(env XDG_DATA_HOME="$tmp/xdg2" QT_QPA_PLATFORM=offscreen timeout 30 "$command" --version)
  [[ $out == *"$version"* ]] || die "tarnwick --version through the launcher said: $out"
  [ -f "$tmp/xdg2/tarnwick/Config.xml" ] || die "the launcher made no working directory"
  out=$(timeout 30 tarnwick-cli --version)
  [[ $out == *"$version"* ]] || die "tarnwick-cli --version said: $out"
fi
echo "check-deb: $(basename "$deb") passed"
