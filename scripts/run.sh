#!/usr/bin/env bash
# Builds Wikabay, prepares the bundled sample tables on first start, and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
bash scripts/setup-data.sh
exec build/bin/wikabay "$@"
