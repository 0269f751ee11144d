#!/usr/bin/env bash
# kill -9 during repeated saves of Discovery.Xml: tarnwick-save-loop saves
# two documents of 1000 nodes (every node with a user and password, each
# document a generation of its own) in turn through the record library's
# atomic replacement; it is killed at a random moment, and then the file
# must be, byte for byte, the whole document of the save under way (new) or
# of the one before (old), of mode 0600. One more save follows each kill, after
# which no temporary file may be left beside it. Kills alternate between
# unnamed temporaries (O_TMPFILE, the normal case) and named ones (the
# fallback of file systems without unnamed files).
#
#   kill_during_saves.sh [--kills N] [--nodes N] [--max-delay-ms MS] [--seed S]
#                        [--dir DIR] [--save-loop PATH]
#
# --kills N          kills (default 100)
# --nodes N          nodes per document (default 1000)
# --max-delay-ms MS  a kill comes 0 to MS ms after the loop's first save began (default 400)
# --seed S           seed of the random delays (default: from the clock; printed)
# --dir DIR          an existing folder to save in, e.g. on another file system
#                    (default: a fresh folder under /tmp, removed at the end)
# --save-loop PATH   default ${BUILD_DIR:-build}/tests/reliability/tarnwick-save-loop
#
# Prints a table of figures. Exit status 1 when any file was torn or not
# private, a temporary outlived the next save, or a save failed; 2 on a bad
# command line.
set -euo pipefail

top=$(cd "$(dirname "$0")/../.." && pwd)
loop=${BUILD_DIR:-$top/build}/tests/reliability/tarnwick-save-loop
kills=100 nodes=1000 max_delay_ms=400 seed=$(( $(date +%s%N) % 32768 )) dir=''
usage() {
  echo "usage: $0 [--kills N] [--nodes N] [--max-delay-ms MS] [--seed S] [--dir DIR] [--save-loop PATH]" >&2
  exit 2
}
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || usage
  case $1 in
    --kills) kills=$2 ;;
    --nodes) nodes=$2 ;;
    --max-delay-ms) max_delay_ms=$2 ;;
    --seed) seed=$2 ;;
    --dir) dir=$2 ;;
    --save-loop) loop=$2 ;;
    *) usage ;;
  esac
  shift 2
done
for n in "$kills" "$nodes" "$max_delay_ms" "$seed"; do [[ $n =~ ^[0-9]+$ ]] || usage; done
[ "$max_delay_ms" -ge 1 ] && [ "$max_delay_ms" -le 10000 ] || usage
[ -x "$loop" ] || { echo "no tarnwick-save-loop at '$loop' (build first: scripts/build.sh)" >&2; exit 2; }

work=$(mktemp -d /tmp/tarnwick-kill-saves-XXXXXX)
if [ -z "$dir" ]; then
  dir=$work/save
  mkdir "$dir"
else
  [ -d "$dir" ] && [ -z "$(ls -A "$dir")" ] || { echo "--dir must name an empty folder" >&2; exit 2; }
