#!/usr/bin/env bash
# From a fresh machine: installs what the build needs, builds the plug-in and installs
# "KELTO ZAVI.vst3" into ~/.vst3, where Linux hosts look for it.
# KELTO_BUILD_DIR chooses the build tree (default: build/ in the checkout).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="${KELTO_BUILD_DIR:-$root/build}"
# Lets ccache reuse objects across checkouts of the project.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"

while IFS='=' read -r key value; do
    case "$key" in
        KELTO_JUCE_DIR | KELTO_VST3_SDK_DIR | KELTO_VALIDATOR) export "$key=$value" ;;
    esac
done < <(bash "$root/scripts/fetch-deps.sh")

cmake -S "$root" -B "$build" \
    -DKELTO_JUCE_DIR="$KELTO_JUCE_DIR" \
    -DKELTO_VST3_SDK_DIR="$KELTO_VST3_SDK_DIR" \
    -DKELTO_VALIDATOR="$KELTO_VALIDATOR" \
    ${KELTO_CMAKE_ARGS:-}

cmake --build "$build" --target KeltoZavi_VST3 -j"$(nproc)"

bundle="$build/plugin/KeltoZavi_artefacts/Release/VST3/KELTO ZAVI.vst3"
mkdir -p "$HOME/.vst3"
rm -rf "$HOME/.vst3/KELTO ZAVI.vst3"
cp -a "$bundle" "$HOME/.vst3/"
echo "Installed $HOME/.vst3/KELTO ZAVI.vst3"
