#!/usr/bin/env bash
# Sets up and builds everything as scripts/setup.sh does, then builds and runs every test.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="${KELTO_BUILD_DIR:-$root/build}"

bash "$root/scripts/setup.sh"
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" ${KELTO_CTEST_ARGS:-}
