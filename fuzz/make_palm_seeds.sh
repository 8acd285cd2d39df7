#!/usr/bin/env bash
# Writes the seed files of the palm_reader harness: bare bitmaps of every
# version, depth and compression from netpbm's writer, a little-endian one,
# and databases of every destination from kestrin-convert.
#
# Run from the repository root after a debug build: fuzz/make_palm_seeds.sh
# The files are committed; rerun only to change them.
set -euo pipefail
cd "$(dirname "$0")/.."
out=fuzz/seeds/palm_reader
convert=build/debug/cli/kestrin-convert
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A small colour picture in the 8-bit system palette, and a grey one.
printf 'P3\n6 3\n255\n255 0 0 0 0 255 255 255 255 0 0 0 51 102 153 255 255 255\n255 0 0 255 0 0 0 0 255 0 0 255 204 204 204 0 0 0\n0 0 0 0 0 0 0 0 0 255 255 255 255 255 255 255 0 0\n' > "$work/color.ppm"
ppmtopgm "$work/color.ppm" > "$work/grey.pgm"
pgmtopbm -threshold "$work/grey.pgm" > "$work/mono.pbm"

pnmtopalm -depth 1 "$work/mono.pbm" > "$out/v0_1bit.palm"
pnmtopalm -depth 1 -scanline_compression "$work/mono.pbm" > "$out/v2_1bit_scanline.palm"
pnmtopalm -depth 2 "$work/mono.pbm" > "$out/v1_2bit.palm"
pnmtopalm -depth 4 -rle_compression "$work/mono.pbm" > "$out/v2_4bit_rle.palm"
pnmtopalm -depth 8 "$work/color.ppm" > "$out/v1_8bit.palm"
pnmtopalm -depth 8 -packbits_compression "$work/color.ppm" > "$out/v2_8bit_packbits.palm"
pnmtopalm -depth 8 -colormap -rle_compression "$work/color.ppm" > "$out/v2_8bit_colortable_rle.palm"
pnmtopalm -depth 8 -transparent red "$work/color.ppm" > "$out/v2_8bit_transparent.palm"
pnmtopalm -depth 16 "$work/color.ppm" > "$out/v1_16bit.palm"
pnmtopalm -depth 16 -density 144 "$work/color.ppm" > "$out/v3_16bit.palm"
pnmtopalm -depth 8 -density 144 -scanline_compression "$work/color.ppm" > "$out/v3_8bit_scanline.palm"

# Little-endian version 3, 16 bits, PackBits: 3 x 2, a literal row and a run.
printf '\x03\x00\x02\x00\x06\x00\x01\x00\x10\x83\x18\x02\x00\x02\x48\x00\x00\x00\x00\x00\x00\x00\x00\x00\x0e\x00\x00\x00\x02\x00\xf8\xe0\x07\x1f\x00\xfe\x10\x84' > "$out/v3_16bit_packbits_le.palm"

pnmtopng "$work/color.ppm" > "$work/color.png"
for target in os3 os5-low os5-high combined; do
  "$convert" -q -f --raw -d 4 -c scanline -t "$target" "$work/color.png" "$out/db_${target}_4bit.pdb"
  "$convert" -q -f --raw -d 8 -c best -t "$target" "$work/color.png" "$out/db_${target}_8bit.pdb"
done
ls -l "$out"
