#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang and runs each for the given number
# of seconds (default 20) over a scratch copy of its seed folder, so the
# repository is never written to. A crash fails the script and leaves the
# crashing input in build/fuzz/findings/.
#
#   fuzz/run.sh [SECONDS] [HARNESS...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
shift || true

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then
  for source in fuzz/*_fuzzer.cpp; do
    [ -e "$source" ] || continue
    harnesses+=("$(basename "$source" .cpp)")
  done
fi

findings=build/fuzz/findings
mkdir -p "$findings"
status=0
for harness in "${harnesses[@]}"; do
  corpus=$(mktemp -d)
  seeds=fuzz/seeds/${harness%_fuzzer}
  [ -d "$seeds" ] && cp -r "$seeds"/. "$corpus"/ 2>/dev/null || true
  echo "-- $harness: ${seconds}s"
  if ! ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
      "build/fuzz/fuzz/$harness" -max_total_time="$seconds" -rss_limit_mb=3072 \
      -malloc_limit_mb=2048 -timeout=10 -print_final_stats=1 -artifact_prefix="$findings/$harness-" \
      "$corpus" 2>"build/fuzz/$harness.log"; then
    echo "!! $harness failed; see build/fuzz/$harness.log"
    tail -n 40 "build/fuzz/$harness.log"
    status=1
  else
    grep -E 'stat::number_of_executed_units' "build/fuzz/$harness.log" | sed "s/^/   /"
  fi
  rm -rf "$corpus"
done
exit $status
