#!/usr/bin/env bash
# Runs inside the virtual X server (see take.sh): one scene per screenshot.
set -euo pipefail
out=$1
openbox >/dev/null 2>&1 &
sleep 1
${WIKABAY_BIN:-build/bin/wikabay} &
app=$!
sleep 2.5
# win TITLE-PATTERN: the window's id, waiting for it up to five seconds.
win() {
    for _ in $(seq 50); do
        id=$(xdotool search --onlyvisible --name "$1" | head -1 || true)
        [ -n "$id" ] && { echo "$id"; return; }
        sleep 0.1
    done
    import -window root "$out/missing-window.png"
    echo "No window named '$1' (see $out/missing-window.png)" >&2
    exit 1
}
# shot FILE WIDTHxHEIGHT+X+Y: the part of the screen that holds the windows of the scene.
shot() { import -window root -crop "$2" +repage "$out/$1"; }
menu() { xdotool windowactivate --sync "$(win '^Wikabay$')"; }

# The About window shows itself one second after start.
shot about.png 1024x768+0+0
xdotool windowactivate --sync "$(win "^About this program$")" key Escape
sleep 0.5
shot menu.png 280x240+0+0

menu
xdotool key d
sleep 1.5
shot dictionary.png 740x540+0+0
xdotool type --delay 60 'araw'
xdotool key Return
sleep 1.5
shot dictionary-search.png 740x540+0+0
xdotool key Escape

# scene LETTER TITLE-PATTERN X Y FILE AREA: opens a window from the menu by its letter, clicks
# at X,Y in it and takes the picture.
scene() {
    menu
    xdotool key "$1"
    sleep 1.5
    xdotool mousemove --window "$(win "$2")" "$3" "$4" click 1
    sleep 1
    shot "$5" "$6"
}

scene e '^Wikabay - Expressions' 128 50 expressions.png 920x700+0+0 # the topic "Food"
xdotool key Escape
scene i '^Wikabay - Internet' 60 72 internet.png 380x620+0+0 # the second website
kill "$app"
