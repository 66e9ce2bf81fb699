#!/usr/bin/env bash
# Builds the soak program in the main tree and runs it: ten minutes of 48 kHz audio with
# random block sizes, automation and program changes, processed as fast as the machine goes.
# Arguments are passed on (the first: seconds of audio, at least 120). KELTO_BUILD_DIR
# chooses the build tree (default: build/ in the checkout), as for scripts/setup.sh.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="${KELTO_BUILD_DIR:-$root/build}"

if [ ! -f "$build/CMakeCache.txt" ]; then
    while IFS='=' read -r key value; do
        case "$key" in
            KELTO_JUCE_DIR | KELTO_VST3_SDK_DIR | KELTO_VALIDATOR) export "$key=$value" ;;
        esac
    done < <(bash "$root/scripts/fetch-deps.sh")

    cmake -S "$root" -B "$build" -DKELTO_JUCE_DIR="$KELTO_JUCE_DIR" ${KELTO_CMAKE_ARGS:-} >/dev/null
fi

cmake --build "$build" --target kelto_soak -j"$(nproc)"
exec "$build/bench/kelto_soak" "$@"
