#!/usr/bin/env bash
# Prepares the bundled sample tables for the current user: imports data/*.csv as protected tables
# into the per-user data folder and points the alias Wikabay at it. An existing alias Wikabay is
# left as it is, and a table file that already exists is never overwritten.
set -euo pipefail
cd "$(dirname "$0")/.."
admin=build/bin/wikabay-admin
password=58rmrm31

if "$admin" alias list | cut -f1 | grep -qix 'Wikabay'; then
    exit 0
fi

folder="${XDG_DATA_HOME:-$HOME/.local/share}/wikabay/tables"
mkdir -p "$folder"
# Import into a temporary alias first, so that the alias Wikabay only appears once every table is
# in place.
"$admin" alias set WikabaySetup "$folder"
for csv in data/Tagalog.csv data/Expressions1.csv data/Internet.csv; do
    table=$(basename "$csv" .csv)
    if [ -e "$folder/$table.db" ]; then
        echo "Keeping the existing table $folder/$table.db" >&2
        continue
    fi
    "$admin" import --alias WikabaySetup --password "$password" "$table" "$csv"
done
"$admin" alias set Wikabay "$folder"
"$admin" alias remove WikabaySetup
echo "The alias Wikabay now names $folder" >&2
