#!/usr/bin/env bash
# Sets up, builds (release) and runs Kestrin.
#   ./run.sh                            opens the desktop application
#   ./run.sh INPUT [OUTPUT.pdb] [opts]  converts one picture with kestrin-convert
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)

"$root/scripts/setup.sh"
# Only what runs: the suites and benchmarks need packages ./test.sh installs.
cmake -S "$root" --preset release -DKESTRIN_BUILD_TESTS=OFF -DKESTRIN_BUILD_BENCH=OFF >/dev/null
cmake --build "$root/build/release" -j "$(nproc)" >/dev/null

if [ $# -gt 0 ] && [ -x "$root/build/release/cli/kestrin-convert" ]; then
  exec "$root/build/release/cli/kestrin-convert" "$@"
fi
if [ -x "$root/build/release/app/kestrin" ]; then
  exec "$root/build/release/app/kestrin"
fi
echo "Built in $root/build/release:"
find "$root/build/release" -maxdepth 2 -name '*.a' -o -maxdepth 2 -type f -perm -u+x -name 'kestrin*' | sed "s|$root/||"
