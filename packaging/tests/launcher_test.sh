#!/bin/sh
# Runs tarnwick-launch from a fake installed tree against a stub program and
# checks, case by case, where it works, what it copies, what it leaves alone
# and what it passes on.
#
#   launcher_test.sh LAUNCHER SAMPLE_CONFIG_XML ICON
set -u
launcher=$1 sample=$2 icon=$3

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL [$case]: $*"; failures=$((failures + 1)); }

# The installed layout: bin/ beside share/tarnwick/. The stub records its
# directory and arguments, one per line, and exits with $STUB_EXIT.
prefix=$tmp/prefix
mkdir -p "$prefix/bin" "$prefix/share/tarnwick" "$tmp/links"
cp "$launcher" "$prefix/bin/tarnwick-launch"
cp "$sample" "$prefix/share/tarnwick/Config.xml"
cp "$icon" "$prefix/share/tarnwick/Tarnwick.ico"
cat >"$prefix/bin/tarnwick" <<'STUB'
#!/bin/sh
{ pwd; for a in "$@"; do echo "$a"; done; } >"$STUB_LOG"
exit "${STUB_EXIT:-0}"
STUB
chmod +x "$prefix/bin/tarnwick" "$prefix/bin/tarnwick-launch"
ln -s "$prefix/bin/tarnwick-launch" "$tmp/links/tarnwick-launch"

# launch DIR [VAR=VALUE...] -- ARGS: runs the launcher through a symlink
# from DIR with a clean environment; sets $status.
launch() {
  dir=$1; shift
  vars=""
  while [ "$1" != "--" ]; do vars="$vars $1"; shift; done
  shift
  rm -f "$tmp/stub.log"
  # shellcheck disable=SC2086
  (cd "$dir" && env -i PATH=/usr/bin:/bin STUB_LOG="$tmp/stub.log" $vars "$tmp/links/tarnwick-launch" "$@")
  status=$?
}

# expect_run WORKDIR ARGS...: the stub ran in WORKDIR with exactly ARGS.
expect_run() {
  want=$tmp/want.log
  { echo "$1"; shift; for a in "$@"; do echo "$a"; done; } >"$want"
  if [ ! -f "$tmp/stub.log" ]; then fail "program did not run"; return; fi
  cmp -s "$want" "$tmp/stub.log" || fail "program ran as: $(tr '\n' '|' <"$tmp/stub.log")"
}

expect_filled() {
  [ "$(stat -c %a "$1")" = 700 ] || fail "$1 has mode $(stat -c %a "$1")"
  cmp -s "$sample" "$1/Config.xml" || fail "$1/Config.xml is not the sample"
  cmp -s "$icon" "$1/res/Tarnwick.ico" || fail "$1/res/Tarnwick.ico is not the icon"
}

case_first_start() {
  launch "$tmp" XDG_DATA_HOME="$tmp/c1/data" HOME=/nonexistent -- "two words" --flag ""
  [ "$status" = 0 ] || fail "exit status $status"
  expect_filled "$tmp/c1/data/tarnwick"
  expect_run "$tmp/c1/data/tarnwick" "two words" --flag ""
}

case_existing_directory_kept() {
  work=$tmp/c2/tarnwick
  mkdir -p "$work"
  echo mine >"$work/Config.xml"
  launch "$tmp" XDG_DATA_HOME="$tmp/c2" -- x
  [ "$(cat "$work/Config.xml")" = mine ] || fail "the user's Config.xml was replaced"
  [ ! -e "$work/res" ] || fail "files were copied into an existing directory"
  expect_run "$work" x
}

case_home_when_unset() {
  launch "$tmp" HOME="$tmp/c3" --
  expect_filled "$tmp/c3/.local/share/tarnwick"
  expect_run "$tmp/c3/.local/share/tarnwick"
}

case_relative_xdg_ignored() {
  mkdir -p "$tmp/c4/cwd"
  launch "$tmp/c4/cwd" XDG_DATA_HOME=rel HOME="$tmp/c4/home" --
  [ ! -e "$tmp/c4/cwd/rel" ] || fail "a relative XDG_DATA_HOME was used"
  expect_filled "$tmp/c4/home/.local/share/tarnwick"
}

case_exit_status_passed_on() {
  launch "$tmp" XDG_DATA_HOME="$tmp/c5" STUB_EXIT=7 --
  [ "$status" = 7 ] || fail "exit status $status, not the program's 7"
}

case_unusable_data_dir() {
  : >"$tmp/c6-file"
  launch "$tmp" XDG_DATA_HOME="$tmp/c6-file/data" --
  [ "$status" != 0 ] || fail "exit status 0"
  [ ! -f "$tmp/stub.log" ] || fail "the program ran"
}

case_failed_copy_retried() {
  mv "$prefix/share/tarnwick/Tarnwick.ico" "$tmp/ico.away"
  launch "$tmp" XDG_DATA_HOME="$tmp/c7" -- 2>/dev/null
  mv "$tmp/ico.away" "$prefix/share/tarnwick/Tarnwick.ico"
  [ "$status" = 1 ] || fail "exit status $status with a sample file missing"
  [ ! -f "$tmp/stub.log" ] || fail "the program ran without its files"
  [ ! -e "$tmp/c7/tarnwick" ] || fail "a half-filled directory was left behind"
  launch "$tmp" XDG_DATA_HOME="$tmp/c7" --
  expect_filled "$tmp/c7/tarnwick"
}

case_program_override() {
  cp "$prefix/bin/tarnwick" "$tmp/other"
  sed -i 's/^exit.*/exit 3/' "$tmp/other"
  launch "$tmp" XDG_DATA_HOME="$tmp/c8" TARNWICK_PROGRAM="$tmp/other" -- v
  [ "$status" = 3 ] || fail "TARNWICK_PROGRAM was not the program started (status $status)"
  expect_run "$tmp/c8/tarnwick" v
}

for case in first_start existing_directory_kept home_when_unset relative_xdg_ignored \
            exit_status_passed_on unusable_data_dir failed_copy_retried program_override; do
  "case_$case"
done
[ "$failures" = 0 ] && echo "all launcher cases passed"
[ "$failures" = 0 ]
