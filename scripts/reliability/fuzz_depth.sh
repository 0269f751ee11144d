#!/usr/bin/env bash
# Fuzzing at depth: every fuzz target until it has run 10 million inputs or
# for 30 minutes (whichever comes first), each with the dictionary of its
# wire format, starting from its committed corpus; then the corpus is
# minimised from scratch: the named seeds stay, and libFuzzer's merge adds
# to them, out of the old corpus and everything the run found, only the
# inputs that reach coverage not reached yet. Prints per target the
# executions, the coverage reached and the crashes; exits non-zero when any
# target crashed, leaked or timed out (its reproducer is kept in
# build-fuzz/depth/).
#
#   scripts/reliability/fuzz_depth.sh [--runs N] [--seconds S] [--jobs J]
#                                     [--no-merge | --minimise-only] [TARGET...]
#
# Defaults: 10000000 runs, 1800 s, one target per core. --minimise-only
# skips the fuzzing and only minimises the committed corpora. Builds
# build-fuzz/ with clang first (as .ci/run does).
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
runs=10000000
seconds=1800
jobs=$(nproc)
merge=1
fuzz=1
only=()
while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --jobs) jobs=$2; shift 2 ;;
    --no-merge) merge=0; shift ;;
    --minimise-only) fuzz=0; shift ;;
    -h|--help) sed -n '2,17p' "$0"; exit 0 ;;
    -*) echo "fuzz_depth.sh: unknown option $1" >&2; exit 2 ;;
    *) only+=("$1"); shift ;;
  esac
done

build=${BUILD_DIR:-$top/build-fuzz}
BUILD_DIR=$build CC=clang CXX=clang++ "$top/scripts/build.sh" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARNWICK_FUZZ=ON -DTARNWICK_TESTS=OFF -DTARNWICK_GUI=OFF -DTARNWICK_BENCH=OFF >/dev/null

work=$build/depth
[ "$fuzz" = 1 ] || work=$build/minimise
mkdir -p "$work"

# target  binary  committed corpus  dictionary
targets=()
for corpus in "$top"/tests/fuzz/protocol/corpus/*/; do
  name=$(basename "$corpus")
  case $name in
    onvif_*) dict=onvif ;;
    sdk_settings) dict=settings ;;
    fleet_xml) dict=fleet ;;
    *) dict=wire ;;
  esac
  targets+=("fuzz_$name $build/tests/fuzz/protocol/fuzz_$name ${corpus%/} $top/tests/fuzz/dict/$dict.dict")
done
for name in config_xml_fuzzer language_xml_fuzzer xml_shape_fuzzer; do
  targets+=("$name $build/tests/fuzz/config/$name $top/tests/fuzz/config/corpus/$name $top/tests/fuzz/config/xml.dict")
done

selected() {
  [ ${#only[@]} -eq 0 ] && return 0
  local t
  for t in "${only[@]}"; do [ "$t" = "$1" ] && return 0; done
  return 1
}

# Inputs libFuzzer wrote are named by the SHA-1 of their content; every
# other file in a corpus is a hand-written seed that the minimising keeps.
hashed='^[0-9a-f]{40}$'

# One target: fuzz into a scratch copy of its corpus, then minimise.
run_one() {
  local name=$1 binary=$2 corpus=$3 dict=$4
  local dir=$work/$name
  rm -rf "$dir" && mkdir -p "$dir/scratch" "$dir/minimal"
  ls "$corpus" | wc -l >"$dir/before"
  cp -r "$corpus"/. "$dir/scratch/" 2>/dev/null || true
  local status=0
  if [ "$fuzz" = 1 ]; then
    (cd "$dir" && "$binary" -runs="$runs" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -dict="$dict" -print_final_stats=1 -artifact_prefix="$dir/" "$dir/scratch" >"$dir/log" 2>&1) || status=$?
  else
    : >"$dir/log"
  fi
  echo "$status" >"$dir/status"
  [ "$merge" = 1 ] && [ "$status" -eq 0 ] || return 0
  local seed
  for seed in "$corpus"/*; do
    basename "$seed" | grep -qE "$hashed" || cp "$seed" "$dir/minimal/"
  done
  if (cd "$dir" && "$binary" -merge=1 -timeout=10 -rss_limit_mb=2048 "$dir/minimal" "$dir/scratch" \
        >"$dir/merge.log" 2>&1); then
    ls "$corpus" | grep -E "$hashed" | sed "s|^|$corpus/|" | xargs -r rm -f
    cp -r "$dir"/minimal/. "$corpus/"
  else
    echo "fuzz_depth.sh: minimising $corpus failed (see $dir/merge.log); the corpus is unchanged" >&2
  fi
}

pids=()
for entry in "${targets[@]}"; do
  read -r name binary corpus dict <<<"$entry"
  selected "$name" || continue
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do sleep 1; done
  run_one "$name" "$binary" "$corpus" "$dict" &
  pids+=($!)
done
wait

failed=0
printf '%-32s %12s %8s %8s %9s %11s  %s\n' target executions exec/s coverage features corpus result
for entry in "${targets[@]}"; do
  read -r name binary corpus dict <<<"$entry"
  selected "$name" || continue
  log=$work/$name/log
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  cov=$( (grep -o 'cov: [0-9]*' "$log" || true) | tail -n 1 | cut -d' ' -f2)
  ft=$( (grep -o 'ft: [0-9]*' "$log" || true) | tail -n 1 | cut -d' ' -f2)
  files="$(cat "$work/$name/before" 2>/dev/null)>$(ls "$corpus" | wc -l)"
  status=$(cat "$work/$name/status" 2>/dev/null || echo missing)
  result=ok
  if [ "$status" != 0 ]; then result="FAILED (status $status, see $work/$name/)"; failed=1; fi
  printf '%-32s %12s %8s %8s %9s %11s  %s\n' "$name" "${execs:-?}" "${speed:-?}" "${cov:-?}" "${ft:-?}" "$files" "$result"
done
echo "fuzz_depth.sh: $(date -u +%Y-%m-%dT%H:%MZ), $(uname -m), $(nproc) cores, runs $runs, seconds $seconds"
exit "$failed"
