#!/usr/bin/env bash
# Takes the README's screenshots: starts the program under a virtual X server with a window
# manager, on its own configuration and the bundled sample data, drives it with xdotool and saves
# the pictures in docs/.
#   bash tools/screenshots/take.sh [SCENE...]   e.g. "take.sh help": only docs/help-viewer.png
# With WIKABAY_BIN set, that program is run as it is instead of the one built into build/.
set -euo pipefail
cd "$(dirname "$0")/../.."
for p in xvfb xauth imagemagick xdotool openbox; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=" $p"
done
if [ -n "${missing:-}" ]; then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing
fi
[ -n "${WIKABAY_BIN:-}" ] || bash scripts/build.sh >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
bash scripts/setup-data.sh 2>/dev/null
mkdir -p docs
xvfb-run -a -s "-screen 0 1024x768x24" bash tools/screenshots/scenes.sh "$PWD/docs" "$@"
echo "Screenshots are in docs/"
