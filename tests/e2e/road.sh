#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The whole road through the real program on an X server, driven like a user with xdotool:
#   1. queue three files by typing their names into the real open-file dialog, type a key with characters above
#      U+00FF, run, and check every output against a plain reference of the file format;
#   2. in decrypt mode, decrypt copies of those outputs and check they are the originals byte for byte;
#   3. close the window in the middle of a run: the process ends with status 0, the file in work gets no output
#      and no temporary file is left;
#   4. end the program with SIGTERM, then kill it with SIGKILL, in the middle of a large file: the folder holds
#      nothing but the input afterwards.
# Usage: road.sh PATH/TO/zafrel   (DISPLAY must name an X server without a window manager, e.g. from xvfb-run)
# The tools come from XDOTOOL, IMPORT and PYTHON3 when these are set (the build finds them), else from PATH.
set -euo pipefail
xdotool() { command "${XDOTOOL:-xdotool}" "$@"; }
import() { command "${IMPORT:-import}" "$@"; }
python3() { command "${PYTHON3:-python3}" "$@"; }

zafrel=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
reference() { python3 "$here/xorfiles.py" "$@"; }
key='Kλé€y 7'

work=$(mktemp -d /tmp/road.XXXXXX)
shots=${PWD}/road-shots
mkdir -p "$shots"
pid=
cleanup() {
    if [[ -n $pid ]] && kill -0 "$pid" 2>/dev/null; then
        kill "$pid"
    fi
    [[ -n ${ROAD_KEEP:-} ]] || rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "road: FAIL: $*" >&2
    shot failure
    exit 1
}

shot() { import -window root "$shots/$1.png" 2>/dev/null || true; }

# Polls `command...` every 0.1 s until it succeeds, for at most `seconds`; false if it never does.
wait_until() {
    local seconds=$1
    shift
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

# Polls `command...` every 0.1 s until it succeeds, for at most `seconds`.
wait_for() {
    local what=$1 seconds=$2
    shift 2
    wait_until "$seconds" "$@" || fail "timed out after ${seconds}s waiting for $what"
}

# The screen has stopped changing: this capture is the same picture as the one before it.
screen_still() {
    import -window root "$work/now.rgb" || return 1
    local same=1
    cmp -s "$work/now.rgb" "$work/before.rgb" 2>/dev/null && same=0
    mv "$work/now.rgb" "$work/before.rgb"
    return $same
}

# A screenshot once every change the program was asked for has been drawn.
still_shot() {
    rm -f "$work/before.rgb"
    wait_for "the window to be drawn" 20 screen_still
    shot "$1"
}

visible_window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1; }
window_shown() { [[ -n $(visible_window "$1") ]]; }
window_gone() { [[ -z $(visible_window "$1") ]]; }
all_exist() {
    local f
    for f in "$@"; do [[ -f $f ]] || return 1; done
}

# Places in the main window, in pixels from its top-left corner (the window is not resizable).
click() { xdotool mousemove --window "$main" "$1" "$2" click 1; }
click_encrypt_mode() { click 51 66; }
click_decrypt_mode() { click 151 66; }
click_add() { click 410 116; }
# The keyboard's focus first: right after a dialog closes, no window may have it yet, and keys typed then are lost.
click_key() {
    xdotool windowfocus --sync "$main"
    click 249 152
}
click_run() { click 37 199; }

# Answers the open-file dialog titled `title` by typing `text` into its file name box.
answer_dialog() {
    local title=$1
    shift
    wait_for "the dialog \"$title\"" 20 window_shown "^$title"
    local dialog
    dialog=$(visible_window "^$title")
    xdotool windowfocus --sync "$dialog"
    local text
    for text in "$@"; do
        xdotool type --delay 5 "$text"
        xdotool key Return
    done
    wait_for "the dialog \"$title\" to close" 20 window_gone "^$title"
}

# The key box shows text: right of where an empty box's cursor blinks, its pixels are not all alike.
key_shown() {
    import -window "$main" -crop 250x13+128+146 +repage "$work/keybox.png" 2>/dev/null &&
        (($(convert "$work/keybox.png" -format '%k' info:) > 1))
}

# Types `text` into the key box of the panel shown. Right after a dialog closes, keys may be lost until the window
# has the keyboard's focus, so the text is typed until the box shows some of it, then once more in whole.
type_key() {
    local text=$1 attempt
    for ((attempt = 1; attempt <= 5; ++attempt)); do
        click_key
        xdotool key ctrl+a BackSpace
        xdotool type --delay 20 "$text"
        if wait_until 2 key_shown; then
            click_key
            xdotool key ctrl+a BackSpace
            xdotool type --delay 20 "$text"
            return
        fi
        echo "road: the typed key did not reach the key box; typing it again"
    done
    fail "the typed key never reached the key box"
}

mkdir "$work/plain" "$work/copies" "$work/many"
cd "$work/plain"
reference make "$work/plain" a.txt:3000 "b c.bin:900" d.dat:300000

