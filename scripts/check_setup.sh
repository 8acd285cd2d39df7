#!/usr/bin/env bash
# Checks that scripts/setup.sh installs everything a build and the tests use,
# so that a fresh Debian machine builds and tests what this one does.
#
#   scripts/check_setup.sh BUILD_DIR
#
# Every Debian package that holds a file the build used (the CMake package
# files and programs CMake found, the headers in the compiler's dependency
# lists once something is built, the libraries linked) and every program the
# tests start must be one that scripts/setup.sh --test installs, directly or
# as a dependency of what it installs. A package installed by hand hides here
# and nowhere else: this check names it. Takes a few seconds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?usage: scripts/check_setup.sh BUILD_DIR}
cache="$build/CMakeCache.txt"
[ -f "$cache" ] || { echo "check_setup: $cache does not exist; configure first" >&2; exit 2; }

# The programs and files the tests, fuzzing and packaging checks start or read
# (most of them skip quietly where these are missing, which is why they are
# named here).
test_programs=(
  Xvfb xdotool dbus-daemon /usr/libexec/at-spi-bus-launcher /usr/bin/python3
  /usr/lib/python3/dist-packages/pyatspi/__init__.py
  /usr/lib/qt6/bin/lrelease /usr/lib/qt6/bin/lupdate
  desktop-file-validate appstreamcli update-mime-database gio
  dpkg-deb lintian man /usr/share/bash-completion/bash_completion
  djpeg pnmtopalm palmtopnm ppmtoppm pamdepth
  clang clang++ clang-format gzip
)

# The packages setup.sh names: the run and test lists.
mapfile -t named < <(bash -c "source <(sed -n '/^packages=(/,/^)/p;/^test_packages=(/,/^)/p' \
  '$root/scripts/setup.sh'); printf '%s\n' \"\${packages[@]}\" \"\${test_packages[@]}\"")

# What installing them brings along, and what every Debian system has.
covered=$( {
  apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces \
    --no-enhances "${named[@]}" 2>/dev/null | grep -v '^ ' | sed 's/:[a-z0-9]*$//'
  dpkg-query -W -f='${Package} ${Essential} ${Priority}\n' | awk '$2 == "yes" || $3 == "required" { print $1 }'
} | sort -u)

# The files the build used, as absolute paths under /usr.
used_files() {
  # What CMake found: package configuration folders, headers' folders are
  # covered by the compiler's lists below; libraries and programs by name.
  sed -n 's/^[A-Za-z0-9_]*_DIR:PATH=\(\/usr\/.*\)$/\1/p' "$cache" | while read -r dir; do
    ls "$dir"/*Config.cmake "$dir"/*-config.cmake 2>/dev/null | head -n 1 || true
  done
  sed -n 's/^[A-Za-z0-9_]*\(_EXECUTABLE\|_PROGRAM\|_COMPILER\):FILEPATH=\(\/usr\/.*\)$/\2/p' "$cache"
  if [ -f "$build/build.ninja" ]; then
    # The libraries linked.
    grep -oE '(LINK_LIBRARIES|LINK_FLAGS) = .*' "$build/build.ninja" | tr ' ' '\n' | grep -E '^/usr/' | sort -u || true
    # The headers the compiler read, once anything is built.
    ninja -C "$build" -t deps 2>/dev/null | sed -n 's/^ *\(\/usr\/[^ ]*\)$/\1/p' | sort -u
  fi
}

programs_missing=()
files=()
mapfile -t files < <(used_files | sort -u)
for program in "${test_programs[@]}"; do
  if [[ $program == /* ]]; then
    path=$program
  else
    path=$(PATH=/usr/sbin:/usr/bin:/sbin:/bin command -v "$program" || true)
  fi
  if [ -n "$path" ] && [ -e "$path" ]; then files+=("$path"); else programs_missing+=("$program"); fi
done

# The packages that hold those files, asked of dpkg at once. A file counts as
# held when it or the file its links lead to is (/usr/bin/c++ is a link no
# package holds); dpkg knows some files by their path before /usr was merged.
declare -A owners=()
ask_dpkg() {
  local line path
  while IFS= read -r line; do
    path=${line#*: }
    owners[$path]="${owners[$path]:-} ${line%%: *}"
  done < <(dpkg -S "$@" 2>/dev/null | grep -v '^diversion' || true)
}
candidates=()
for file in "${files[@]}"; do candidates+=("$file" "$(readlink -f "$file")"); done
mapfile -t candidates < <(printf '%s\n' "${candidates[@]}" | sort -u)
ask_dpkg "${candidates[@]}"
unmerged=()
for path in "${candidates[@]}"; do
  [ -z "${owners[$path]:-}" ] && [[ $path == /usr/* ]] && unmerged+=("${path#/usr}")
done
[ ${#unmerged[@]} -gt 0 ] && ask_dpkg "${unmerged[@]}"

declare -A used=()
unowned=()
for file in "${files[@]}"; do
  real=$(readlink -f "$file")
  held="${owners[$file]:-} ${owners[$real]:-} ${owners[${file#/usr}]:-} ${owners[${real#/usr}]:-}"
  if [ -z "${held// /}" ]; then
    unowned+=("$file")
    continue
  fi
  for owner in ${held//,/ }; do used[${owner%%:*}]=1; done
done

missing=()
for package in "${!used[@]}"; do
  grep -qxF "$package" <<<"$covered" || missing+=("$package")
done

status=0
if [ ${#missing[@]} -gt 0 ]; then
  mapfile -t missing < <(printf '%s\n' "${missing[@]}" | sort)
  echo "check_setup: scripts/setup.sh does not install these packages, whose files the build or the tests use: ${missing[*]}" >&2
  status=1
fi
if [ ${#programs_missing[@]} -gt 0 ]; then
  echo "check_setup: programs the tests start are not installed: ${programs_missing[*]}" >&2
  status=1
fi
if [ ${#unowned[@]} -gt 0 ]; then
  mapfile -t unowned < <(printf '%s\n' "${unowned[@]}" | sort -u)
  echo "check_setup: the build used files no Debian package installs: ${unowned[*]}" >&2
  status=1
fi
[ -n "${CHECK_SETUP_VERBOSE:-}" ] && printf "%s\n" "${!used[@]}" | sort | tr "\n" " " >&2
[ $status -eq 0 ] && echo "check_setup: scripts/setup.sh installs all ${#used[@]} packages the build and the tests use"
exit $status
