#!/usr/bin/env bash
# Measures whole conversions with kestrin-convert against the decoding floor
# of the format's own library (libjpeg, libwebp, libheif), batch throughput
# with one and two jobs, and the window's preview pane from a change to the
# picture.
#
#   bench/run.sh [BUILD_DIR]        (default: build/release, as ./run.sh builds it)
#
# Environment:
#   KESTRIN_BENCH_SCRATCH=DIR   keep the generated inputs in DIR and reuse them
#                               next time (default: a temporary folder, removed)
#   KESTRIN_BENCH_RUNS=N        runs per measurement (default 5; the median counts)
#
# The inputs are generated here, photo-like and repeatable: JPEGs of 4000x3000
# and 6000x4000 at quality 90, a 4000x3000 PNG and a 4000x3000 24-bit BMP, a
# 4000x3000 WebP, HEIC (HEVC) and AVIF (AV1) and an 8000x6000 HEIC at quality
# 90, and 40 small 640x480 JPEGs for
# the batch, twenty 4000x3000 JPEGs for the window against kestrin-convert
# -j, and thirty 6000x4000 JPEGs for the window's event loop during a batch.
# Every conversion is at depth 8 with dithering and the default compression
# ("best").
#
# Columns:
#   wall s     median wall time of the runs
#   cpu s      median user + system time
#   peak MiB   highest peak resident memory of the runs
#   extra MiB  peak - idle process - input file: the memory a conversion needs
#              beyond its own start-up and its mapped input (goal for the
#              6000x4000 JPEG and the 4000x3000 PNG to combined: at most 16)
#   mem/pic    (peak - idle process - input file) / decoded 32-bit picture: the
#              memory a conversion needs beyond its mapped input, in units of the
#              decoded picture (goal: at most 1.25)
#   floor s    median time of `djpeg -dct float -nosmooth -outfile /dev/null` on
#              the same JPEG (for PNG and BMP: on the 4000x3000 JPEG), or of
#              kestrin_bench_library_decode (libwebp's or libheif's decode to
#              32-bit pixels) on the same WebP, HEIC or AVIF, measured in turns with
#              the conversions so both see the same machine load
#   x floor    wall s / floor s (goal for the 6000x4000 JPEG to combined and
#              os5-high: at most 1.1)
#   cpu x      cpu s / the floor's median CPU time: steadier than the wall-time
#              ratio on a busy machine, but blind to work spread over cores
#
# The row "fine" converts the 6000x4000 JPEG to combined with --quality fine
# (goal: at most 1.5 times the CPU time of the classic row, and at most 16
# MiB extra; both ratios are printed below the table, the CPU one steadier on
# a shared machine).
# The rows "crop" and "smart" convert it to combined with --fit crop, keeping
# the middle and, with --gravity smart, what draws the eye (goal: smart at
# most 1.2 times the centred crop's time, and at most 16 MiB extra). The row
# "crop tall" does the centred crop of the same photo stood on end (4000x6000,
# no orientation tag), whose rows above and below the part are dropped as they
# stream: its memory should stay near the "crop" row's.
# The row "tagged P3" converts the same 6000x4000 JPEG tagged Display P3 (so
# converted to sRGB as it decodes) to combined; below the table its time is
# compared with the untagged JPEG's (goal: at most 1.1). The conversion runs on
# the resampler's helper thread while the decoder goes on: the wall-time ratio
# needs a second core free, and follows the cpu ratio when the machine is busy.
# The row "tagged wide-gamut" does the same with Wide Gamut RGB, a matrix
# profile of none of the common spaces (goal: at most 1.15).
#
# The rows "whole" convert to combined with KESTRIN_WHOLE_PICTURE=1, which decodes the
# whole picture before resizing it instead of streaming its rows through a
# window; the databases are the same. Below the table, kestrin_bench_window
# says how long the decoder of the streamed 6000x4000 JPEG waited for the
# resampler's helpers.
#
# The table "large JPEGs" converts JPEGs of 24, 50, 200 and 288 megapixels
# to os5-high, classic and fine, beside djpeg's full float decode, djpeg at
# the eighth the fine quality decodes at, and vipsthumbnail to 320x220 where
# libvips' tools are installed (goal: fine at most 1.0 times vipsthumbnail's
# CPU time, and the 288-megapixel JPEG, over the limit of a picture held
# whole, converted within 100 MiB as it streams).
#
# The row "classic batch" converts twenty 4000x3000 JPEGs with --outdir and -j
# 1, classic quality, to "PalmOS 3 or 4" (os3) and to the default os5-high,
# against a loop of `djpeg -dct float -nosmooth` over the same files: CPU time
# (user + system) per picture (goal: os3 at most 1.25 and os5-high at most 1.5
# times djpeg's). KESTRIN_BENCH_ONLY=classic-batch runs only this row;
# KESTRIN_VECTOR_WIDTH=256 (or 128) measures the resampler's AVX2 loops (or
# none of its own) on a machine with AVX-512.
#
# Timings on a busy machine are noisy: the load average is printed with the
# table.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
build=$(cd "$build" && pwd)
runs=${KESTRIN_BENCH_RUNS:-5}

