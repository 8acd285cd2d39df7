#!/usr/bin/env bash
# Brings every app/translations/kestrin_*.ts up to date with the texts of the
# window, then has lrelease report what is still untranslated.
#   scripts/update_translations.sh              update the existing languages
#   scripts/update_translations.sh fr_CA ...    and start these new ones
# New and changed texts arrive as unfinished entries for the translators;
# texts that left the code are dropped. With KESTRIN_TRANSLATIONS_OUT set, the
# updated files go to that folder and the tree stays as it is (the tests'
# check that every text of the code is translated).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
qt_bin=${QT_BIN:-/usr/lib/qt6/bin}
translations="$root/app/translations"
out=${KESTRIN_TRANSLATIONS_OUT:-$translations}

for language in "$@"; do
  [ -e "$translations/kestrin_$language.ts" ] || printf '<?xml version="1.0" encoding="utf-8"?>\n<!DOCTYPE TS>\n<TS version="2.1" language="%s" sourcelanguage="en">\n</TS>\n' \
    "$language" >"$translations/kestrin_$language.ts"
done

# lupdate gives a one-argument tr()-like call the context of the class it is
# written in, while uiText() has one context for the whole window. So lupdate
# reads a copy of the sources in which each uiText( is written as the call it
# stands for, line for line; the copy mirrors the tree, so the locations in the
# .ts files name the real files.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/app/translations" "$work/engine" "$work/imagelib/formats"
for source in "$root"/app/*.cpp "$root"/app/*.h; do
  [ "$(basename "$source")" = ui_text.h ] && continue
  sed 's/\buiText(/QCoreApplication::translate("Kestrin", /g' "$source" >"$work/app/$(basename "$source")"
done
# The libraries below the window mark their shown texts without Qt.
cp "$root/engine/string_table.cpp" "$work/engine/"
cp "$root/imagelib/formats/picture_file_types.cpp" "$work/imagelib/formats/"
cp "$translations"/kestrin_*.ts "$work/app/translations/"
# The engine's messages, which the window shows translated, as the sources
# give them now; the tree's copy is brought up to date unless only checking.
python3 "$root/scripts/extract_engine_messages.py" "$work/app/engine_message_table.h"
[ -n "${KESTRIN_TRANSLATIONS_OUT:-}" ] || cp "$work/app/engine_message_table.h" "$root/app/engine_message_table.h"

(cd "$work" && "$qt_bin/lupdate" -silent -I . -no-obsolete -locations relative \
  -tr-function-alias QT_TRANSLATE_NOOP+=KESTRIN_TRANSLATE_NOOP \
  app engine/string_table.cpp imagelib/formats/picture_file_types.cpp -ts app/translations/kestrin_*.ts)
cp "$work"/app/translations/kestrin_*.ts "$out/"

for ts in "$out"/kestrin_*.ts; do
  "$qt_bin/lrelease" "$ts" -qm "$work/$(basename "$ts" .ts).qm" | grep -E 'Generated|Ignored' || true
done