fi
dir=$(cd "$dir" && pwd)
loop_pid=''
cleanup() {
  if [ -n "$loop_pid" ]; then kill -KILL "$loop_pid" 2>/dev/null || true; wait "$loop_pid" 2>/dev/null || true; fi
  rm -f "$dir"/Discovery.Xml "$dir"/Discovery.Xml.tmp-*
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
RANDOM=$seed

failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
# The entries of the folder other than the file itself.
others() { find "$dir" -mindepth 1 -maxdepth 1 ! -name Discovery.Xml | wc -l; }
# save FROM: one save of generation FROM, at most 60 s.
save_once() {
  (cd "$dir" && timeout 60 "$loop" save --nodes "$nodes" --from "$1" --count 1) >>"$work/times" 2>>"$work/errors"
}

save_once 0 || { cat "$work/errors" >&2; echo "the first save failed" >&2; exit 1; }
bytes=$(stat -c %s "$dir/Discovery.Xml")
next=1
during=0 between=0 old=0 new=0 torn=0 not_private=0 left_by_kill=0 leftover=0 done_kills=0

for i in $(seq "$kills"); do
  mode=unnamed
  [ $((i % 2)) -eq 1 ] || mode=named
  log=$work/loop.log
  : >"$log"
  # The loop is bounded in count; it is always killed long before.
  (cd "$dir" && exec "$loop" save --nodes "$nodes" --from "$next" --count 100000 --temporary "$mode") \
    >"$log" 2>>"$work/errors" &
  loop_pid=$!
  for _ in $(seq 500); do
    [ -s "$log" ] && break
    kill -0 "$loop_pid" 2>/dev/null || break
    sleep 0.01
  done
  delay_ms=$(( (RANDOM * 32768 + RANDOM) % (max_delay_ms + 1) ))
  sleep "$(awk -v ms="$delay_ms" 'BEGIN { printf "%.3f", ms / 1000 }')"
  if ! kill -KILL "$loop_pid" 2>/dev/null; then
    wait "$loop_pid" 2>/dev/null || true
    loop_pid=''
    fail "kill $i: the save loop had ended before its kill: $(tail -c 300 "$work/errors")"
    break
  fi
  wait "$loop_pid" 2>/dev/null || true
  loop_pid=''
  done_kills=$((done_kills + 1))

  # The save under way at the kill: the last one begun.
  grep '^end ' "$log" >>"$work/times" || true
  last=$(tail -n 1 "$log")
  begun=$(grep '^begin ' "$log" | tail -n 1 | cut -d' ' -f2)
  if [ -n "$begun" ]; then
    # The loop saves generations next and next + 1 in turn.
    new_generation=$begun old_generation=$(( begun == next ? next + 1 : next ))
    [ "$(grep -c '^begin ' "$log")" -gt 1 ] || old_generation=$((next - 1))
  else  # killed before its first save began
    begun=$((next - 1)) old_generation=$((next - 1)) new_generation=-1
  fi
  case $last in begin*) during=$((during + 1)) ;; *) between=$((between + 1)) ;; esac

  if generation=$("$loop" check --nodes "$nodes" "$dir/Discovery.Xml"); then
    if [ "$generation" -eq "$new_generation" ]; then new=$((new + 1))
    elif [ "$generation" -eq "$old_generation" ]; then old=$((old + 1))
    else torn=$((torn + 1)); fail "kill $i: generation $generation, neither $old_generation nor $new_generation"
    fi
  else
    torn=$((torn + 1))
    fail "kill $i ($mode, after ${delay_ms} ms): $generation"
  fi
  mode_bits=$(stat -c %a "$dir/Discovery.Xml" 2>/dev/null || echo none)
  [ "$mode_bits" = 600 ] || { not_private=$((not_private + 1)); fail "kill $i: Discovery.Xml has mode $mode_bits"; }
  left_by_kill=$((left_by_kill + $(others)))

  # The next save (a third generation) must leave nothing beside the file.
  next=$((next + 2))
  if ! save_once "$next"; then
    fail "kill $i: the save after it failed: $(tail -c 300 "$work/errors")"
  fi
  remaining=$(others)
  if [ "$remaining" -ne 0 ]; then
    leftover=$((leftover + remaining))
    fail "kill $i: left after the next save: $(cd "$dir" && ls -A | grep -vx Discovery.Xml | tr '\n' ' ')"
  fi
  next=$((next + 1))
done

# Every completed save's time, in ms: median and worst.
read -r saves median worst < <(awk '/^end / { print $3 }' "$work/times" | sort -n |
  awk '{ t[NR] = $1 } END { if (NR == 0) print 0, 0, 0; else printf "%d %.1f %.1f\n", NR, t[int((NR + 1) / 2)] / 1000, t[NR] / 1000 }')

echo "kill -9 during repeated saves of Discovery.Xml ($nodes nodes, $bytes bytes; seed $seed; in $dir)"
printf '\n%-40s %10s\n' "figure" "value"
printf '%-40s %10s\n' "kills" "$done_kills/$kills"
printf '%-40s %10s\n' "  during a save / between saves" "$during/$between"
printf '%-40s %10s\n' "whole old document" "$old"
printf '%-40s %10s\n' "whole new document" "$new"
printf '%-40s %10s\n' "torn or foreign" "$torn"
printf '%-40s %10s\n' "file not of mode 0600" "$not_private"
printf '%-40s %10s\n' "temporaries left by the kills" "$left_by_kill"
printf '%-40s %10s\n' "temporaries left after the next save" "$leftover"
printf '%-40s %10s\n' "saves completed" "$saves"
printf '%-40s %10s\n' "time per save, median (ms)" "$median"
printf '%-40s %10s\n' "time per save, worst (ms)" "$worst"
echo
[ "$done_kills" -eq "$kills" ] || fail "$done_kills of $kills kills"
if [ "$failures" -eq 0 ]; then echo "result: ok"; else echo "result: $failures failure(s)"; fi
[ "$failures" -eq 0 ]
