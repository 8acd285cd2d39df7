#!/usr/bin/env bash
# Installs the Debian packages Kestrin needs.
#   scripts/setup.sh          what building and running need (./run.sh)
#   scripts/setup.sh --test   that and what the tests, fuzzing and benchmarks
#                             need (./test.sh)
#   scripts/setup.sh --quality   that and the peers and tools the picture
#                             quality measurement (measure.py) compares with
# Idempotent and quiet: it asks apt only for what is missing, and runs
# `apt-get update` only when something is.
set -euo pipefail

# Building and running.
packages=(
  g++ cmake ninja-build pkg-config
  libpng-dev libjpeg62-turbo-dev libtiff-dev libgif-dev zlib1g-dev
  libwebp-dev libheif-dev
  liblcms2-dev
  libcairo2-dev libfontconfig-dev
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-l10n-tools
  qt6-translations-l10n
  libglib2.0-dev
)

# Tests, fuzzing and benchmarks.
test_packages=(
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  xvfb xauth xdotool
  python3-pyatspi at-spi2-core dbus-daemon
  fonts-dejavu-core
  libjpeg-turbo-progs
  desktop-file-utils appstream shared-mime-info libglib2.0-bin bash-completion man-db
  dpkg-dev lintian
  netpbm
  colord-data
)

# Measuring picture quality against other programs' reductions.
quality_packages=(
  python3-numpy python3-pil
  imagemagick netpbm pngquant
  gimp
)

case "${1:-}" in
  --test) packages+=("${test_packages[@]}") ;;
  --quality) packages+=("${quality_packages[@]}") ;;
  "") ;;
  *)
    echo "usage: scripts/setup.sh [--test | --quality]" >&2
    exit 2
    ;;
esac

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
else
  sudo_cmd=()
fi

echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq >/dev/null
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
