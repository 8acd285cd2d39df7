#!/bin/sh
# Ends kestrin-convert with SIGTERM while more conversions are in flight than
# it once had room to remember, and counts the temporary files left behind,
# by hand (too slow for the suite):
#   tests/races/signal_many_temporaries.sh BUILD_DIR [JOBS] [TRIES]
# A sound run leaves 0 on every line.
set -eu
build=$(cd "$1" && pwd)
jobs=${2:-80}
tries=${3:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One large picture under many names, so every conversion is still decoding
# when the signal comes.
python3 - "$work/big.bmp" <<'SOURCE'
import struct, sys
width, height = 3000, 2000
row = bytes((x * 7) & 0xFF for x in range(width * 3))  # a multiple of 4 bytes: no padding
pixels = row * height
header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
open(sys.argv[1], "wb").write(header + info + pixels)
SOURCE
mkdir "$work/in"
i=0
while [ "$i" -lt "$jobs" ]; do
    ln -s ../big.bmp "$work/in/picture$i.bmp"
    i=$((i + 1))
done

try=0
attempts=0
while [ "$try" -lt "$tries" ]; do
    rm -rf "$work/out"
    mkdir "$work/out"
    "$build/cli/kestrin-convert" -q -j "$jobs" --outdir "$work/out" "$work/in"/*.bmp &
    convert=$!
    # Wait until more than 64 conversions have their temporary file (or
    # every one when fewer are run), then end the run.
    enough=$((jobs > 64 ? 65 : jobs))
    waited=0
    while [ "$(ls -A "$work/out" | grep -c kestrin-)" -lt "$enough" ] && [ "$waited" -lt 1000 ]; do
        sleep 0.01
        waited=$((waited + 1))
    done
    inflight=$(ls -A "$work/out" | grep -c kestrin- || true)
    ended=0
    kill -TERM "$convert" 2>/dev/null || ended=1
    wait "$convert" || true
    left=$(ls -A "$work/out" | grep -c kestrin- || true)
    attempts=$((attempts + 1))
    # A run that finished before enough were in flight proves nothing.
    if [ "$ended" = 0 ] && [ "$inflight" -ge "$enough" ]; then
        try=$((try + 1))
        printf 'try %d: %d temporaries in flight at SIGTERM, %d left\n' "$try" "$inflight" "$left"
    fi
    [ "$attempts" -lt $((tries * 10)) ] || break
done
