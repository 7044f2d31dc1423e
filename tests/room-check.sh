#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The room check on a small tree of its own: includes that point down pass; one that points up, plainly, by a
# relative path or in angle brackets, fails with its file and line, and so does a room the check does not know, and a
# test-only header included outside its room.
# Usage: room-check.sh PATH/TO/scripts/check-rooms
set -euo pipefail
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/scripts"
cp "$1" "$tree/scripts/check-rooms"
fail() {
    echo "room-check: FAIL: $*" >&2
    exit 1
}
put() { # put FILE INCLUDE...
    mkdir -p "$(dirname "$tree/$1")"
    local file=$1
    shift
    printf '#include %s\n' "$@" >"$tree/$file"
}

put src/cipher/Key.h '<QString>'
put src/cipher/TestSeams.h '<QString>'
put src/cipher/Key.cpp '"cipher/Key.h"' '"cipher/TestSeams.h"'
put src/widgets/Panel.h '"platform/Dialog.h"' '"cipher/Key.h"'
put src/widgets/Panel.cpp '"widgets/Panel.h"' '"Panel.h"'
put src/runs/Run.h '"widgets/Panel.h"' '<cipher/Key.h>'
put src/app/Window.cpp '"runs/Run.h"' '"about/About.h"'
put src/cli/main.cpp '"cipher/Key.h"'
put src/main.cpp '"app/Window.h"'
output=$("$tree/scripts/check-rooms" 2>&1) || fail "a tree whose includes point down: $output"

put src/widgets/Panel.cpp '"widgets/Panel.h"' '"app/Window.h"'
put src/about/About.cpp '"../runs/Run.h"'
put src/cli/main.cpp '"cipher/Key.h"' '<widgets/Panel.h>'
put src/tools/Tool.cpp '"cipher/Key.h"'
put src/runs/Run.cpp '"runs/Run.h"' '"cipher/TestSeams.h"'
if output=$("$tree/scripts/check-rooms" 2>&1); then
    fail "includes that point up passed"
fi
for expected in 'src/widgets/Panel.cpp:2: includes app/Window.h' 'src/about/About.cpp:1: includes ../runs/Run.h' \
    'src/cli/main.cpp:2: includes widgets/Panel.h' 'src/tools/Tool.cpp: src/tools is no room' \
    'src/runs/Run.cpp:2: includes cipher/TestSeams.h, which only cipher itself'; do
    [[ $output == *"$expected"* ]] || fail "no \"$expected\" in: $output"
done
[[ $(grep -c '^rooms: src/' <<<"$output") == 5 ]] || fail "not five faults: $output"
echo "room-check: PASS"
