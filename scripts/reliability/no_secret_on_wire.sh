#!/usr/bin/env bash
# No secret on the wire: captures loopback with tcpdump while tarnwick-cli
# discovers a simulated fleet of both kinds of device (our own protocol and
# ONVIF, one of them HTTP Digest only), logs into every camera for its
# sensor model, and changes the address of one device of each kind (three
# modifications). Then looks for the fleet's password in the capture, in
# every encoding the project uses (tarnwick-secret-scan), and prints a
# table of figures.
#
#   no_secret_on_wire.sh [--self-test] [--devsim PATH] [--cli PATH] [--scan PATH] [--keep DIR]
#
# --self-test  also sends the password on loopback in each encoding (UDP
#              datagrams) and in clear split over two TCP segments, and then
#              expects every encoding to be found: proof that the check fails
#              when a password does cross the wire.
# --keep DIR   copies the capture and the logs to DIR.
# The programs default to those of ${BUILD_DIR:-build}.
#
# Exit status: 0 no finding (self-test: every planted encoding found),
# 1 a finding or a failed step, 2 bad command line, 77 not root or no tcpdump.
# Everything stays on loopback: the fleet lives on 127.83.0.0/16, the SDK is
# confined to it by its settings file (the self-test's: 127.84.0.0/16).
set -euo pipefail

top=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$top/build}
devsim=$build/devsim/tarnwick-devsim
cli=$build/cli/tarnwick-cli
scan=$build/tests/reliability/tarnwick-secret-scan
self_test=0 keep=''
while [ $# -gt 0 ]; do
  case $1 in
    --self-test) self_test=1; shift ;;
    --devsim) devsim=$2; shift 2 ;;
    --cli) cli=$2; shift 2 ;;
    --scan) scan=$2; shift 2 ;;
    --keep) keep=$2; shift 2 ;;
    *) echo "usage: $0 [--self-test] [--devsim PATH] [--cli PATH] [--scan PATH] [--keep DIR]" >&2; exit 2 ;;
  esac
done
for program in "$devsim" "$cli" "$scan"; do
  [ -x "$program" ] || { echo "no program at '$program' (build first: scripts/build.sh)" >&2; exit 2; }
done

