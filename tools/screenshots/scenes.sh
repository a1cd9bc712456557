#!/usr/bin/env bash
# Runs inside the virtual X server (see take.sh): one scene per screenshot.
set -euo pipefail
out=$1
openbox >/dev/null 2>&1 &
sleep 1
${WIKABAY_BIN:-build/bin/wikabay} &
app=$!
sleep 2.5
win() { xdotool search --sync --onlyvisible --name "$1" | head -1; }
shot() { import -window root "$out/$1"; }

shot menu.png
xdotool windowactivate --sync "$(win '^Wikabay$')" key d
sleep 1.5
shot dictionary.png
xdotool type --delay 60 'araw'
xdotool key Return
sleep 1.5
shot dictionary-search.png
kill "$app"