running() { kill -0 "$pid" 2>/dev/null || fail "the program ended early"; }
# The caption is exactly "Zafrel 1.0": nothing may be appended to it.
main_window_shown() { running && window_shown '^Zafrel 1\.0$'; }
start_program() {
    QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME= "$zafrel" &
    pid=$!
    wait_for "the main window" 30 main_window_shown
    main=$(visible_window '^Zafrel 1\.0$')
}

# Waits for the program to end and sets `status` to how it ended.
wait_program() {
    set +e
    wait "$pid"
    status=$?
    set -e
    pid=
}

start_program
# Keys for the key's characters beyond the keyboard layout, bound once while the program is connected (the X
# server forgets them when its last client leaves), long before they are typed.
python3 "$here/xwin.py" bind "$key"
xdotool windowfocus --sync "$main"

echo "road: encrypt three files chosen in the open-file dialog"
click_add
answer_dialog 'File to encrypt' '"a.txt" "b c.bin" "d.dat"'
type_key "$key"
still_shot 1-encrypt-ready
click_run
plain=("$work/plain/a.txt" "$work/plain/b c.bin" "$work/plain/d.dat")
encrypted=("${plain[@]/%/.enc}")
wait_for "the encrypted files" 60 all_exist "${encrypted[@]}"
still_shot 2-encrypted
for i in 0 1 2; do
    reference check "$key" "${plain[i]}" "${encrypted[i]}" || fail "encryption of ${plain[i]}"
done

echo "road: decrypt copies in decrypt mode"
cp "${encrypted[@]}" "$work/copies/"
click_decrypt_mode
click_add
answer_dialog 'File to Decrypt' "\"$work/copies/a.txt.enc\" \"$work/copies/b c.bin.enc\" \"$work/copies/d.dat.enc\""
type_key "$key"
click_run
decrypted=("$work/copies/a.txt" "$work/copies/b c.bin" "$work/copies/d.dat")
wait_for "the decrypted files" 60 all_exist "${decrypted[@]}"
still_shot 3-decrypted
for i in 0 1 2; do
    reference same "${plain[i]}" "${decrypted[i]}" || fail "decryption of ${encrypted[i]}"
done

echo "road: close the window during a run"
# Files of 1500 bytes stop at every byte, so a run over many of them lasts long enough to close it midway. The
# names sort in queue order, whichever order the dialog answers in.
count=150
entries=()
names=
for ((n = 1; n <= count; ++n)); do
    name=$(printf '%03d' "$n")
    entries+=("$name:1500")
    names+="\"$name\" "
done
reference make "$work/many" "${entries[@]}"
click_encrypt_mode
click_add
answer_dialog 'File to encrypt' "$work/many" "$names"
click_run
enc_count() { find "$work/many" -name '*.enc' | wc -l; }
started() { (($(enc_count) >= 3)); }
wait_for "the run to get going" 60 started
shot 4-closing-during-run
python3 "$here/xwin.py" close "$main"
closed_at=$SECONDS
wait_program
echo "road: exit status $status after $((SECONDS - closed_at))s"
((status == 0)) || fail "the program ended with status $status"
written=$(enc_count)
((written < count)) || fail "the run went on to the end after the window closed"
# Outputs are the first files of the queue, each whole; nothing else was left in the folder.
for ((n = 1; n <= written; ++n)); do
    name=$(printf '%03d' "$n")
    reference check "$key" "$work/many/$name" "$work/many/$name.enc" || fail "output of file $name"
done
leftovers=$(find "$work/many" -type f ! -regex '.*/[0-9]+' ! -regex '.*/[0-9]+\.enc')
[[ -z $leftovers ]] || fail "left behind: $leftovers"
for ((n = written + 1; n <= count; ++n)); do
    name=$(printf '%03d' "$n")
    [[ ! -e $work/many/$name.enc ]] || fail "file $name was written after an unwritten file"
done
echo "road: $written of $count files written before the close, no temporary file left"

# The file's bytes are in work once the program reads them, its output without a name yet. Seen through inotify: the
# open files of a program that may hold a key are closed to its user's other processes (root aside).
watch_reads() {
    inotifywait -e access "$1" 2>"$work/watch" >/dev/null &
    watcher=$!
    wait_for "the watch on $1" 10 grep -q 'Watches established' "$work/watch"
}
in_work() { ! kill -0 "$watcher" 2>/dev/null; }
mkdir "$work/big"
head -c 512M /dev/urandom >"$work/big/big.bin"
for signal in TERM KILL; do
    echo "road: SIG$signal in the middle of a large file"
    start_program
    xdotool windowfocus --sync "$main"
    click_add
    answer_dialog 'File to encrypt' "$work/big/big.bin"
    type_key kkkkkkkk
    watch_reads "$work/big/big.bin"
    click_run
    wait_for "the file to be in work" 60 in_work
    kill -s "$signal" "$pid"
    wait_program
    expected=0
    [[ $signal == KILL ]] && expected=$((128 + 9))
    ((status == expected)) || fail "the program ended with status $status after SIG$signal, not $expected"
    left=$(ls -A "$work/big")
    [[ $left == big.bin ]] || fail "after SIG$signal the folder holds: $left"
done
echo "road: after SIGTERM and SIGKILL the folder holds only the input"
echo "road: PASS"
