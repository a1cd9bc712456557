#!/usr/bin/env bash
# Runs inside the virtual X server (see take.sh): one scene per screenshot.
#   scenes.sh OUT-DIR [SCENE...]   SCENE: about dictionary expressions internet help (all of them,
#                                  in this order, when none is named)
set -euo pipefail
out=$1
shift
scenes=${*:-about dictionary expressions internet help}
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
closeAbout() {
    xdotool windowactivate --sync "$(win "^About this program$")" key Escape
    sleep 0.5
}

# The About window shows itself one second after start; the other scenes begin without it.
about_scene() {
    shot about.png 1024x768+0+0
    closeAbout
    shot menu.png 280x240+0+0
}
[[ " $scenes " == *" about "* ]] || closeAbout

dictionary_scene() {
    menu
    xdotool key d
    sleep 1.5
    shot dictionary.png 740x540+0+0
    xdotool type --delay 60 'araw'
    xdotool key Return
    sleep 1.5
    shot dictionary-search.png 740x540+0+0
    # A search that finds nothing: the empty list offers what the learner may have meant.
    xdotool key ctrl+a
    xdotool type --delay 60 'lulutuin'
    xdotool key Return
    sleep 1.5
    shot dictionary-suggestions.png 740x300+0+0
    xdotool key Escape
}

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
expressions_scene() {
    scene e '^Wikabay - Expressions' 128 50 expressions.png 920x700+0+0 # the topic "Food"
    xdotool key Escape
}
internet_scene() {
    scene i '^Wikabay - Internet' 60 72 internet.png 380x620+0+0 # the second website
    xdotool key Escape
}

# The menu's Help link opens the help viewer; its Index, narrowed to "web", opens the page of
# the keyword "Web addresses".
help_scene() {
    menu
    xdotool mousemove --window "$(win '^Wikabay$')" 213 10 click 1
    viewer=$(win '^Wikabay Help$')
    xdotool windowmove --sync "$viewer" 40 40 windowactivate --sync "$viewer"
    sleep 1
    xdotool key ctrl+Tab
    sleep 0.3
    xdotool type --delay 60 'web'
    xdotool key Return mousemove 1000 740
    sleep 1
    shot help-viewer.png 940x720+0+0
}

for s in $scenes; do
    declare -F "${s}_scene" >/dev/null || { echo "No scene '$s'" >&2; kill "$app"; exit 2; }
    "${s}_scene"
done
kill "$app"