convert=$build/cli/kestrin-convert
if [ ! -x "$convert" ]; then
  echo "bench/run.sh: $convert is missing; build the project first (./run.sh)" >&2
  exit 2
fi
if ! command -v djpeg >/dev/null; then
  echo "bench/run.sh: djpeg is missing (package libjpeg-turbo-progs; scripts/setup.sh installs it)" >&2
  exit 2
fi

# The helpers are small; build them if this build folder has not yet.
inputs_tool=$build/bench/kestrin_bench_inputs
measure_tool=$build/bench/kestrin_bench_measure
library_tool=$build/bench/kestrin_bench_library_decode
window_tool=$build/bench/kestrin_bench_window
if [ ! -x "$inputs_tool" ] || [ ! -x "$measure_tool" ] || [ ! -x "$library_tool" ] || [ ! -x "$window_tool" ]; then
  cmake -S "$root" -B "$build" -DKESTRIN_BUILD_BENCH=ON >/dev/null
  cmake --build "$build" --target kestrin_bench_inputs kestrin_bench_measure kestrin_bench_library_decode \
    kestrin_bench_window >/dev/null
fi

if [ -n "${KESTRIN_BENCH_SCRATCH:-}" ]; then
  scratch=$KESTRIN_BENCH_SCRATCH
  mkdir -p "$scratch"
else
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/kestrin-bench.XXXXXX")
  trap 'rm -rf "$scratch"' EXIT
fi
scratch=$(cd "$scratch" && pwd)

generate() {  # FILE FORMAT ARGUMENTS...
  local file=$1
  shift
  [ -s "$file" ] || "$inputs_tool" "$1" "${@:2}" "$file"
}

