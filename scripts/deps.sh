#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Wikabay need. Packages that are
# already present are not fetched again; apt-get update runs only when something is missing.
set -euo pipefail

packages=(
    g++ make cmake pkg-config
    libsqlite3-dev libicu-dev libssl-dev zlib1g-dev
    qt6-base-dev libgl-dev
    libgtest-dev
    fp-utils libchm-dev
    libhunspell-dev myspell-tl
    libpq-dev
    postgresql  # the server tests start a throw-away cluster of their own (initdb, pg_ctl)
    fonts-liberation
    sdcv  # the tests look words up in an exported dictionary with it
    python3  # the layout tests measure functions with a script
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}" >&2
    if [ "$(id -u)" -ne 0 ]; then
        echo "These Debian packages are missing and installing them needs root: ${missing[*]}" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
