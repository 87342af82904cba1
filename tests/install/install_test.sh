#!/bin/sh
# Installs the built program into a scratch DESTDIR and checks it as a desktop would: the files in
# place, the desktop file and AppStream metadata valid, the installed companion and program finding
# their engines, and the Debian package holding the same files.
# Usage: install_test.sh BUILD_DIR
set -eu
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dest=$tmp/dest
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR=$dest cmake --install "$build" --prefix /usr >/dev/null || fail "cmake --install"

for f in usr/bin/tomekeep usr/bin/tomekeep-cli usr/lib/tomekeep/tomekeep usr/lib/tomekeep/tomekeep-cli \
         usr/lib/tomekeep/libzipeng.so usr/lib/tomekeep/libunzeng.so usr/lib/tomekeep/libtkbrowser.so usr/lib/tomekeep/libtkimageserver.so \
         usr/share/icons/hicolor/scalable/apps/tomekeep.svg usr/share/doc/tomekeep/README.md; do
    [ -e "$dest/$f" ] || fail "$f was not installed"
done
for size in 16 22 24 32 48 64 128 256; do
    [ -s "$dest/usr/share/icons/hicolor/${size}x${size}/apps/tomekeep.png" ] || fail "no ${size}x${size} icon"
done
desktop=$(ls "$dest"/usr/share/applications/*.desktop)
metainfo=$(ls "$dest"/usr/share/metainfo/*.metainfo.xml)
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$metainfo" >/dev/null || { appstreamcli validate --no-net "$metainfo"; fail "appstreamcli"; }

# The companion makes and reads an entry: both engines come from the installed folder, as nothing
# else on the search path holds them.
mkdir -p "$tmp/LIST/K"
printf 'installed 설치\n' >"$tmp/body.txt"
entry=$("$dest/usr/bin/tomekeep-cli" new "$tmp/LIST/K" --title 설치 "$tmp/body.txt") || fail "tomekeep-cli new"
[ "$("$dest/usr/bin/tomekeep-cli" show "$entry")" = "installed 설치" ] || fail "tomekeep-cli show"

# The program, started by its desktop file's command line, gets through its start (engines loaded,
# folders made) and keeps its settings when it is told to end.
exec_line=$(sed -n 's/^Exec=//p' "$desktop" | sed 's/ %[a-zA-Z]//g')
mkdir -p "$tmp/home" "$tmp/config"
PATH="$dest/usr/bin:$PATH" QT_QPA_PLATFORM=offscreen TOMEKEEP_HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" \
    $exec_line >"$tmp/program.log" 2>&1 &
pid=$!
i=0
while [ ! -d "$tmp/home/LIST" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
sleep 1
kill -0 $pid 2>/dev/null || { cat "$tmp/program.log"; fail "the installed program ended by itself"; }
kill -TERM $pid
status=0
wait $pid || status=$?
[ $status -eq 0 ] || { cat "$tmp/program.log"; fail "the installed program ended with $status"; }
[ -s "$tmp/config/TOMEKEEP/registry.reg" ] || { cat "$tmp/program.log"; fail "the installed program did not start"; }
if grep -q "start-up:" "$tmp/program.log"; then cat "$tmp/program.log"; fail "start-up failed"; fi

# The same start without the unzip engine says so: the check above would have seen it.
mv "$dest/usr/lib/tomekeep/libunzeng.so" "$tmp/libunzeng.so"
rm -rf "$tmp/home" "$tmp/config"
PATH="$dest/usr/bin:$PATH" QT_QPA_PLATFORM=offscreen TOMEKEEP_HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" \
    $exec_line >"$tmp/missing.log" 2>&1 &
pid=$!
i=0
while ! grep -q "start-up:" "$tmp/missing.log" && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
kill -KILL $pid 2>/dev/null || true
wait $pid 2>/dev/null || true
grep -q "start-up: engines not loaded: libunzeng.so" "$tmp/missing.log" || { cat "$tmp/missing.log"; fail "a missing engine went unnoticed"; }
mv "$tmp/libunzeng.so" "$dest/usr/lib/tomekeep/libunzeng.so"

# The package holds exactly what the installation put in place.
if command -v dpkg-shlibdeps >/dev/null; then
    (cd "$build" && cpack -G DEB -B "$tmp/package" >/dev/null) || fail "cpack"
    deb=$(ls "$tmp"/package/*.deb) || fail "no package was made"
    dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./||' | sort >"$tmp/deb.txt"
    (cd "$dest" && find . ! -type d | sed 's|^\./||' | sort) >"$tmp/installed.txt"
    diff "$tmp/installed.txt" "$tmp/deb.txt" || fail "the package does not hold the installed files"
fi
echo "install: ok"
