#!/usr/bin/env bash
# The runner started in a scratch folder with a game file that is not there: "@" names of the
# folder become folders (never escaping it), the console shows the banner and the missing
# game, and the process ends with exit code 1.
set -u
runner=$1
base=${HV_TEST_TMP:-${TMPDIR:-/tmp}}
mkdir -p "$base"
outer=$(mktemp -d "$base/e2e-entry.XXXXXX")
trap 'rm -rf "$outer"' EXIT
dir="$outer/work"
mkdir "$dir"
dir=$(cd "$dir" && pwd -P)
cd "$dir"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

printf 'map' > 'levels@easy@map.txt'
printf 'up' > '..@x.txt'
printf '\n***************************************\n*     Pell Works Runner v1.0(999)[r32908]    *\n***************************************\t \n' > "$outer/banner"
missing="Unable to find game!!: $dir/missing.win"

# No display: no dialog may wait for a player.
env -u DISPLAY -u WAYLAND_DISPLAY "$runner" -headless -game missing.win -debugoutput "$outer/trace.log" \
    > "$outer/stdout" 2> "$outer/stderr"
rc=$?
[ "$rc" -eq 1 ] || fail "headless exit code $rc, expected 1"
[ "$(cat levels/easy/map.txt 2>/dev/null)" = map ] || fail "levels@easy@map.txt was not moved to levels/easy/map.txt"
[ ! -e 'levels@easy@map.txt' ] || fail "levels@easy@map.txt is still there"
[ "$(cat '..@x.txt' 2>/dev/null)" = up ] || fail "..@x.txt did not stay put"
[ ! -e "$outer/x.txt" ] || fail "..@x.txt escaped the working folder"
head -c "$(stat -c %s "$outer/banner")" "$outer/trace.log" | cmp -s - "$outer/banner" || fail "trace does not start with the banner"
grep -qxF "$missing" "$outer/trace.log" || fail "trace lacks: $missing"
[ ! -s "$outer/stdout" ] || fail "headless run wrote to standard output: $(cat "$outer/stdout")"

# Without -headless the same lines reach standard output.
env -u DISPLAY -u WAYLAND_DISPLAY "$runner" -game missing.win > "$outer/stdout2" 2> "$outer/stderr2"
rc=$?
[ "$rc" -eq 1 ] || fail "exit code $rc, expected 1"
head -c "$(stat -c %s "$outer/banner")" "$outer/stdout2" | cmp -s - "$outer/banner" || fail "stdout does not start with the banner"
grep -qxF "$missing" "$outer/stdout2" || fail "stdout lacks: $missing"

if [ "$failures" -ne 0 ]; then
    echo "--- trace.log"; cat "$outer/trace.log"
    echo "--- stderr"; cat "$outer/stderr" "$outer/stderr2"
    exit 1
fi
echo "ok"
