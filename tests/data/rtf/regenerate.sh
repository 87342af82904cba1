#!/bin/sh
# Remakes the RTF fixtures from the HTML samples with the programs people write RTF with, and checks
# that what LibreOffice reads of the program's own RTF is the text it reads of theirs.
#
# Needs (not installed by `make deps`): libreoffice-writer-nogui (soffice), abiword, pandoc,
# python3, and a build of the program in $BUILD (default: build) with bin/rtf_rewrite.
#
# Files made, for SAMPLE in ko en:
#   lo_SAMPLE.rtf, lo_SAMPLE.txt            LibreOffice's RTF and text of sample_SAMPLE.html
#   abiword_SAMPLE.rtf, abiword_SAMPLE.txt  AbiWord's
#                                           (AbiWord writes a memory address into its RTF, so these
#                                           differ by a few bytes on every run)
#   pandoc_SAMPLE.rtf, pandoc_SAMPLE.txt    pandoc's
# and for every RTF fixture NAME.rtf (old_richedit.rtf is written by hand and kept):
#   NAME.lo.txt                             the text LibreOffice reads of NAME.rtf
#   ours/NAME.rtf                           NAME.rtf read and written again by the program
#   ours/NAME.lo.txt                        the text LibreOffice reads of ours/NAME.rtf
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
build=${BUILD:-$root/build}
rewrite=$build/bin/rtf_rewrite
[ -x "$rewrite" ] || { echo "build rtf_rewrite first (cmake --build $build --target rtf_rewrite)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work"  # a fresh LibreOffice profile

soffice_to() {  # soffice_to FILTER OUTDIR INPUT [INFILTER]
    if [ $# -gt 3 ]; then
        soffice --headless --infilter="$4" --convert-to "$1" --outdir "$2" "$3" >/dev/null 2>&1
    else
        soffice --headless --convert-to "$1" --outdir "$2" "$3" >/dev/null 2>&1
    fi
}

cd "$here"
for sample in ko en; do
    html=sample_$sample.html
    soffice_to rtf "$work" "$html" "HTML (StarWriter)"
    soffice_to "txt:Text (encoded):UTF8" "$work" "$html" "HTML (StarWriter)"
    mv "$work/sample_$sample.rtf" "lo_$sample.rtf"
    mv "$work/sample_$sample.txt" "lo_$sample.txt"
    abiword --to=rtf -o "abiword_$sample.rtf" "$html" 2>/dev/null
    abiword --to=txt -o "abiword_$sample.txt" "$html" 2>/dev/null
    pandoc -s -f html -t rtf -o "pandoc_$sample.rtf" "$html"
    pandoc -s -f html -t plain-strikeout-subscript-superscript --wrap=none -o "pandoc_$sample.txt" "$html"
done

mkdir -p ours
status=0
for rtf in *.rtf; do
    name=${rtf%.rtf}
    soffice_to "txt:Text (encoded):UTF8" "$work" "$rtf"
    mv "$work/$name.txt" "$name.lo.txt"
    QT_QPA_PLATFORM=offscreen "$rewrite" "$rtf" "ours/$rtf"
    soffice_to "txt:Text (encoded):UTF8" "$work" "ours/$rtf"
    mv "$work/$name.txt" "ours/$name.lo.txt"
    if ! python3 - "$name.lo.txt" "ours/$name.lo.txt" <<'PY'
import re, sys
def lines(path):
    text = open(path, encoding="utf-8-sig").read()
    out = []
    for line in text.splitlines():
        line = re.sub(r"[\s\u00a0]+", " ", line).strip()
        if line:
            out.append(line)
    return out
a, b = lines(sys.argv[1]), lines(sys.argv[2])
if a != b:
    print("differs:", sys.argv[1], sys.argv[2])
    for x, y in zip(a, b):
        if x != y:
            print(" ", repr(x), "\n ", repr(y))
            break
    sys.exit(1)
PY
    then
        status=1
    fi
done
[ $status -eq 0 ] && echo "LibreOffice reads the same text from every rewritten file."
exit $status
