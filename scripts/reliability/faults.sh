#!/usr/bin/env bash
# Faults during a run: each case, repeated (default 20 times), is one run of
# tarnwick-faults — a discovery through the main dialog off screen against
# the simulator on loopback with the fault injected, then a healthy run.
# Prints per case: runs, crashes, hangs, runs whose rows held, runs whose
# Discovery.Xml parsed (or stayed as it was, where it cannot be written), and
# the time until the window was usable again (median, worst). Exits non-zero
# on any crash, hang, short figure or case that could not be set up.
#
# usage: scripts/reliability/faults.sh [--repeat N] [--case NAME]... [--program PATH]
#                                      [--devices D] [--cameras C] [--window-ms N]
# read-only-dir uses a read-only bind mount as root (chmod 0555 otherwise);
# full-tmpfs mounts a 64 KiB tmpfs and is skipped, with a note, when not root.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
program=${BUILD_DIR:-$top/build}/bench/tarnwick-faults
repeat=20 window=3000
cases=()
pass=()
while [ $# -gt 0 ]; do
  case $1 in
    --repeat) repeat=$2; shift 2 ;;
    --case) cases+=("$2"); shift 2 ;;
    --program) program=$2; shift 2 ;;
    --window-ms) window=$2; pass+=("$1" "$2"); shift 2 ;;
    --devices|--cameras) pass+=("$1" "$2"); shift 2 ;;
    *) echo "faults.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
[ ${#cases[@]} -gt 0 ] || cases=(sim-killed gone-mid-login garbage-flood read-only-dir full-tmpfs second-click close-at-end)
if [ ! -x "$program" ]; then
  echo "faults.sh: $program is missing; build it: cmake --build build --target tarnwick-faults" >&2
  exit 2
fi

scratch=$(mktemp -d /tmp/tarnwick-faults-campaign-XXXXXX)
mounted=()
cleanup() {
  local m
  for m in "${mounted[@]}"; do umount -l "$m" 2>/dev/null || true; done
  chmod -R u+w "$scratch" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

is_root() { [ "$(id -u)" = 0 ]; }

# Prepares the working directory of one run of `case` in $workdir, or
# leaves it empty when the case runs in the program's own scratch folder.
prepare_workdir() {
  workdir=""
  case $1 in
    read-only-dir)
      workdir=$(mktemp -d "$scratch/ro-XXXXXX")
      cp "$top/devsim/fleets/Config.xml" "$workdir/"
      printf '<?xml version="1.0" ?>\n<TREE />\n' > "$workdir/Discovery.Xml"
      if is_root; then
        # Root writes through a plain chmod: only a read-only mount stops it.
        mount --bind "$workdir" "$workdir"
        mounted+=("$workdir")
        mount -o remount,bind,ro "$workdir"
      else
        chmod 0555 "$workdir"
      fi ;;
    full-tmpfs)
      workdir=$(mktemp -d "$scratch/tmpfs-XXXXXX")
      mount -t tmpfs -o size=64k,mode=0700 tarnwick-faults "$workdir"
      mounted+=("$workdir")
      cp "$top/devsim/fleets/Config.xml" "$workdir/" ;;
  esac
}

release_workdir() {
  local dir=$1 keep=() m
  [ -n "$dir" ] || return 0
  for m in "${mounted[@]}"; do
    if [ "$m" = "$dir" ]; then umount "$dir"; else keep+=("$m"); fi
  done
  mounted=("${keep[@]}")
  chmod u+w "$dir" 2>/dev/null || true
  rm -rf "$dir"
}

median_worst() {
  sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "- -"; else printf "%.0f %.0f\n", v[int((NR + 1) / 2)], v[NR] }'
}

