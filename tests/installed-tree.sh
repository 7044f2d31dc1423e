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
    bin/zafrel-cli share/man/man1/zafrel-cli.1.gz share/bash-completion/completions/zafrel-cli \
    share/doc/zafrel/copyright share/doc/zafrel/changelog.gz \
    "share/applications/$id.desktop" "share/metainfo/$id.metainfo.xml" "share/mime/packages/$id.xml" \
    share/kio/servicemenus/zafrel-{en,de}crypt.desktop share/Thunar/sendto/zafrel-{en,de}crypt.desktop \
    share/nemo/actions/zafrel-{en,de}crypt.nemo_action; do
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

# File managers: every entry runs the command with its mode and takes files. The desktop entry claims only the type
# that the MIME database gives names ending in .enc.
mime=$root/share/mime
XDG_DATA_DIRS=$root/share update-mime-database "$mime"
type=$(sed -n 's/^50:\(.*\):\*\.enc$/\1/p' "$mime/globs2")
[[ -n $type ]] || fail "the MIME database gives no type to *.enc"
grep -qx "MimeType=$type;" "$root/share/applications/$id.desktop" || fail "the desktop entry claims more than $type"
grep -qx 'Exec=zafrel %F' "$root/share/applications/$id.desktop" || fail "the desktop entry takes no files"
for mode in encrypt decrypt; do
    for entry in share/kio/servicemenus/zafrel-$mode.desktop share/Thunar/sendto/zafrel-$mode.desktop \
        share/nemo/actions/zafrel-$mode.nemo_action; do
        grep -qx "Exec=zafrel --$mode %F" "$root/$entry" || fail "$entry does not queue files to $mode"
    done
    # KDE's service-menu form: an action in the context menu, never an application entry.
    menu=$root/share/kio/servicemenus/zafrel-$mode.desktop
    grep -qx 'Type=Service' "$menu" && grep -qx 'X-KDE-ServiceTypes=KonqPopupMenu/Plugin' "$menu" ||
        fail "zafrel-$mode.desktop is no KDE service menu"
done
# What each entry is offered for: encrypting, every file and every folder; decrypting, Zafrel's type and folders,
# which may hold such files. Thunar offers a Send To entry only for items whose own type it names, so the encrypt
# entry names none; Nemo names folders "dir" and reads "any" as every file and folder.
offered() {
    grep -qx "$2" "$root/$1" || fail "$1 is not offered for $3"
}
offered share/kio/servicemenus/zafrel-encrypt.desktop 'MimeType=all/allfiles;inode/directory;' "any file and folder"
offered share/kio/servicemenus/zafrel-decrypt.desktop "MimeType=$type;inode/directory;" "encrypted files and folders"
! grep -q '^MimeType=' "$root/share/Thunar/sendto/zafrel-encrypt.desktop" ||
    fail "the encrypt Send To entry is not offered for every file and folder"
offered share/Thunar/sendto/zafrel-decrypt.desktop "MimeType=$type;inode/directory;" "encrypted files and folders"
offered share/nemo/actions/zafrel-encrypt.nemo_action 'Extensions=any;' "any file and folder"
offered share/nemo/actions/zafrel-decrypt.nemo_action 'Extensions=enc;dir;' "encrypted files and folders"

# Compressed without a name or a time stamp (header bytes 4 to 7 are the time), so that rebuilds are identical.
for gz in share/man/man1/zafrel.1.gz share/man/man1/zafrel-cli.1.gz share/doc/zafrel/changelog.gz; do
    gzip -t "$root/$gz" || fail "$gz is not a gzip file"
    [[ $(od -An -tx1 -j3 -N5 "$root/$gz" | tr -d ' ') == 0000000000 ]] || fail "$gz carries a name or a time"
done
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    "$root/share/doc/zafrel/copyright" || fail "the copyright file is not machine-readable"

# The command line runs from where it is installed, and bash completes its commands and options.
[[ $("$root/bin/zafrel-cli" --version | head -n 1) == "zafrel-cli (Zafrel) "* ]] || fail "bin/zafrel-cli does not run"
completes() {
    local expected=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    _zafrel_cli
    [[ "${COMPREPLY[*]}" == "$expected" ]] || fail "completing '$*' gives '${COMPREPLY[*]}', not '$expected'"
}
source "$root/share/bash-completion/completions/zafrel-cli"
completes "encrypt" zafrel-cli en
completes "--auto-key" zafrel-cli encrypt --auto
completes "" zafrel-cli decrypt --auto
completes "--no-clobber" zafrel-cli decrypt -r --no
completes "" zafrel-cli encrypt --auto-key --auto
completes "" zafrel-cli -- --ver
completes "--output" zafrel-cli decrypt --out
echo "installed-tree: PASS"
