#!/usr/bin/env bash
# Installs every Debian package Kestrin needs to build, test, fuzz and benchmark.
# Idempotent and quiet: it asks apt only for what is missing, and runs
# `apt-get update` only when something is.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libpng-dev libjpeg62-turbo-dev libtiff-dev libgif-dev zlib1g-dev
  libwebp-dev libheif-dev
  libcairo2-dev
  qt6-base-dev qt6-base-dev-tools
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth xdotool
  python3-pyatspi at-spi2-core
  fonts-dejavu-core
  libglib2.0-dev
  libjpeg-turbo-progs
  desktop-file-utils appstream shared-mime-info libglib2.0-bin bash-completion man-db
  dpkg-dev lintian
  netpbm
)

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
