#!/usr/bin/env bash
# Installs what is missing and builds everything into build/ (executables in build/bin/).
# Warnings are errors, as in CI.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWIKABAY_WERROR=ON >/dev/null
cmake --build build -j "$(nproc)"
