#!/usr/bin/env bash
# Checks an installed Kestrin under PREFIX (a `cmake --install` prefix, or usr/
# of an unpacked package): every file in its place, the desktop entry and the
# metainfo valid, the file type telling Vexmoor databases from other .pdb
# files, the completion answering, and the programs working from there.
#
#   check_installed.sh PREFIX VERSION SCRATCH
set -euo pipefail
prefix=$1 version=$2 scratch=$3
app_id=org.quessel.Kestrin
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

for tool in desktop-file-validate appstreamcli update-mime-database gio; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

files=(bin/kestrin bin/kestrin-convert bin/kestrin-thumbnailer share/thumbnailers/kestrin.thumbnailer
    "share/applications/$app_id.desktop"
    "share/metainfo/$app_id.metainfo.xml" "share/mime/packages/$app_id.xml"
    share/man/man1/kestrin.1.gz share/man/man1/kestrin-convert.1.gz
    share/bash-completion/completions/kestrin-convert
    share/doc/kestrin/copyright share/doc/kestrin/changelog.gz)
for file in "${files[@]}"; do
    [ -f "$prefix/$file" ] || fail "$file is not installed"
done
for size in 16 22 24 32 48 64 128 256; do
    icon=$prefix/share/icons/hicolor/${size}x${size}/apps/$app_id.png
    # A PNG's width is the big-endian word at offset 16.
    width=$(od -An -tu1 -j16 -N4 "$icon" | awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4 }') ||
        fail "no $size pixel icon"
    [ "$width" = "$size" ] || fail "the $size pixel icon is $width pixels wide"
done

desktop-file-validate "$prefix/share/applications/$app_id.desktop" || fail "desktop entry"
# Opening several pictures with the program hands it all of them, as one list.
grep -qx 'Exec=kestrin %F' "$prefix/share/applications/$app_id.desktop" || fail "the desktop entry takes one file"
appstreamcli validate --no-net "$prefix/share/metainfo/$app_id.metainfo.xml" || fail "metainfo"
if command -v man >/dev/null; then
    for page in kestrin kestrin-convert; do
        warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
        [ -z "$warnings" ] || fail "$page(1): $warnings"
    done
fi

mkdir -p "$scratch/pictures" "$scratch/config" "$scratch/run" "$scratch/data"
chmod 700 "$scratch/run"
cd "$scratch/pictures"

# A 4x4 grey ramp as a binary PGM.
printf 'P5\n4 4\n255\n' >ramp.pgm
printf '\000\020\040\060\100\120\140\160\200\220\240\260\300\320\340\377' >>ramp.pgm
first_line=$("$prefix/bin/kestrin-convert" --version | head -n 1)
[ "$first_line" = "kestrin-convert $version" ] || fail "--version says '$first_line'"
first_line=$(QT_QPA_PLATFORM=offscreen "$prefix/bin/kestrin" --version | head -n 1)
[ "$first_line" = "kestrin $version" ] || fail "kestrin --version says '$first_line'"
"$prefix/bin/kestrin-convert" -q -d 4 ramp.pgm ramp.pdb || fail "the conversion failed"
"$prefix/bin/kestrin-thumbnailer" -s 64 ramp.pdb "$scratch/thumbnail.png" || fail "the thumbnailer failed"

# Palm database headers of other kinds: type and creator at offset 60.
palm_header() {
    printf '%-32s' "$1" | tr ' ' '\000'
    head -c 28 /dev/zero
    printf '%s' "$2"
    head -c 10 /dev/zero
}
palm_header "Addresses" "DATAaddr" >addresses.pdb
palm_header "A book" "TEXtREAd" >book.pdb

# Our type in a MIME database of its own, before the system's. Other .pdb
# files keep the type they have without it (GIO takes the AportisDoc type for
# a Palm database that no content rule claims, Kestrin or not).
mkdir -p "$scratch/mime/mime/packages"
cp "$prefix/share/mime/packages/$app_id.xml" "$scratch/mime/mime/packages/"
update-mime-database "$scratch/mime/mime" >/dev/null 2>&1 || fail "update-mime-database"
content_type() {
    XDG_DATA_HOME="$scratch/data" XDG_DATA_DIRS=$1 gio info -a standard::content-type "$2" |
        sed -n 's/^ *standard::content-type: //p'
}
for expected in ramp.pdb:application/x-vexmoor-image addresses.pdb: book.pdb:application/x-aportisdoc; do
    file=${expected%%:*} type=${expected#*:}
    [ -n "$type" ] || type=$(content_type /usr/share "$file")
    [ "$type" != application/x-vexmoor-image ] || [ "$file" = ramp.pdb ] || fail "$file is ours without us"
    found=$(content_type "$scratch/mime:/usr/share" "$file")
    [ "$found" = "$type" ] || fail "$file is $found, not $type"
done

if [ -f /usr/share/bash-completion/bash_completion ]; then
    mkdir -p out
    touch old.pdb notes.txt photo.JPG
    answers=$(bash -c '
        source /usr/share/bash-completion/bash_completion
        source "$1"
        complete_line() {
            COMP_LINE=$1 COMP_POINT=${#1}
            read -ra COMP_WORDS <<<"$1"
            [[ $1 == *" " ]] && COMP_WORDS+=("")
            COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
            COMPREPLY=()
            _kestrin_convert kestrin-convert "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
            printf "%s|" "$1" "$(printf "%s\n" "${COMPREPLY[@]}" | sort | xargs)"
            echo
        }
        complete_line "kestrin-convert --dep"
        complete_line "kestrin-convert -t os5"
        complete_line "kestrin-convert -c s"
        complete_line "kestrin-convert -q "
        complete_line "kestrin-convert ramp.pgm "
        complete_line "kestrin-convert -n pic --outdir out ramp.pgm "
    ' completion "$prefix/share/bash-completion/completions/kestrin-convert")
    expected_answers="kestrin-convert --dep|--depth|
kestrin-convert -t os5|os5-high os5-low|
kestrin-convert -c s|scanline|
kestrin-convert -q |out photo.JPG ramp.pgm|
kestrin-convert ramp.pgm |addresses.pdb book.pdb old.pdb out ramp.pdb|
kestrin-convert -n pic --outdir out ramp.pgm |out photo.JPG ramp.pgm|"
    [ "$answers" = "$expected_answers" ] || fail "completion answers:
$answers"
fi

# The window opens from the installed tree and stays until asked to end.
status=0
XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/run" QT_QPA_PLATFORM=offscreen \
    timeout 3 "$prefix/bin/kestrin" ramp.pgm || status=$?
[ "$status" = 124 ] || fail "kestrin ended with status $status before it was asked to"
echo "PASS: $prefix"
