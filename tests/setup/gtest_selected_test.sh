#!/usr/bin/env bash
# Tests scripts/gtest-selected on a stand-in test program that lists the tests it is asked
# for as GoogleTest lists them and logs a run: a filter whose selected tests are all
# disabled selects nothing that runs, and the stage fails without running the program.
# Usage: gtest_selected_test.sh GTEST_SELECTED
set -uo pipefail
selected="$1"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# Lists, whatever the filter: a disabled test of an enabled suite, a disabled suite, a
# disabled parameterised test and, when LISTED=all, one that runs.
cat >"$tree/prog" <<'STUB'
#!/bin/sh
case "$1" in
  --gtest_list_tests)
    echo "Two."
    echo "  DISABLED_RendersAtOnce"
    echo "DISABLED_TwoAtOnce."
    echo "  Renders"
    echo "Param/TwoAtOnce."
    echo "  DISABLED_Renders/0  # GetParam() = 1"
    [ "${LISTED:-}" = all ] && { echo "Live/TwoAtOnce."; echo "  Renders/0  # GetParam() = 2"; }
    exit 0 ;;
esac
echo "ran $*" >>"$RUNLOG"
STUB
chmod +x "$tree/prog"
export RUNLOG="$tree/runs"

"$selected" "$tree/prog" '*Two*AtOnce*' >"$tree/out" 2>&1 && fail "only disabled tests selected, yet it passed"
grep -q "no test that runs" "$tree/out" || fail "no word of what it missed: $(cat "$tree/out")"
[ -e "$RUNLOG" ] && fail "the program ran with nothing to run"

LISTED=all "$selected" "$tree/prog" '*Two*AtOnce*' >"$tree/out" 2>&1 || fail "one test runs, yet it failed"
grep -q "1 tests of prog" "$tree/out" || fail "counted the disabled ones: $(cat "$tree/out")"

"$selected" "$tree/prog" '*Two*AtOnce*' --gtest_also_run_disabled_tests >"$tree/out" 2>&1 ||
  fail "disabled tests asked to run, yet it failed"
grep -q "3 tests of prog" "$tree/out" || fail "not every disabled test counted: $(cat "$tree/out")"
echo "gtest-selected: all cases pass"
