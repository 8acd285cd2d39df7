#!/usr/bin/env bash
# The release the metainfo and the Debian changelog name first, and the one
# the manual pages describe, is the project's version, which the programs and
# the package take from CMake.
#
#   version_test.sh SOURCE_DIR VERSION
set -euo pipefail
source=$1 version=$2
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# AppStream lists the newest release first.
newest=$(sed -n 's/.*<release [^>]*version="\([^"]*\)".*/\1/p' "$source/packaging/org.quessel.Kestrin.metainfo.xml" |
    head -n 1)
[ "$newest" = "$version" ] || fail "the metainfo's newest release is '$newest', the project is $version"
changelog=$(sed -n '1s/^kestrin (\([^)]*\)).*/\1/p' "$source/packaging/debian/changelog")
[ "$changelog" = "$version" ] || fail "the changelog's newest entry is '$changelog', the project is $version"
for page in kestrin.1 kestrin-convert.1; do
    header=$(sed -n '1s/^\.TH [^"]*"[^"]*" "Kestrin \([^"]*\)".*/\1/p' "$source/packaging/$page")
    [ "$header" = "$version" ] || fail "$page describes Kestrin '$header', the project is $version"
done
echo "PASS: $version"
