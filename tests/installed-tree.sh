#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs a build into an empty folder, as the Debian package does, and checks that the tree holds what the
# desktop, a software centre, man and a packager look for, each under the name the others use for it.
# Usage: installed-tree.sh BUILD-FOLDER APPLICATION-ID
set -euo pipefail
build=$1
id=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() {
    echo "installed-tree: FAIL: $*" >&2
    exit 1
}

cmake --install "$build" --prefix "$root" >/dev/null
for file in bin/zafrel lib/zafrel/zafrel lib/zafrel/Doc/help.htm share/man/man1/zafrel.1.gz \
    share/doc/zafrel/copyright share/doc/zafrel/changelog.gz \
    "share/applications/$id.desktop" "share/metainfo/$id.metainfo.xml"; do
    [[ -f $root/$file ]] || fail "$file is not installed"
done
[[ $(realpath "$root/bin/zafrel") == "$root/lib/zafrel/zafrel" ]] || fail "bin/zafrel does not lead to the program"

metainfo=$root/share/metainfo/$id.metainfo.xml
grep -q "<id>$id</id>" "$metainfo" || fail "the metainfo's id is not $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch $id.desktop"
icon=$(sed -n 's/^Icon=//p' "$root/share/applications/$id.desktop")
for size in 32x32 256x256; do
    [[ -f $root/share/icons/hicolor/$size/apps/$icon.png ]] || fail "no $size icon named $icon"
done

# Compressed without a name or a time stamp (header bytes 4 to 7 are the time), so that rebuilds are identical.
for gz in share/man/man1/zafrel.1.gz share/doc/zafrel/changelog.gz; do
    gzip -t "$root/$gz" || fail "$gz is not a gzip file"
    [[ $(od -An -tx1 -j3 -N5 "$root/$gz" | tr -d ' ') == 0000000000 ]] || fail "$gz carries a name or a time"
done
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    "$root/share/doc/zafrel/copyright" || fail "the copyright file is not machine-readable"
echo "installed-tree: PASS"