# A run's bound: the program's own (10 windows per wait) and a margin.
limit=$(( 60 * window / 1000 + 60 ))
echo "faults: ${repeat} run(s) per case; $(uname -m), $(nproc) cores; $(date -u '+%Y-%m-%d %H:%M UTC')"
summary=$scratch/summary
: > "$summary"
failed=0
for case in "${cases[@]}"; do
  if [ "$case" = full-tmpfs ] && ! is_root; then
    printf '%s|skipped: mounting a tmpfs needs root\n' "$case" >> "$summary"
    continue
  fi
  crashes=0 hangs=0 rows_ok=0 file_ok=0 setup=0 times=$scratch/$case.times extra=""
  : > "$times"
  for ((i = 1; i <= repeat; i++)); do
    prepare_workdir "$case"
    out=$scratch/$case.$i.out
    status=0
    TMPDIR=$scratch QT_QPA_PLATFORM=offscreen timeout --kill-after=10 "$limit" \
      "$program" --fault "$case" ${workdir:+--workdir "$workdir"} "${pass[@]}" > "$out" 2> "$out.err" || status=$?
    release_workdir "$workdir"
    line=$(grep '^result ' "$out" | tail -n 1 || true)
    field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<< "$line"; }
    case $status in
      0|1) ;;
      2) setup=$((setup + 1)); echo "faults: $case run $i could not be set up: $(tail -n 1 "$out.err")" ;;
      3|124|137) hangs=$((hangs + 1)); echo "faults: $case run $i HANG ($(field stage))" ;;
      *) crashes=$((crashes + 1)); echo "faults: $case run $i CRASH (status $status)"; tail -n 5 "$out.err" ;;
    esac
    if [ "$status" -le 1 ]; then
      [ "$(field rows)" = "$(field expect_rows)" ] && [ "$(field valid)" = "$(field rows)" ] &&
        [ "$(field models)" = "$(field expect_models)" ] && [ "$(field after_valid)" = "$(field after_rows)" ] &&
        rows_ok=$((rows_ok + 1))
      [ "$(field file_ok)" = 1 ] && [ "$(field after_file_ok)" = 1 ] && [ "$(field temporaries)" = 0 ] &&
        file_ok=$((file_ok + 1))
      field usable_ms >> "$times"
      [ "$status" = 1 ] && echo "faults: $case run $i fell short: $line"
      case $case in
        garbage-flood) extra="sent $(field flood_sent) in $(field flood_s) s, SDK refused $(field sdk_dropped)" ;;
        second-click) extra="$(field pending_workers) workers logging in at the click" ;;
        close-at-end) extra="$(field pending_workers) workers logging in at the close" ;;
        sim-killed) extra="$(field rows) rows before the kill" ;;
      esac
    fi
    [ "$status" = 0 ] || failed=1
  done
  read -r median worst < <(median_worst < "$times")
  [ -z "$extra" ] || extra="last run: $extra"
  [ "$setup" = 0 ] || extra="$extra; $setup not set up"
  printf '%s|%d|%d|%d|%d|%d|%s|%s|%s\n' "$case" "$repeat" "$crashes" "$hangs" "$rows_ok" "$file_ok" \
    "$median" "$worst" "$extra" >> "$summary"
done

echo
printf '%-15s %5s %8s %6s %8s %8s %10s %10s  %s\n' case runs crashes hangs rows_ok file_ok usable_med usable_max notes
while IFS='|' read -r case runs crashes hangs rows file median worst notes; do
  if [ -z "$crashes" ]; then
    printf '%-15s %s\n' "$case" "$runs"
    continue
  fi
  printf '%-15s %5s %8s %6s %8s %8s %8sms %8sms  %s\n' "$case" "$runs" "$crashes" "$hangs" "$rows" "$file" \
    "$median" "$worst" "$notes"
done < "$summary"
echo "(rows_ok: the list held the fleet's rows, minus what the fault removes; file_ok: Discovery.Xml parsed"
echo " with every saved node, or stayed as it was where it cannot be written, and no temporary was left)"
if [ "$failed" != 0 ]; then
  echo "faults: FAILED"
  exit 1
fi
echo "faults: every run held"
