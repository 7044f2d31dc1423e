#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs a build into a scratch prefix and asks the desktop's own tools which program opens a file of each type, on
# a machine where Zafrel is the only program: Zafrel for its own type, never for any other file nor for a folder,
# though its context actions name folders (their entries live outside share/applications). The freedesktop
# types come along with their parents (so application/pdf inherits application/octet-stream), but none of this
# machine's programs and nothing of its user's choices.
# Usage: desktop-defaults.sh BUILD-FOLDER APPLICATION-ID
set -euo pipefail
build=$1
id=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
    echo "desktop-defaults: FAIL: $*" >&2
    failures=$((failures + 1))
}

prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
mkdir -p "$scratch/types/mime/packages" "$scratch"/{home,data,config,config-dirs}
cp /usr/share/mime/packages/freedesktop.org.xml "$scratch/types/mime/packages/"
# GLib lists an entry only when its command is on the path.
desktop() {
    env -i PATH="$prefix/bin:/usr/bin:/bin" HOME="$scratch/home" XDG_DATA_HOME="$scratch/data" \
        XDG_CONFIG_HOME="$scratch/config" XDG_CONFIG_DIRS="$scratch/config-dirs" \
        XDG_DATA_DIRS="$prefix/share:$scratch/types" "$@"
}
desktop update-mime-database "$scratch/types/mime"
desktop update-mime-database "$prefix/share/mime"
desktop update-desktop-database "$prefix/share/applications"

# Every way a desktop finds a default begins with the types the entries claim: Zafrel's own and no other.
own=application/x-zafrel-encrypted
claims=$(grep -v '^\[MIME Cache\]$' "$prefix/share/applications/mimeinfo.cache")
[[ $claims == "$own=$id.desktop;" ]] || fail "the installed entries claim more than $own: $claims"

for current in "" GNOME XFCE LXQt; do
    for type in application/octet-stream application/pdf application/zip text/plain inode/directory $own; do
        answer=$(desktop ${current:+XDG_CURRENT_DESKTOP=$current} xdg-mime query default $type)
        expected=
        [[ $type == "$own" ]] && expected=$id.desktop
        [[ $answer == "$expected" ]] ||
            fail "xdg-mime query default $type (desktop '$current') answers '$answer', not '$expected'"
    done
done

# gio names every program registered or recommended for a type, not only the default.
for type in application/octet-stream application/pdf application/zip text/plain inode/directory; do
    answer=$(desktop gio mime $type 2>&1)
    [[ $answer != *"$id"* ]] || fail "gio mime $type offers Zafrel: $answer"
done
answer=$(desktop gio mime $own 2>&1)
[[ $(head -n 1 <<<"$answer") == *": $id.desktop" ]] || fail "gio mime $own does not answer Zafrel: $answer"

((failures == 0)) || exit 1
echo "desktop-defaults: PASS"
