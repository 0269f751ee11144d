#!/usr/bin/env bash
# ONVIF discovery between two network namespaces joined by veth: the
# simulator's fleet (ONVIF devices and two of our own) in one, the clients in
# the other. Multicast never leaves the two namespaces, which are always
# removed.
#
#   netns_onvif_test.sh --devsim PATH [--cli PATH] [--part npm|cli|all]
#
# npm: the npm `onvif` client (check.js) finds every ONVIF device by
#      multicast exactly once and reads its information and interface.
# cli: `tarnwick-cli discover` with automatic targets lists every device of
#      both kinds once, with its serial, address, netmask, gateway and MAC.
# Exit status 77 (skipped) without root, `ip netns`, node or node_modules.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
devsim='' cli='' part=all
while [ $# -gt 0 ]; do
  case $1 in
    --devsim) devsim=$2; shift 2 ;;
    --cli) cli=$2; shift 2 ;;
    --part) part=$2; shift 2 ;;
    *) echo "usage: $0 --devsim PATH [--cli PATH] [--part npm|cli|all]" >&2; exit 2 ;;
  esac
done
case $part in npm|cli|all) ;; *) echo "--part is npm, cli or all" >&2; exit 2 ;; esac
want() { [ "$part" = all ] || [ "$part" = "$1" ]; }
[ -x "$devsim" ] || { echo "no simulator at '$devsim'" >&2; exit 2; }
if want cli; then [ -x "$cli" ] || { echo "no tarnwick-cli at '$cli'" >&2; exit 2; }; fi
devsim=$(readlink -f "$devsim")
[ -z "$cli" ] || cli=$(readlink -f "$cli")

