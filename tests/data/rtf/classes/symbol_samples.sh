#!/bin/sh
# Rebuilds the symbol font samples of this folder:
#   symbol_NAME.rtf       written by LibreOffice from sources/symbol_NAME.fodt (glyph codes in a
#                         font of the symbol character set) or sources/symbol_latin1.html (the
#                         font's bytes as Latin-1 characters); symbol_bytes, symbol_field and
#                         symbol_other are written by hand and kept
#   symbol_NAME.txt       what `tomekeep-cli convert symbol_NAME.rtf symbol_NAME.txt` gives; check
#                         every change by eye before committing it
#   symbol_NAME.lo.txt    the text LibreOffice reads of symbol_NAME.rtf (glyph codes as U+F0xx)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../../.." && pwd)
cli=$(cd "${BUILD:-$root/build}" && pwd)/bin/tomekeep-cli
[ -x "$cli" ] || { echo "build tomekeep-cli first"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work"  # a fresh LibreOffice profile
cd "$here"
for source in sources/symbol_*.fodt; do
    soffice --headless --convert-to rtf --outdir "$work" "$source" >/dev/null 2>&1
done
soffice --headless --infilter="HTML (StarWriter)" --convert-to rtf --outdir "$work" sources/symbol_latin1.html \
    >/dev/null 2>&1
mv "$work"/symbol_*.rtf .
for rtf in symbol_*.rtf; do
    name=${rtf%.rtf}
    "$cli" convert "$rtf" "$name.txt"
    soffice --headless --convert-to "txt:Text (encoded):UTF8" --outdir "$work" "$rtf" >/dev/null 2>&1
    mv "$work/$name.txt" "$name.lo.txt"
done