# median FILE COLUMN
median() {
  sort -g -k"$2","$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END {
    if (NR == 0) { print "nan"; exit }
    if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# largest FILE COLUMN
largest() {
  awk -v c="$2" 'BEGIN { m = 0 } $c > m { m = $c } END { print m }' "$1"
}

# failures FILE: how many runs ended with a non-zero status
failures() {
  awk '$4 != 0 { n++ } END { print n + 0 }' "$1"
}

# The classic batch: kestrin-convert -j 1 over twenty 12-megapixel JPEGs to
# each target against djpeg's loop over them, in turns; prints per picture
# the median CPU time of the runs.
classic_batch() {
  local dir=$scratch/classic-batch out=$scratch/classic-batch-out results=$scratch/classic-batch-results
  mkdir -p "$dir" "$out" "$results"
  rm -f "$results"/*
  local i run
  for i in $(seq 1 20); do
    generate "$dir/photo-$i.jpg" jpeg 4000 3000 90 $((500 + i))
  done
  local inputs=("$dir"/photo-*.jpg)
  local loop="for f in $dir/photo-*.jpg; do djpeg -dct float -nosmooth -outfile /dev/null \"\$f\"; done"
  local load
  load=$(cut -d' ' -f1-3 /proc/loadavg)
  for run in $(seq 1 "$runs"); do
    echo "  classic batch: run $run of $runs" >&2
    "$measure_tool" "$results/result" bash -c "$loop" </dev/null
    cat "$results/result" >>"$results/djpeg"
    for target in os3 os5-high; do
      "$measure_tool" "$results/result" "$convert" -q -f -j 1 -t "$target" --outdir "$out" "${inputs[@]}" \
        </dev/null
      cat "$results/result" >>"$results/$target"
    done
  done
  local floor
  floor=$(median "$results/djpeg" 2)
  echo
  echo "classic batch of ${#inputs[@]} 4000x3000 JPEGs, -j 1, median of $runs runs (load average before: $load," \
    "after: $(cut -d' ' -f1-3 /proc/loadavg))"
  printf '  %-28s %12s %8s %6s\n' conversion "cpu ms/pic" "x djpeg" goal
  awk -v c="$floor" -v n="${#inputs[@]}" 'BEGIN { printf "  %-28s %12.1f %8s %6s\n", "djpeg -dct float loop", 1000 * c / n, "1.00", "-" }'
  for target in os3 os5-high; do
    if [ "$(failures "$results/$target")" -ne 0 ]; then
      echo "  kestrin-convert -t $target: failed"
      continue
    fi
    awk -v t="$target" -v c="$(median "$results/$target" 2)" -v f="$floor" -v n="${#inputs[@]}" 'BEGIN {
      printf "  %-28s %12.1f %8.2f %6s\n", "kestrin-convert -t " t, 1000 * c / n, c / f, t == "os3" ? "1.25" : "1.5" }'
  done
}

if [ "${KESTRIN_BENCH_ONLY:-}" = classic-batch ]; then
  classic_batch
  exit 0
fi

echo "Generating inputs in $scratch ..." >&2
generate "$scratch/photo-4000x3000.jpg" jpeg 4000 3000 90 1
generate "$scratch/photo-6000x4000.jpg" jpeg 6000 4000 90 2
generate "$scratch/photo-4000x6000.jpg" jpeg 4000 6000 90 2
generate "$scratch/photo-6000x4000-p3.jpg" jpeg-p3 6000 4000 90 2
generate "$scratch/photo-6000x4000-wide-gamut.jpg" jpeg-wide-gamut 6000 4000 90 2
generate "$scratch/photo-4000x3000.png" png 4000 3000 1
generate "$scratch/photo-4000x3000.bmp" bmp 4000 3000 1
generate "$scratch/photo-4000x3000.webp" webp 4000 3000 90 1
generate "$scratch/photo-4000x3000.heic" heic 4000 3000 90 1
generate "$scratch/photo-8000x6000.heic" heic 8000 6000 90 4
generate "$scratch/photo-4000x3000.avif" avif 4000 3000 90 1
generate "$scratch/tiny-64x48.jpg" jpeg 64 48 90 3
mkdir -p "$scratch/batch"
for i in $(seq 1 40); do
  generate "$scratch/batch/small-$i.jpg" jpeg 640 480 90 $((100 + i))
done
window_batch_tool=$build/bench/kestrin_batch_window_bench
if [ -x "$window_batch_tool" ]; then
  mkdir -p "$scratch/album"
  for i in $(seq 1 20); do
    generate "$scratch/album/photo-$i.jpg" jpeg 4000 3000 90 $((200 + i))
  done
  mkdir -p "$scratch/large"
  for i in $(seq 1 30); do
    generate "$scratch/large/photo-$i.jpg" jpeg 6000 4000 90 $((300 + i))
  done
fi

work=$scratch/work
rm -rf "$work"
mkdir -p "$work/batch-out"

# measure NAME COMMAND...: appends "wall cpu peak status" to $work/NAME and the
# command's messages to $work/NAME.log.
measure() {
  local name=$1
  shift
  "$measure_tool" "$work/result" "$@" >>"$work/$name.log" 2>&1 </dev/null
  cat "$work/result" >>"$work/$name"
}

file_size() { stat -L -c %s "$1"; }

# Width and height of the generated inputs, from their names.
dimensions() { basename "$1" | sed -E 's/^[a-z]+-([0-9]+)x([0-9]+)\..*$/\1 \2/'; }

targets=(os3 os5-low os5-high combined)
inputs=(photo-4000x3000.jpg photo-6000x4000.jpg photo-4000x3000.png photo-4000x3000.bmp photo-4000x3000.webp
  photo-4000x3000.heic photo-8000x6000.heic photo-4000x3000.avif)

# What an idle kestrin-convert costs: its code and libraries.
for _ in 1 2 3; do measure idle "$convert" --version; done
idle_kib=$(median "$work/idle" 3)

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for input in "${inputs[@]}"; do
  path=$scratch/$input
  case $input in
    *.jpg) floor_command=(djpeg -dct float -nosmooth -outfile /dev/null "$path") ;;
    *.webp) floor_command=("$library_tool" webp "$path") ;;
    *.heic | *.avif) floor_command=("$library_tool" heif "$path") ;;
    *) floor_command=(djpeg -dct float -nosmooth -outfile /dev/null "$scratch/photo-4000x3000.jpg") ;;
  esac
  for run in $(seq 1 "$runs"); do
    echo "  $input: run $run of $runs" >&2
    measure "floor-$input" "${floor_command[@]}"
    # What every conversion costs whatever the picture: start-up, the
    # database's file and its sync to the disk; and djpeg's own.
    measure fixed "$convert" -q -f -d 8 --dither -t combined "$scratch/tiny-64x48.jpg" "$work/out.pdb"
    measure fixed-floor djpeg -dct float -nosmooth -outfile /dev/null "$scratch/tiny-64x48.jpg"
    for target in "${targets[@]}"; do
      measure "$input-$target" "$convert" -q -f -d 8 --dither -t "$target" "$path" "$work/out.pdb"
    done
    case $input in
      photo-6000x4000.jpg)
        measure "$input-fine" "$convert" -q -f -d 8 --dither --quality fine -t combined "$path" "$work/out.pdb"
        measure "$input-crop" "$convert" -q -f -d 8 --dither --fit crop -t combined "$path" "$work/out.pdb"
        measure "$input-crop tall" "$convert" -q -f -d 8 --dither --fit crop -t combined \
          "$scratch/photo-4000x6000.jpg" "$work/out.pdb"
        measure "$input-smart" "$convert" -q -f -d 8 --dither --fit crop --gravity smart -t combined "$path" \
          "$work/out.pdb" ;;
    esac
    case $input in
      photo-6000x4000.jpg | photo-4000x3000.png)
        measure "$input-whole" env KESTRIN_WHOLE_PICTURE=1 "$convert" -q -f -d 8 --dither -t combined \
          "$path" "$work/out.pdb" ;;
    esac
    if [ "$input" = photo-6000x4000.jpg ]; then
      measure "$input-tagged P3" "$convert" -q -f -d 8 --dither -t combined "$scratch/photo-6000x4000-p3.jpg" \
        "$work/out.pdb"
      measure "$input-tagged wide-gamut" "$convert" -q -f -d 8 --dither -t combined \
        "$scratch/photo-6000x4000-wide-gamut.jpg" "$work/out.pdb"
    fi
  done
done

# The batch: the same 40 pictures with one and with two jobs, in turns. Beside
# it, what the machine itself gives two jobs: two decodes of the 4000x3000 JPEG
# by djpeg one after the other against both at once. Virtual machines whose
# cores share a physical core fall short of 2.
batch_inputs=("$scratch"/batch/small-*.jpg)
decode="djpeg -dct float -nosmooth -outfile /dev/null $scratch/photo-4000x3000.jpg"
batch_runs=$runs
for run in $(seq 1 "$batch_runs"); do
  echo "  batch: run $run of $batch_runs" >&2
  for jobs in 1 2; do
    measure "batch-$jobs" "$convert" -q -f -d 8 --dither -t combined -j "$jobs" \
      --outdir "$work/batch-out" "${batch_inputs[@]}"
  done
  measure machine-1 bash -c "$decode; $decode"
  measure machine-2 bash -c "$decode & $decode; wait"
done
# Large JPEGs to the default destination, classic and fine, against the
# floors: a full decode by djpeg, and djpeg's decode at the eighth the fine
# quality decodes at (the smallest that keeps six pixels a target pixel of
# 320x220), and vipsthumbnail to 320x220 where it is installed. The
# 20800x13846 JPEG is over the 268 megapixels a picture held whole may have:
# it converts because it streams (goal: within 100 MiB).
large_jpegs=(photo-6000x4000.jpg photo-8660x5774.jpg photo-17320x11547.jpg photo-20800x13846.jpg)
for input in "${large_jpegs[@]:1}"; do
  read -r width height < <(dimensions "$input")
  generate "$scratch/$input" jpeg "$width" "$height" 90 7
done
# The eighth fine decodes a width x height JPEG at for 320x220.
fine_scale() {  # WIDTH HEIGHT
  awk -v w="$1" -v h="$2" 'BEGIN { for (m = 1; m <= 4; m++)
    if (int((w * m + 7) / 8) >= 6 * 320 && int((h * m + 7) / 8) >= 6 * 220) { print m "/8"; exit }
    print "8/8" }'
}
for run in $(seq 1 "$runs"); do
  for input in "${large_jpegs[@]}"; do
    echo "  large $input: run $run of $runs" >&2
    path=$scratch/$input
    read -r width height < <(dimensions "$input")
    measure "large-$input-djpeg" djpeg -dct float -nosmooth -outfile /dev/null "$path"
    measure "large-$input-djpeg-scaled" djpeg -scale "$(fine_scale "$width" "$height")" -nosmooth \
      -outfile /dev/null "$path"
    measure "large-$input-classic" "$convert" -q -f -d 8 --dither -t os5-high "$path" "$work/out.pdb"
    measure "large-$input-fine" "$convert" -q -f -d 8 --dither --quality fine -t os5-high "$path" \
      "$work/out.pdb"
    if command -v vipsthumbnail >/dev/null; then
      measure "large-$input-vips" vipsthumbnail "$path" -s '320x220!' -o "$work/vips.png"
    fi
  done
done

# The window with twenty 4000x3000 JPEGs against kestrin-convert on as many
# jobs as cores, in turns, both with the settings of a first start (goal: the
# window at most 1.15 times kestrin-convert's wall time). The window's time
# runs from START to its summary, with the preview of the selected picture
# already on display, as a user presses START; its second column is how long
# it went without painting while asked to every 20 ms.
if [ -x "$window_batch_tool" ]; then
  album_inputs=("$scratch"/album/photo-*.jpg)
  mkdir -p "$work/album-cli-out" "$work/album-window-out"
  album_failed=0
  for run in $(seq 1 "$batch_runs"); do
    echo "  window batch: run $run of $batch_runs" >&2
    measure album-cli "$convert" -q -f -j "$(nproc)" --outdir "$work/album-cli-out" "${album_inputs[@]}"
    rm -f "$work/album-window-out"/*.pdb
    QT_QPA_PLATFORM=offscreen "$window_batch_tool" "$work/album-window-out" "${album_inputs[@]}" \
      >>"$work/album-window" 2>>"$work/album-window.log" </dev/null || album_failed=1
  done
  # The window's event loop while it converts thirty 6000x4000 JPEGs, and
  # while it converts one through the progress window of a single picture:
  # the longest and the 99th percentile of the times between two turns of the
  # loop, how long a click or a screen reader's question waits (goal for the
  # batch: the longest under 250 ms).
  large_inputs=("$scratch"/large/photo-*.jpg)
  mkdir -p "$work/large-out"
  stall_failed=0
  for run in $(seq 1 "$batch_runs"); do
    echo "  window event loop: run $run of $batch_runs" >&2
    rm -f "$work/large-out"/*.pdb
    QT_QPA_PLATFORM=offscreen "$window_batch_tool" "$work/large-out" "${large_inputs[@]}" \
      >>"$work/stall-batch" 2>>"$work/stall-batch.log" </dev/null || stall_failed=1
    rm -f "$work/large-out"/*.pdb
    QT_QPA_PLATFORM=offscreen "$window_batch_tool" --single "$work/large-out" "$scratch/photo-6000x4000.jpg" \
      >>"$work/stall-single" 2>>"$work/stall-single.log" </dev/null || stall_failed=1
  done
fi
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# The first message of a failed measurement, with the scratch folder left out
# and cut to fit the table.
failure_text() {  # NAME
  grep -m1 -v '^$' "$work/$1.log" | sed "s|$scratch/||g" | cut -c1-100
}

echo
echo "kestrin-convert, depth 8, dithering; median of $runs runs ($(nproc) cores)"
echo "load average before: $load_before"
printf '%-20s %-9s %8s %8s %9s %9s %8s %8s %8s %6s\n' input target "wall s" "cpu s" "peak MiB" "extra MiB" \
  mem/pic "floor s" "x floor" "cpu x"
for input in "${inputs[@]}"; do
  read -r width height < <(dimensions "$input")
  decoded=$(( width * height * 4 ))
  size=$(file_size "$scratch/$input")
  floor=$(median "$work/floor-$input" 1)
  floor_cpu=$(median "$work/floor-$input" 2)
  own_floor=1
  case $input in *.png | *.bmp) own_floor=0 ;; esac
  for target in "${targets[@]}" whole fine crop "crop tall" smart "tagged P3" "tagged wide-gamut"; do
    results=$work/$input-$target
    [ -s "$results" ] || continue
    if [ "$(failures "$results")" -ne 0 ]; then
      printf '%-20s %-9s failed: %s\n' "$input" "$target" "$(failure_text "$input-$target")"
      continue
    fi
    wall=$(median "$results" 1)
    cpu=$(median "$results" 2)
    peak=$(largest "$results" 3)
    awk -v i="$input" -v t="$target" -v w="$wall" -v c="$cpu" -v p="$peak" -v idle="$idle_kib" \
      -v size="$size" -v d="$decoded" -v f="$floor" -v fc="$floor_cpu" -v own="$own_floor" 'BEGIN {
        fl = sprintf(own ? "%.3f" : "(%.3f)", f)
        printf "%-20s %-9s %8.3f %8.3f %9.1f %9.1f %8.2f %8s %8.2f %6.2f\n", i, t, w, c, p / 1024,
          (p * 1024 - idle * 1024 - size) / 1048576, (p * 1024 - idle * 1024 - size) / d, fl, w / f, c / fc }'
  done
done
echo "(floor in parentheses: the 4000x3000 JPEG's, as PNG and BMP have none of their own)"
echo "(whole: to combined with the whole picture decoded first, KESTRIN_WHOLE_PICTURE=1)"
echo "(fine: to combined with --quality fine)"
awk -v f="$(median "$work/photo-6000x4000.jpg-fine" 1)" -v c="$(median "$work/photo-6000x4000.jpg-combined" 1)" \
  -v fc="$(median "$work/photo-6000x4000.jpg-fine" 2)" -v cc="$(median "$work/photo-6000x4000.jpg-combined" 2)" \
  'BEGIN { printf "6000x4000 JPEG to combined, fine / classic: wall time %.2f, CPU time %.2f (goal: at most 1.5)\n",
    f / c, fc / cc }'
echo "(crop, smart: to combined with --fit crop, keeping the middle and what draws the eye)"
awk -v s="$(median "$work/photo-6000x4000.jpg-smart" 1)" -v c="$(median "$work/photo-6000x4000.jpg-crop" 1)" \
  -v sc="$(median "$work/photo-6000x4000.jpg-smart" 2)" -v cc="$(median "$work/photo-6000x4000.jpg-crop" 2)" \
  'BEGIN { printf "6000x4000 JPEG to combined, smart / centred crop: wall time %.2f, CPU time %.2f (goal: at most 1.2)\n",
    s / c, sc / cc }'
fixed=$(median "$work/fixed" 1)
fixed_floor=$(median "$work/fixed-floor" 1)
echo "fixed cost of a conversion (a 64x48 JPEG: start-up, writing and syncing the database): $fixed s;" \
  "of djpeg: $fixed_floor s"
for target in combined os5-high; do
  awk -v w="$(median "$work/photo-6000x4000.jpg-$target" 1)" -v f="$(median "$work/floor-photo-6000x4000.jpg" 1)" \
    -v c="$fixed" -v cf="$fixed_floor" -v t="$target" 'BEGIN {
    printf "6000x4000 JPEG to %s without the fixed costs: %.3f s against %.3f s, x floor %.2f\n", t, w - c, f - cf,
      (w - c) / (f - cf) }'
done
for tag in "P3:Display P3" "wide-gamut:Wide Gamut RGB"; do
  tagged="$work/photo-6000x4000.jpg-tagged ${tag%%:*}"
  awk -v p="$(median "$tagged" 1)" -v u="$(median "$work/photo-6000x4000.jpg-combined" 1)" \
    -v pc="$(median "$tagged" 2)" -v uc="$(median "$work/photo-6000x4000.jpg-combined" 2)" -v name="${tag#*:}" 'BEGIN {
    printf "6000x4000 JPEG to combined, tagged %s against untagged: %.3f s against %.3f s, x %.2f (cpu x %.2f)\n",
      name, p, u, p / u, pc / uc }'
done
echo
echo "large JPEGs to os5-high (320x220 and 160x110), median of $runs runs: cpu s (peak MiB)"
printf '%-22s %9s %15s %15s %15s %15s %8s %8s\n' input "fine at" "djpeg float" "djpeg scaled" classic fine \
  "fine/cl" "fine/vip"
ratio() {  # A B: A / B, or - when either is missing
  awk -v a="$1" -v b="$2" 'BEGIN { if (a == "-" || b == "-" || b == 0) print "-"; else printf "%.2f", a / b }'
}
for input in "${large_jpegs[@]}"; do
  read -r width height < <(dimensions "$input")
  cells=()
  for kind in djpeg djpeg-scaled classic fine vips; do
    results=$work/large-$input-$kind
    if [ ! -s "$results" ]; then
      cells+=("-")
    elif [ "$(failures "$results")" -ne 0 ]; then
      cells+=("failed")
    else
      cells+=("$(awk -v c="$(median "$results" 2)" -v p="$(largest "$results" 3)" \
        'BEGIN { printf "%.3f (%.0f)", c, p / 1024 }')")
    fi
  done
  fine_cpu=$(median "$work/large-$input-fine" 2)
  classic_cpu=$(median "$work/large-$input-classic" 2)
  vips_cpu=-
  [ -s "$work/large-$input-vips" ] && vips_cpu=$(median "$work/large-$input-vips" 2)
  printf '%-22s %9s %15s %15s %15s %15s %8s %8s\n' "$input" "$(fine_scale "$width" "$height")" "${cells[0]}" \
    "${cells[1]}" "${cells[2]}" "${cells[3]}" "$(ratio "$fine_cpu" "$classic_cpu")" "$(ratio "$fine_cpu" "$vips_cpu")"
  [ "${cells[4]}" = "-" ] || echo "  vipsthumbnail to 320x220: ${cells[4]}"
done
echo "idle kestrin-convert: $(awk -v k="$idle_kib" 'BEGIN { printf "%.1f", k / 1024 }') MiB"
echo "the streamed 6000x4000 JPEG's decoder, on the window of rows:"
"$window_tool" "$scratch/photo-6000x4000.jpg"

echo
if [ "$(failures "$work/batch-1")" -ne 0 ] || [ "$(failures "$work/batch-2")" -ne 0 ]; then
  echo "batch of 40 640x480 JPEGs: failed: $(failure_text batch-1) $(failure_text batch-2)"
else
  one=$(median "$work/batch-1" 1)
  two=$(median "$work/batch-2" 1)
  one_cpu=$(median "$work/batch-1" 2)
  two_cpu=$(median "$work/batch-2" 2)
  awk -v a="$one" -v b="$two" -v ac="$one_cpu" -v bc="$two_cpu" -v n="$batch_runs" 'BEGIN {
    printf "batch of 40 640x480 JPEGs to combined, median of %d runs:\n", n
    printf "  -j 1: %.3f s wall, %.3f s cpu\n  -j 2: %.3f s wall, %.3f s cpu\n", a, ac, b, bc
    printf "  throughput ratio -j 2 / -j 1: %.2f\n", a / b }'
  awk -v a="$(median "$work/machine-1" 1)" -v b="$(median "$work/machine-2" 1)" 'BEGIN {
    printf "  the machine'"'"'s own ratio, two djpeg decodes at once against one after the other: %.2f\n", a / b }'
fi
if [ -s "$work/album-cli" ]; then
  if [ "$(failures "$work/album-cli")" -ne 0 ] || [ "$album_failed" -ne 0 ]; then
    echo "window batch of 20 4000x3000 JPEGs: failed: $(failure_text album-cli) $(failure_text album-window)"
  else
    awk -v c="$(median "$work/album-cli" 1)" -v w="$(median "$work/album-window" 1)" \
      -v g="$(median "$work/album-window" 2)" -v n="$batch_runs" -v j="$(nproc)" 'BEGIN {
      printf "20 4000x3000 JPEGs, median of %d runs: kestrin-convert -j %d %.3f s, the window %.3f s, " \
        "window / kestrin-convert %.2f\n", n, j, c, w, w / c
      printf "  the window'"'"'s longest time without painting meanwhile: %d ms (median of the runs)\n", g }'
  fi
fi
if [ -s "$work/stall-batch" ]; then
  if [ "$stall_failed" -ne 0 ]; then
    echo "the window's event loop: failed: $(failure_text stall-batch) $(failure_text stall-single)"
  else
    echo "the window's event loop, median (worst) of $batch_runs runs:"
    printf '  %-34s %8s %16s %14s %10s\n' conversion "wall s" "longest gap ms" "p99 gap ms" goal
    for kind in batch single; do
      awk -v n="$(median "$work/stall-$kind" 1)" -v g="$(median "$work/stall-$kind" 3)" \
        -v w="$(largest "$work/stall-$kind" 3)" -v p="$(median "$work/stall-$kind" 4)" \
        -v pw="$(largest "$work/stall-$kind" 4)" -v k="$kind" 'BEGIN {
        name = k == "batch" ? "30 6000x4000 JPEGs, list" : "one 6000x4000 JPEG, progress window"
        printf "  %-34s %8.3f %8d (%5d) %6d (%5d) %10s\n", name, n, g, w, p, pw, k == "batch" ? "< 250 ms" : "-" }'
    done
  fi
fi
echo "load average after: $load_after"

classic_batch

# The window's preview pane on the 24-megapixel JPEG (goal: the picture within
# a second of the change, on two cores).
pane_tool=$build/bench/kestrin_pane_bench
if [ -x "$pane_tool" ]; then
  echo
  QT_QPA_PLATFORM=offscreen "$pane_tool" "$scratch/photo-6000x4000.jpg" "$runs"
fi
