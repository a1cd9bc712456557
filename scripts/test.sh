#!/usr/bin/env bash
# Builds everything and runs every test; then builds everything again with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/ and runs the tests once more (tests/sanitizers/run).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
ctest --test-dir build --output-on-failure -j "$(nproc)"
bash tests/sanitizers/run
