#!/usr/bin/env bash
# Prepares the bundled sample tables for the current user: imports data/*.csv as protected tables
# into the per-user data folder and points the alias Wikabay at it. A table file that already
# exists is never overwritten. When the alias Wikabay exists already, it is left as it is, and
# only bundled tables missing from its folder are added (for example the spelling variants, which
# came later).
set -euo pipefail
cd "$(dirname "$0")/.."
admin=build/bin/wikabay-admin
password=58rmrm31
# TABLE:FILE for each bundled table.
tables=(Tagalog:data/Tagalog.csv Expressions1:data/Expressions1.csv Internet:data/Internet.csv
    Variants:data/variants.csv)

# import_missing ALIAS FOLDER: imports each bundled table that FOLDER does not hold yet.
import_missing() {
    for entry in "${tables[@]}"; do
        table=${entry%%:*}
        csv=${entry#*:}
        if [ -n "$(find "$2" -maxdepth 1 -iname "$table.db" -print -quit)" ]; then
            continue
        fi
        # The dictionary's notes are never searched: its index leaves them out.
        searched=()
        if [ "$table" = Tagalog ]; then
            searched=(--search-fields Tagalo,ActiveVerb,PassiveVerb,English,L2Definition,Examples)
        fi
        "$admin" import --alias "$1" --password "$password" "${searched[@]}" "$table" "$csv"
    done
}

existing=$("$admin" alias list | awk -F'\t' 'tolower($1) == "wikabay" { print $2; exit }')
if [ -n "$existing" ]; then
    if [ -d "$existing" ]; then
        import_missing Wikabay "$existing"
    fi
    exit 0
fi

folder="${XDG_DATA_HOME:-$HOME/.local/share}/wikabay/tables"
mkdir -p "$folder"
# Import into a temporary alias first, so that the alias Wikabay only appears once every table is
# in place.
"$admin" alias set WikabaySetup "$folder"
import_missing WikabaySetup "$folder"
"$admin" alias set Wikabay "$folder"
"$admin" alias remove WikabaySetup
echo "The alias Wikabay now names $folder" >&2
