#!/usr/bin/env bash
# Sets up, builds and runs every test suite: a normal build, the same suites
# under AddressSanitizer + UndefinedBehaviorSanitizer, and a short run of each
# fuzz harness over its seeds. Exits non-zero on any failure. First of all it
# checks that scripts/setup.sh installs everything the build and tests use.
#
#   ./test.sh                  everything
#   KESTRIN_FUZZ_SECONDS=60 ./test.sh   longer fuzz runs
#   KESTRIN_SKIP_FUZZ=1 ./test.sh       no fuzzing
#   KESTRIN_TSAN=1 ./test.sh            also the suites under ThreadSanitizer
set -euo pipefail
cd "$(dirname "$0")"

./scripts/setup.sh --test

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

# Set-up first: a package installed by hand would hide here and be missing on
# a fresh machine. Checked again after the build, with the headers it read.
echo "== set-up =="
cmake --preset release -DKESTRIN_WERROR=ON -DKESTRIN_BUILD_TESTS=ON -DKESTRIN_BUILD_BENCH=ON >/dev/null
./scripts/check_setup.sh build/release

echo "== formatting =="
./scripts/check_format.sh

echo "== release build and tests =="
cmake --build --preset release -j "$jobs"
./scripts/check_setup.sh build/release
ctest --preset release -j "$jobs"

echo "== sanitizer build and tests =="
cmake --preset asan -DKESTRIN_WERROR=ON -DKESTRIN_BUILD_TESTS=ON >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

if [ "${KESTRIN_TSAN:-0}" = 1 ]; then
  echo "== thread sanitizer build and tests =="
  cmake --preset tsan >/dev/null
  cmake --build --preset tsan -j "$jobs"
  ctest --preset tsan -j "$jobs"
fi

if [ "${KESTRIN_SKIP_FUZZ:-0}" != 1 ]; then
  echo "== fuzz harnesses =="
  ./fuzz/run.sh "${KESTRIN_FUZZ_SECONDS:-20}"
  ./scripts/check_setup.sh build/fuzz
fi

echo "== all tests passed =="
