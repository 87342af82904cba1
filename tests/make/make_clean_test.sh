#!/bin/sh
# "make clean" removes the build folders but keeps a library (LIST) that lives beside a built
# program, and says that it did.
set -eu
makefile=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

mkdir -p "$work/build/bin/LIST/diary" "$work/build/bin/TEMP" "$work/build/tests" "$work/build-fuzz/bin"
echo entry >"$work/build/bin/LIST/diary/20240101000000.zip"
touch "$work/build/bin/tomekeep" "$work/build/CMakeCache.txt" "$work/build-fuzz/bin/fuzz_rtf_reader"
out=$(make -s -C "$work" -f "$makefile" clean)
[ "$(cat "$work/build/bin/LIST/diary/20240101000000.zip")" = entry ] || fail "the library was removed"
[ "$(ls -A "$work/build")" = bin ] || fail "build/ still holds: $(ls -A "$work/build")"
[ "$(ls -A "$work/build/bin")" = LIST ] || fail "build/bin/ still holds: $(ls -A "$work/build/bin")"
[ ! -e "$work/build-fuzz" ] || fail "build-fuzz/ was not removed"
echo "$out" | grep -q "build/bin/LIST" || fail "kept build/bin/LIST without saying so: $out"

# Without a library both folders go entirely.
rm -rf "$work/build/bin/LIST"
mkdir -p "$work/build-fuzz/bin/LIST" "$work/build-fuzz/obj"
out=$(make -s -C "$work" -f "$makefile" clean)
[ ! -e "$work/build" ] || fail "build/ was not removed"
[ "$(ls -A "$work/build-fuzz/bin")" = LIST ] || fail "build-fuzz/bin/LIST was not kept alone"
[ ! -e "$work/build-fuzz/obj" ] || fail "build-fuzz/obj was not removed"
echo "$out" | grep -q "build-fuzz/bin/LIST" || fail "kept build-fuzz/bin/LIST without saying so: $out"
echo "make clean: ok"
