#!/bin/sh
# Writes the document the editor formats through its menu, bar and ruler (formatted.rtf) and what
# LibreOffice makes of it (formatted.html) into this folder, for a look by eye.
# Usage: tests/data/formatting/regenerate.sh [build folder]
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../../build}
QT_QPA_PLATFORM=offscreen TK_KEEP_FORMATTED="$here" \
    "$build/bin/app_editor_formatting_test" --gtest_filter='*LibreOfficeReadsTheFormatting*'
ls -l "$here/formatted.rtf" "$here/formatted.html"
