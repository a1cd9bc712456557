#!/usr/bin/env bash
# Checks the source tree's house rules: which folder may include which, that the engine uses no
# Qt, and that no source file grows past 600 lines. Prints every breach and exits 1 when there is one.
set -uo pipefail
src="${1:?usage: check-layout.sh SRC_DIR}"
cd "$src" || exit 2
status=0
breach() {
    echo "$1" >&2
    status=1
}

# Folder (as a prefix of the file's path) and the include prefixes its files may use; the first
# rule that fits a file holds. The engine's parts run one way, down: tagalog -> sql -> search ->
# storage -> config -> base, with server beside storage (storage reaches a server through it). No
# part includes one above it, and nothing lies in the engine's root.
rules=(
    "engine/base/:engine/base/"
    "engine/config/:engine/config/ engine/base/"
    "engine/server/:engine/server/ engine/config/ engine/base/"
    "engine/storage/:engine/storage/ engine/server/ engine/config/ engine/base/"
    "engine/search/:engine/search/ engine/storage/ engine/config/ engine/base/"
    "engine/sql/:engine/sql/ engine/search/ engine/storage/ engine/server/ engine/config/ engine/base/"
    "engine/tagalog/:engine/tagalog/ engine/sql/ engine/search/ engine/storage/ engine/server/ engine/config/ engine/base/"
    "platform/:platform/"
    "ui/:ui/ platform/ engine/"
    "windows/:windows/ ui/ platform/ engine/"
    "Wikabay.cpp:windows/ ui/ platform/ engine/"
)

while IFS= read -r file; do
    allowed=""
    for rule in "${rules[@]}"; do
        if [[ "$file" == "${rule%%:*}"* ]]; then
            allowed="${rule#*:}"
            break
        fi
    done
    [ -n "$allowed" ] || breach "$file: in no folder of the layout"
    while IFS= read -r inc; do
        ok=0
        for prefix in $allowed; do
            if [[ "$inc" == "$prefix"* ]]; then
                ok=1
            fi
            if [ $ok -eq 1 ]; then
                ok=1
                break
            fi
        done
        [ $ok -eq 1 ] || breach "$file includes \"$inc\", which its folder may not use"
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file" | grep -v '\.moc$')
    if [[ "$file" == engine/* ]] && grep -qE '^#include <Q' "$file"; then
        breach "$file includes Qt; the engine uses none"
    fi
    lines=$(wc -l <"$file")
    [ "$lines" -le 600 ] || breach "$file has $lines lines; the limit is 600"
done < <(find . -name '*.h' -o -name '*.cpp' | sed 's|^\./||' | sort)
exit $status
