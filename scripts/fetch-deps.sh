#!/usr/bin/env bash
# Installs the build's Debian packages (only those missing), fetches JUCE 8.0.6
# and Steinberg's VST3 SDK from Debian 13's source packages into a cache outside
# the work tree, and builds the SDK's validator. Safe to run again: finished
# steps are skipped.
#
# Prints nothing on stdout but "KEY=value" lines that the build scripts read:
#   KELTO_JUCE_DIR, KELTO_VST3_SDK_DIR, KELTO_VALIDATOR
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cache="${KELTO_CACHE:-$HOME/.cache/kelto}"
mkdir -p "$cache"
log() { printf '[deps] %s\n' "$*" >&2; }

# ---------------------------------------------------------------- packages ---
packages=(
    build-essential cmake pkg-config ccache curl dpkg-dev xz-utils
    libx11-dev libxinerama-dev libxrandr-dev libxcursor-dev libxext-dev
    libfreetype-dev libfontconfig1-dev libasound2-dev libpng-dev libjpeg-dev zlib1g-dev
    libgtest-dev libbenchmark-dev xvfb xauth
    clang libclang-rt-14-dev
    fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    log "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq >&2 || true
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi

# ------------------------------------------------ private apt for trixie ---
# Reads the Debian mirror from the machine's own apt configuration; the
# machine's sources are never changed.
aptdir="$cache/apt"
mkdir -p "$aptdir/lists/partial" "$aptdir/sources.d"

mirror=""
for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    mirror=$(awk '/^URIs:/ { for (i = 2; i <= NF; i++) if ($i !~ /security/) { print $i; exit } }' "$f")
    [ -n "$mirror" ] && break
done
if [ -z "$mirror" ] && [ -f /etc/apt/sources.list ]; then
    mirror=$(awk '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) { if ($i !~ /security/) { print $i; exit } } }' /etc/apt/sources.list)
fi
[ -n "$mirror" ] || { log "no Debian mirror found in /etc/apt"; exit 1; }

echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror trixie main" >"$aptdir/sources.list"
aptopts=(-o "Dir::Etc::SourceList=$aptdir/sources.list"
         -o "Dir::Etc::SourceParts=$aptdir/sources.d"
         -o "Dir::State::Lists=$aptdir/lists"
         -o "APT::Sandbox::User=root")

lists_ready=0
update_lists() {
    if [ "$lists_ready" = 0 ]; then
        log "reading Debian 13 source index"
        apt-get "${aptopts[@]}" -qq update >&2
        lists_ready=1
    fi
}

verify() { # file sha256
    echo "$2  $1" | sha256sum --quiet -c - >&2 || { log "checksum mismatch: $1"; rm -f "$1"; exit 1; }
}

# -------------------------------------------------------------------- JUCE ---
juce_version="8.0.6+ds-2"
juce_orig_sha="4126ec8066866a1ccbc9cdd2beac712fd51e55ac7f24d8fdc45077b187a358ef"
juce_dir="$cache/juce-8.0.6"

if [ ! -f "$juce_dir/CMakeLists.txt" ]; then
    update_lists
    mkdir -p "$cache/src/juce"
    (
        cd "$cache/src/juce"
        log "fetching juce $juce_version"
        apt-get "${aptopts[@]}" -qq source --download-only "juce=$juce_version" >&2
        verify juce_8.0.6+ds.orig.tar.xz "$juce_orig_sha"
        rm -rf "$juce_dir.tmp"
        dpkg-source --no-check -x "juce_$juce_version.dsc" "$juce_dir.tmp" >&2
    )
    rm -f "$cache/juce_8.0.6+ds.orig.tar.xz" # dpkg-source leaves a copy beside the tree
    mv "$juce_dir.tmp" "$juce_dir"
fi

# Our fixes to JUCE, applied once to the cached tree.
for fix in "$root"/cmake/patches/juce-*.patch; do
    [ -f "$fix" ] || continue
    if ! patch -d "$juce_dir" -p1 -R --dry-run -s -f <"$fix" >/dev/null 2>&1; then
        log "applying $(basename "$fix")"
        patch -d "$juce_dir" -p1 -s -f <"$fix" >&2
    fi
done

# ---------------------------------------------------------------- VST3 SDK ---
# The archive may refuse the .dsc, so the tarballs are fetched one by one and
# checked against the hashes of the signed source index.
sdk_version="3.7.10.14+~4.13.3-4"
sdk_dir="$cache/vst3sdk-3.7.10"

if [ ! -f "$sdk_dir/CMakeLists.txt" ]; then
    update_lists
    mkdir -p "$cache/src/vst3sdk"
    (
        cd "$cache/src/vst3sdk"
        log "fetching vst3sdk $sdk_version"
        apt-get "${aptopts[@]}" -qq source --print-uris "vst3sdk=$sdk_version" 2>/dev/null |
            awk -F"'" '/orig.*\.tar/ { split($3, a, " "); print $2, a[1], a[3] }' |
            while read -r uri name hash; do
                hash="${hash#SHA256:}"
                if [ ! -f "$name" ] || ! echo "$hash  $name" | sha256sum --quiet -c - >/dev/null 2>&1; then
                    curl -fsSL -o "$name" "$uri"
                fi
                verify "$name" "$hash"
            done
        rm -rf "$sdk_dir.tmp"
        mkdir -p "$sdk_dir.tmp"
        tar -xzf vst3sdk_*.orig.tar.gz -C "$sdk_dir.tmp" --strip-components=1
        for comp in base cmake pluginterfaces public-sdk vstgui4; do
            dest="$comp"
            [ "$comp" = public-sdk ] && dest=public.sdk
            rm -rf "$sdk_dir.tmp/$dest"
            mkdir -p "$sdk_dir.tmp/$dest"
            tar -xzf vst3sdk_*.orig-"$comp".tar.gz -C "$sdk_dir.tmp/$dest" --strip-components=1
        done
        # Only the validator is needed: keep the GUI hosting samples out so
        # that no GUI libraries are required.
        hosting="$sdk_dir.tmp/public.sdk/samples/vst-hosting/CMakeLists.txt"
        if [ -f "$hosting" ]; then
            printf 'add_subdirectory(validator)\n' >"$hosting"
        fi
    )
    mv "$sdk_dir.tmp" "$sdk_dir"
fi

validator="$cache/vst3sdk-build/bin/validator"
if [ ! -x "$validator" ]; then
    log "building the VST3 validator"
    cmake -S "$sdk_dir" -B "$cache/vst3sdk-build" -DCMAKE_BUILD_TYPE=Release \
        -DSMTG_ENABLE_VSTGUI_SUPPORT=OFF -DSMTG_ADD_VSTGUI=OFF \
        -DSMTG_ENABLE_VST3_PLUGIN_EXAMPLES=OFF -DSMTG_ENABLE_VST3_HOSTING_EXAMPLES=ON \
        -DSMTG_RUN_VST_VALIDATOR=OFF -DSMTG_CREATE_PLUGIN_LINK=OFF \
        -DCMAKE_RUNTIME_OUTPUT_DIRECTORY="$cache/vst3sdk-build/bin" >&2
    cmake --build "$cache/vst3sdk-build" --target validator -j"$(nproc)" >&2
    found=$(find "$cache/vst3sdk-build" -type f -name validator -perm -u+x | head -n 1)
    [ -n "$found" ] || { log "validator was not built"; exit 1; }
    [ "$found" = "$validator" ] || { mkdir -p "$(dirname "$validator")"; cp "$found" "$validator"; }
fi

echo "KELTO_JUCE_DIR=$juce_dir"
echo "KELTO_VST3_SDK_DIR=$sdk_dir"
echo "KELTO_VALIDATOR=$validator"
