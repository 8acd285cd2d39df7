#!/usr/bin/env bash
# Checks that the program's C++ files are formatted as .clang-format says.
# Prints the files that are not and exits 1; `clang-format -i FILE` mends one.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t sources < <(git ls-files -- '*.cpp' '*.h' | grep -E '^(imagelib|engine|app|cli|thumbnailer|tests|fuzz|bench)/')
# clang-format names each file it would change in its diagnostics.
mapfile -t unformatted < <(printf '%s\0' "${sources[@]}" |
  xargs -0 clang-format --dry-run -Werror 2>&1 | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error: .*/\1/p' | sort -u)
if [ ${#unformatted[@]} -ne 0 ]; then
  echo "check_format: ${#unformatted[@]} file(s) differ from .clang-format (run clang-format -i on them):" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  exit 1
fi
echo "check_format: ${#sources[@]} files formatted"
