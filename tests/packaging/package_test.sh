#!/usr/bin/env bash
# The Debian package: built by cpack, unpacked with dpkg-deb, it holds stripped
# programs, no maintainer scripts, the dependencies they need, and a working
# Kestrin. With lintian installed, the package must have no errors.
#
#   package_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1 version=$2
here=$(cd "$(dirname "$0")" && pwd)
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
for tool in cpack dpkg-deb dpkg-shlibdeps objdump; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/package" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log"; fail "cpack"; }
package=$(echo "$scratch"/package/kestrin_"$version"_*.deb)
[ -f "$package" ] || fail "no package in $(ls "$scratch/package")"

depends=$(dpkg-deb -f "$package" Depends)
for needed in qt6-qpa-plugins libheif1 libqt6widgets6 libpng16-16 libc6; do
    [[ ", $depends," == *", $needed "* || ", $depends," == *", $needed,"* ]] || fail "Depends lacks $needed: $depends"
done
dpkg-deb -e "$package" "$scratch/control"
scripts=$(ls "$scratch/control" | grep -Ev '^(control|md5sums)$' || true)
[ -z "$scripts" ] || fail "control files besides control and md5sums: $scripts"

dpkg-deb -x "$package" "$scratch/root"
for program in kestrin kestrin-convert; do
    ! objdump -h "$scratch/root/usr/bin/$program" | grep -q '\.debug_\|\.symtab' || fail "$program is not stripped"
done
"$here/check_installed.sh" "$scratch/root/usr" "$version" "$scratch/check"

if command -v lintian >/dev/null; then
    lintian --tag-display-limit 0 "$package" >"$scratch/lintian.log" 2>&1 || true
    cat "$scratch/lintian.log"
    ! grep -q '^E:' "$scratch/lintian.log" || fail "lintian reports errors"
fi
