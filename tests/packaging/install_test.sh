#!/usr/bin/env bash
# `cmake --install` of the build into a temporary prefix gives a working Kestrin.
#
#   install_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1 version=$2
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
"$here/check_installed.sh" "$scratch/prefix" "$version" "$scratch/check"
