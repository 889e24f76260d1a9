#!/usr/bin/env bash
# The runner started alone in an empty folder, headless: it finds the game embedded in itself,
# processes every chunk of it, links every function the game names and enters the first room
# (exit code 0, nothing on standard output).
set -u
runner=$1
base=${HV_TEST_TMP:-${TMPDIR:-/tmp}}
mkdir -p "$base"
dir=$(mktemp -d "$base/e2e-embedded.XXXXXX")
trap 'rm -rf "$dir"' EXIT
cp "$runner" "$dir/halvane-runner"
cd "$dir"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

env -u DISPLAY -u WAYLAND_DISPLAY XDG_DATA_HOME="$dir/data" XDG_CONFIG_HOME="$dir/config" \
    timeout 30 ./halvane-runner -headless -debugoutput "$dir/log.txt" -output "$dir/err.txt" \
    > "$dir/stdout" 2> "$dir/stderr"
rc=$?
[ "$rc" -eq 0 ] || fail "exit code $rc, expected 0"
[ ! -s "$dir/stdout" ] || fail "headless run wrote to standard output"
grep -qxF "Reading File $dir/halvane-runner" "$dir/log.txt" || fail "the runner did not read the game from itself"
grep -qxF "IFF wad found" "$dir/log.txt" || fail "no game found in the runner"
for chunk in GEN8 SOND AGRP SPRT SCPT FONT OBJT ROOM TPAG TXTR AUDO STRG; do
    grep -q "^Process Chunk: $chunk " "$dir/log.txt" || fail "chunk $chunk not processed"
done
grep -q "unknown Chunk" "$dir/log.txt" && fail "a chunk is unknown: $(grep 'unknown Chunk' "$dir/log.txt")"
grep -q "No reader for chunk" "$dir/log.txt" && fail "a chunk has no reader"
grep -q "Unable to find" "$dir/log.txt" "$dir/err.txt" "$dir/stderr" && fail "a reference did not resolve"
grep -qxF "Run_Start" "$dir/log.txt" || fail "the game did not start"

if [ "$failures" -ne 0 ]; then
    echo "--- log.txt"; cat "$dir/log.txt"
    echo "--- err.txt"; cat "$dir/err.txt"
    echo "--- stderr"; cat "$dir/stderr"
    exit 1
fi
echo "ok"