skip() { echo "SKIPPED: $1"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "needs root (tcpdump on lo)"
command -v tcpdump >/dev/null || skip "tcpdump is not installed (scripts/install-deps.sh)"
command -v ss >/dev/null || skip "ss is not installed (iproute2)"

# Distinctive, at most 15 characters, with characters that URL-encoding and
# XML escaping change, and a '#' that the settings file keeps inside a value.
password='Wq7&Zr<x%Tn#4kV'
work=$(mktemp -d /tmp/tarnwick-no-secret-XXXXXX)
devsim_pid='' tcpdump_pid=''

stop() {  # stop PID SIGNAL: signal and wait at most 10 s, then SIGKILL
  local pid=$1 signal=$2
  kill "-$signal" "$pid" 2>/dev/null || return 0
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
cleanup() {
  [ -z "$tcpdump_pid" ] || stop "$tcpdump_pid" INT
  [ -z "$devsim_pid" ] || stop "$devsim_pid" TERM
  if [ -n "$keep" ]; then mkdir -p "$keep" && cp -r "$work"/. "$keep"/; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# The fleet. Our own devices: a recorder, two cameras, a decoder; ONVIF: a
# camera that takes a UsernameToken, a camera that takes HTTP Digest only, a
# recorder. ONVIF HTTP ports and our control ports are free ports.
# The self-test's fleet has a block of its own, so that its planted
# datagrams never reach the capture of a run beside it.
net=127.83
[ "$self_test" -eq 0 ] || net=127.84
own_sns=(NV0883000001 IC2A83000002 IC2A83000003 DE1683000004)
onvif_sns=(ON-CAM-8301 ON-CAM-8302 ON-NVR-8303)
cat >"$work/fleet.xml" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<Fleet>
  <Device sn="NV0883000001" model="NVR-0804" user="admin" password="Wq7&amp;Zr&lt;x%Tn#4kV" sensorModel=""
          controlPort="0" httpPort="80" rtspPort="554" version="3.1" buildDate="2019-06-12">
    <Eth0 ip="$net.1.1" mask="255.0.0.0" gw="127.0.0.1" dns1="127.0.0.53" dns2="0.0.0.0" mac="02:54:57:83:01:01"/>
  </Device>
  <Device sn="IC2A83000002" model="IPC-B210" user="admin" password="Wq7&amp;Zr&lt;x%Tn#4kV" sensorModel="IMX291"
          controlPort="0" httpPort="80" rtspPort="554" version="5.2" buildDate="2020-04-01">
    <Eth0 ip="$net.1.2" mask="255.0.0.0" gw="127.0.0.1" dns1="127.0.0.53" dns2="0.0.0.0" mac="02:54:57:83:01:02"/>
  </Device>
  <Device sn="IC2A83000003" model="IPC-B210" user="admin" password="Wq7&amp;Zr&lt;x%Tn#4kV" sensorModel="SC2336"
          controlPort="0" httpPort="80" rtspPort="554" version="5.2" buildDate="2020-04-01">
    <Eth0 ip="$net.1.3" mask="255.0.0.0" gw="127.0.0.1" dns1="127.0.0.53" dns2="0.0.0.0" mac="02:54:57:83:01:03"/>
  </Device>
  <Device sn="DE1683000004" model="DEC-1600" user="admin" password="Wq7&amp;Zr&lt;x%Tn#4kV" sensorModel=""
          controlPort="0" httpPort="80" rtspPort="554" version="1.4" buildDate="2018-11-02">
    <Eth0 ip="$net.1.4" mask="255.0.0.0" gw="127.0.0.1" dns1="127.0.0.53" dns2="0.0.0.0" mac="02:54:57:83:01:04"/>
  </Device>
  <OnvifDevice sn="ON-CAM-8301" manufacturer="Harrow Optics" model="HC-2140 Bullet" firmware="V5.4.1"
               hardwareId="IMX327" user="admin" password="Wq7&amp;Zr&lt;x%Tn#4kV" mac="02:4f:4e:83:02:01"
               ip="$net.2.1" prefix="24" gw="$net.2.254" dns="$net.2.53" httpPort="0" rtspPort="554" dhcp="0"/>
  <OnvifDevice sn="ON-CAM-8302" manufacturer="Lindqvist Security" model="LD-4MP Dome" firmware="2.800"
               hardwareId="OS04C10" user="admin" password="Wq7&amp;Zr&lt;x%Tn#4kV" mac="02:4f:4e:83:02:02"
               ip="$net.2.2" prefix="24" gw="$net.2.254" dns="$net.2.53" httpPort="0" rtspPort="554" dhcp="0">
    <Behaviour digestOnly="1"/>
  </OnvifDevice>
  <OnvifDevice kind="recorder" sn="ON-NVR-8303" manufacturer="Harrow Optics" model="HN-NVR-0816" firmware="V4.1.0"
               hardwareId="NVR-16CH-A" user="admin" password="Wq7&amp;Zr&lt;x%Tn#4kV" mac="02:4f:4e:83:02:03"
               ip="$net.2.3" prefix="24" gw="$net.2.254" dns="$net.2.53" httpPort="0" rtspPort="554" dhcp="0"/>
</Fleet>
EOF

"$devsim" --fleet "$work/fleet.xml" --bind-discovery 127.0.0.1 --port 0 --onvif-port 0 --control-port 0 \
  >"$work/devsim.out" 2>"$work/devsim.err" &
devsim_pid=$!
for _ in $(seq 100); do
  grep -q ' devices, discovery on ' "$work/devsim.out" 2>/dev/null && break
  kill -0 "$devsim_pid" 2>/dev/null || break
  sleep 0.1
done
grep -q ' devices, discovery on ' "$work/devsim.out" || { cat "$work/devsim.err" >&2; echo "the simulator did not start" >&2; exit 1; }
discovery_port=$(sed -n 's/.* devices, discovery on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/devsim.out")
onvif_port=$(sed -n 's/.*WS-Discovery probes on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/devsim.out")

# Only the run's traffic: the fleet's addresses and the two discovery ports.
filter="net $net.0.0/16 or udp port $discovery_port or udp port $onvif_port"
tcpdump -i lo -n -s 0 -B 32768 -U --immediate-mode -w "$work/capture.pcap" "$filter" >"$work/tcpdump.out" 2>"$work/tcpdump.err" &
tcpdump_pid=$!
for _ in $(seq 100); do
  grep -q 'listening on' "$work/tcpdump.err" 2>/dev/null && break
  kill -0 "$tcpdump_pid" 2>/dev/null || break
  sleep 0.1
done
grep -q 'listening on' "$work/tcpdump.err" || { cat "$work/tcpdump.err" >&2; echo "tcpdump did not start" >&2; exit 1; }

cat >"$work/netsdk.conf" <<EOF
targets = 127.0.0.1
bind_address = 127.0.0.1
discovery_port = $discovery_port
onvif = on
onvif_port = $onvif_port
window_ms = 1500
probe_repeats = 3
user = admin
password = $password
connect_timeout_ms = 1000
io_timeout_ms = 2000
modify_timeout_ms = 3000
EOF
# The sample catalogue, with names for the ONVIF cameras' sensors.
sed 's|</Models>|  <Model SerialNo="ON-C" SensorType="IMX327" Name="Onvif Cam A"/>\
    <Model SerialNo="ON-C" SensorType="OS04C10" Name="Onvif Cam B"/>\
  </Models>|' "$top/devsim/fleets/Config.xml" >"$work/Config.xml"
cli_run() {  # cli_run NAME ARGS...: tarnwick-cli in the work folder, at most 60 s
  local name=$1; shift
  (cd "$work" && TARNWICK_NETSDK_SETTINGS="$work/netsdk.conf" timeout 60 "$cli" "$@") \
    >"$work/$name.out" 2>"$work/$name.err"
}

# A discovery with a login to every camera for its sensor model.
rows=0 camera_models=0
if cli_run discover discover --format csv; then
  for sn in "${own_sns[@]}" "${onvif_sns[@]}"; do
    grep -q "^$sn," "$work/discover.out" && rows=$((rows + 1))
  done
  # Models that only a login shows: the catalogue's names for our cameras'
  # and the ONVIF cameras' sensors.
  for model in "Tarn Cam 2MP Bullet" "Tarn Cam 2MP Bullet Lite" "Onvif Cam A" "Onvif Cam B"; do
    grep -q ",$model," "$work/discover.out" && camera_models=$((camera_models + 1))
  done
else
  fail "tarnwick-cli discover exited $?: $(head -c 500 "$work/discover.err")"
fi

# One modification of each kind: our own camera, an ONVIF camera by
# UsernameToken, an ONVIF camera by HTTP Digest.
modified=0
while read -r sn mac ip mask gw; do
  if cli_run "modify-$sn" modify --sn "$sn" --mac "$mac" --ip "$ip" --mask "$mask" --gw "$gw"; then
    modified=$((modified + 1))
  else
    fail "tarnwick-cli modify $sn exited $?: $(head -c 500 "$work/modify-$sn.err")"
  fi
done <<EOF
IC2A83000002 02:54:57:83:01:02 $net.1.102 255.0.0.0 127.0.0.1
ON-CAM-8301 02:4f:4e:83:02:01 $net.2.101 255.255.255.0 $net.2.254
ON-CAM-8302 02:4f:4e:83:02:02 $net.2.102 255.255.255.0 $net.2.254
EOF

planted=0
if [ "$self_test" -eq 1 ]; then
  # Every encoding in a datagram of its own to a port nobody listens on.
  while IFS=$'\t' read -r hex name; do
    escaped=$(printf '%s' "$hex" | sed 's/../\\x&/g')
    printf "planted %s: $escaped\n" "$name" >"/dev/udp/$net.0.250/9" && planted=$((planted + 1))
  done < <("$scan" --password "$password" --print-encodings)
  # The password in clear, split over two TCP segments to an ONVIF device's
  # HTTP port: found only if the streams are reassembled.
  http_port=$(ss -Hltn "src $net.2.3" | awk '{ n = split($4, a, ":"); print a[n]; exit }')
  if [ -n "$http_port" ] && exec 3<>"/dev/tcp/$net.2.3/$http_port"; then
    printf 'POST /planted HTTP/1.1\r\nX-Planted: %s' "${password:0:7}" >&3
    sleep 0.2
    printf '%s\r\nContent-Length: 0\r\nConnection: close\r\n\r\n' "${password:7}" >&3
    timeout 5 cat <&3 >/dev/null || true
    exec 3>&-
    planted=$((planted + 1))
  else
    fail "no HTTP port of $net.2.3 for the planted TCP stream"
  fi
fi

sleep 1  # the last segments reach the capture
stop "$tcpdump_pid" INT
tcpdump_pid=''
dropped=$(sed -n 's/^\([0-9]*\) packets\{0,1\} dropped by kernel$/\1/p' "$work/tcpdump.err")

scan_status=0
"$scan" --password "$password" --pcap "$work/capture.pcap" \
  --marker 'PasswordDigest' --marker 'Authorization: Digest' --marker 'Authorization: Basic' \
  --marker 'SetNetworkInterfaces' >"$work/scan.out" 2>"$work/scan.err" || scan_status=$?
[ "$scan_status" -le 1 ] || { cat "$work/scan.err" >&2; exit 1; }

echo "No secret on the wire$([ "$self_test" -eq 1 ] && echo ' (self-test: the password planted in every encoding)')"
echo "password: ${#password} characters; fleet: ${#own_sns[@]} of our own devices, ${#onvif_sns[@]} ONVIF devices"
printf '\n%-24s %12s\n' "run" "count"
printf '%-24s %12s\n' "rows listed" "$rows/7"
printf '%-24s %12s\n' "camera models by login" "$camera_models/4"
printf '%-24s %12s\n' "modifications confirmed" "$modified/3"
printf '%-24s %12s\n' "packets dropped" "${dropped:-?}"
[ "$self_test" -eq 0 ] || printf '%-24s %12s\n' "planted sends" "$planted"
echo
cat "$work/scan.out"

marker() { awk -v m="$1" 'index($0, m) == 1 { print $NF; exit }' "$work/scan.out"; }
[ "$rows" -eq 7 ] || fail "$rows of 7 devices listed"
[ "$camera_models" -eq 4 ] || fail "$camera_models of 4 camera models read by login"
[ "$modified" -eq 3 ] || fail "$modified of 3 modifications confirmed"
[ "${dropped:-1}" -eq 0 ] || fail "tcpdump dropped packets (${dropped:-unknown})"
[ "$(marker PasswordDigest)" -gt 0 ] || fail "no UsernameToken in the capture"
[ "$(marker 'Authorization: Digest')" -gt 0 ] || fail "no HTTP Digest authorization in the capture"
[ "$(marker SetNetworkInterfaces)" -gt 0 ] || fail "no ONVIF modification in the capture"
[ "$(marker 'Authorization: Basic')" -eq 0 ] || fail "HTTP Basic authorization in the capture"
truncated=$(awk '/^truncated frames/ { print $NF }' "$work/scan.out")
[ "$truncated" -eq 0 ] || fail "$truncated frames cut short by the capture"

# The occurrences of each encoding: lines after the last table's heading.
occurrences=$(awk 'f { print $NF } /^encoding of the password/ { f = 1 }' "$work/scan.out")
if [ "$self_test" -eq 1 ]; then
  missed=$(awk 'f && $NF == 0 { print } /^encoding of the password/ { f = 1 }' "$work/scan.out")
  [ -z "$missed" ] || fail "planted encodings not found: $missed"
  plain=$(echo "$occurrences" | head -1)
  [ "$plain" -ge 2 ] || fail "the password split over two TCP segments was not found"
else
  [ "$scan_status" -eq 0 ] || fail "the password crossed the wire (see the table)"
fi
echo
if [ "$failures" -eq 0 ]; then echo "result: ok"; else echo "result: $failures failure(s)"; fi
[ "$failures" -eq 0 ]