skip() { echo "SKIPPED: $1"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "needs root"
ip netns list >/dev/null 2>&1 || skip "ip netns is not available"
# Node reads the CLI's JSON too.
command -v node >/dev/null || skip "node is not installed (scripts/install-deps.sh)"
if want npm; then
  [ -d "$here/node_modules/onvif" ] || skip "tests/onvif_interop/node_modules is missing (scripts/install-deps.sh)"
fi

id=$(( $$ % 100000 ))
dev_ns=tnwk-odev-$id sdk_ns=tnwk-osdk-$id
dev_if=tod$id sdk_if=tos$id
net=10.214.$(( id % 250 ))
control_port=39310
work=$(mktemp -d /tmp/tarnwick-onvif-netns-XXXXXX)
fleet_pid=''

cleanup() {
  if [ -n "$fleet_pid" ]; then
    kill "$fleet_pid" 2>/dev/null || true
    wait "$fleet_pid" 2>/dev/null || true
  fi
  ip netns del "$dev_ns" 2>/dev/null || true
  ip netns del "$sdk_ns" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# The veth pair is made inside the device namespace with its peer placed
# straight into the SDK namespace: no end of it ever sits on the host.
ip netns add "$dev_ns"
ip netns add "$sdk_ns"
ip -n "$dev_ns" link add "$dev_if" type veth peer name "$sdk_if" netns "$sdk_ns"
ip -n "$dev_ns" addr add "$net.1/24" brd + dev "$dev_if"
for host in 2 3 11 12 13; do ip -n "$dev_ns" addr add "$net.$host/24" dev "$dev_if"; done
ip -n "$sdk_ns" addr add "$net.100/24" brd + dev "$sdk_if"
for ns in "$dev_ns" "$sdk_ns"; do
  ip -n "$ns" link set lo up
done
ip -n "$dev_ns" link set "$dev_if" up
ip -n "$sdk_ns" link set "$sdk_if" up
# Multicast (sending the probe, joining the group) needs a route; the only
# one is the veth.
ip -n "$dev_ns" route add 224.0.0.0/4 dev "$dev_if"
ip -n "$sdk_ns" route add 224.0.0.0/4 dev "$sdk_if"

# The fleet: three ONVIF devices on ports of their own, two of ours. One
# ONVIF device's clock is an hour behind, which a client must allow for;
# another reads no UsernameToken and challenges for HTTP Digest.
# Fields: serial manufacturer model firmware hardwareId mac host httpPort prefix clockOffset digestOnly
onvif_devices=(
  "ONVTARN0001 Tarnmoor IPC-D4M 5.6.2 HW-D4 02:54:57:0a:00:0b 11 80 24 0 0"
  "ONVTARN0002 Tarnmoor DomeCam-2 2.1 HW-2 02:54:57:0a:00:0c 12 8080 24 -3600 0"
  "ONVTARN0003 Wickfield NVR-3216 4.0.1 HW-N32 02:54:57:0a:00:0d 13 8899 24 0 1"
)
# Fields: serial model mac host
own_devices=(
  "NV0800009001 NVR-0804 02:54:57:0b:00:02 2"
  "IC2A00009002 IPC-B210 02:54:57:0b:00:03 3"
)
{
  echo '<?xml version="1.0" encoding="UTF-8"?>'
  echo '<Fleet>'
  for d in "${own_devices[@]}"; do
    read -r sn model mac host <<<"$d"
    echo "  <Device sn=\"$sn\" model=\"$model\" user=\"admin\" password=\"tarnwick\" sensorModel=\"\""
    echo "          controlPort=\"8000\" httpPort=\"80\" rtspPort=\"554\" version=\"3.1\" buildDate=\"2020-01-01\">"
    echo "    <Eth0 ip=\"$net.$host\" mask=\"255.255.255.0\" gw=\"$net.1\" dns1=\"$net.1\" dns2=\"0.0.0.0\" mac=\"$mac\"/>"
    echo "  </Device>"
  done
  for d in "${onvif_devices[@]}"; do
    read -r sn maker model firmware hw mac host port prefix offset digest_only <<<"$d"
    echo "  <OnvifDevice sn=\"$sn\" manufacturer=\"$maker\" model=\"$model\" firmware=\"$firmware\""
    echo "               hardwareId=\"$hw\" user=\"admin\" password=\"tarnwick\" mac=\"$mac\" ip=\"$net.$host\""
    echo "               prefix=\"$prefix\" gw=\"$net.1\" dns=\"$net.1\" httpPort=\"$port\" rtspPort=\"554\" dhcp=\"0\">"
    echo "    <Behaviour clockOffset=\"$offset\" digestOnly=\"$digest_only\"/>"
    echo "  </OnvifDevice>"
  done
  echo '</Fleet>'
} >"$work/fleet.xml"

ip netns exec "$dev_ns" "$devsim" --fleet "$work/fleet.xml" --bind-discovery 0.0.0.0 --port "$control_port" \
  >"$work/devsim.out" 2>"$work/devsim.err" &
fleet_pid=$!
for _ in $(seq 100); do
  [ -s "$work/devsim.out" ] && break
  kill -0 "$fleet_pid" 2>/dev/null || break
  sleep 0.1
done
if ! [ -s "$work/devsim.out" ]; then
  echo "the simulator did not start:" >&2
  cat "$work/devsim.err" >&2
  exit 1
fi

failures=0

if want npm; then
  {
    echo '{"devices": ['
    sep=''
    for d in "${onvif_devices[@]}"; do
      read -r sn maker model firmware hw mac host port prefix _ <<<"$d"
      printf '%s{"serialNumber": "%s", "manufacturer": "%s", "model": "%s", "firmwareVersion": "%s",' \
        "$sep" "$sn" "$maker" "$model" "$firmware"
      printf ' "hardwareId": "%s", "hwAddress": "%s", "address": "%s", "prefixLength": %s, "dhcp": false,' \
        "$hw" "$mac" "$net.$host" "$prefix"
      printf ' "xaddr": "http://%s:%s/onvif/device_service"}\n' "$net.$host" "$port"
      sep=','
    done
    echo ']}'
  } >"$work/expected.json"
  echo "== npm onvif client: multicast probe and reads"
  if (cd "$here" && ip netns exec "$sdk_ns" timeout 100 node check.js --probe --probe-ms 3000 \
        --user admin --password tarnwick --expect "$work/expected.json") >"$work/check.json" 2>"$work/check.err"; then
    echo "ok: every ONVIF device found once and read by UsernameToken and by Digest"
  else
    echo "FAILED (check.js exit $?):"
    cat "$work/check.json" "$work/check.err"
    failures=$((failures + 1))
  fi
fi

if want cli; then
  # Automatic targets: broadcast and multicast on every interface, which in
  # this namespace is the veth alone.
  cat >"$work/netsdk.conf" <<EOF
targets = auto
discovery_port = $control_port
onvif = on
window_ms = 2500
user = admin
password = tarnwick
connect_timeout_ms = 1000
io_timeout_ms = 2000
EOF
  echo "== tarnwick-cli discover with automatic targets"
  status=0
  (cd "$work" && ip netns exec "$sdk_ns" env TARNWICK_NETSDK_SETTINGS="$work/netsdk.conf" \
     timeout 60 "$cli" discover --format json --no-camera-models) >"$work/cli.json" 2>"$work/cli.err" || status=$?
  expected_rows=()
  for d in "${own_devices[@]}"; do
    read -r sn model mac host <<<"$d"
    expected_rows+=("$sn $net.$host 255.255.255.0 $net.1 $mac")
  done
  for d in "${onvif_devices[@]}"; do
    read -r sn maker model firmware hw mac host port prefix _ <<<"$d"
    expected_rows+=("$sn $net.$host 255.255.255.0 $net.1 $mac")
  done
  # Every expected row exactly once, and no other row.
  if [ "$status" -eq 0 ] && node - "$work/cli.json" "${expected_rows[@]}" >"$work/cli.check" <<'EOF'
const [file, ...wanted] = process.argv.slice(2);
const rows = JSON.parse(require('fs').readFileSync(file, 'utf8'));
const got = rows.map((r) => [r.SN, r.LocalIP, r.NetMask, r.Gateway, String(r.MAC).toLowerCase()].join(' '));
const problems = [];
for (const w of wanted) {
  const n = got.filter((g) => g === w).length;
  if (n !== 1) problems.push(`${w}: listed ${n} times`);
}
for (const g of got) if (!wanted.includes(g)) problems.push(`unexpected row ${g}`);
for (const p of problems) console.log(p);
process.exit(problems.length === 0 ? 0 : 1);
EOF
  then
    echo "ok: both kinds of device listed once each"
  else
    echo "FAILED (tarnwick-cli exit $status):"
    cat "$work/cli.json" "$work/cli.err" "$work/cli.check" 2>/dev/null || true
    failures=$((failures + 1))
  fi
fi

[ "$failures" -eq 0 ]
