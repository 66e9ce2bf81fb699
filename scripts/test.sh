#!/usr/bin/env bash
# Sets up and builds everything as scripts/setup.sh does, then builds and runs every test:
# the main tree (unit tests, bundle tests, validator) and a second tree built with clang,
# AddressSanitizer and UndefinedBehaviorSanitizer (unit tests, bundle tests, a short fuzz run),
# then a third tree built with clang and ThreadSanitizer for the thread-stress test alone.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="${KELTO_BUILD_DIR:-$root/build}"
# Lets ccache reuse objects across checkouts of the project.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
asan="${KELTO_ASAN_BUILD_DIR:-$root/build-asan}"
tsan="${KELTO_TSAN_BUILD_DIR:-$root/build-tsan}"
jobs=$(nproc)

bash "$root/scripts/setup.sh"

while IFS='=' read -r key value; do
    case "$key" in
        KELTO_JUCE_DIR | KELTO_VST3_SDK_DIR | KELTO_VALIDATOR) export "$key=$value" ;;
    esac
done < <(bash "$root/scripts/fetch-deps.sh")

cmake --build "$build" -j"$jobs"

cmake -S "$root" -B "$asan" \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DKELTO_SANITIZERS=address,undefined -DKELTO_FUZZ=ON \
    -DKELTO_JUCE_DIR="$KELTO_JUCE_DIR" \
    -DKELTO_VST3_SDK_DIR="$KELTO_VST3_SDK_DIR" \
    ${KELTO_CMAKE_ARGS:-} >/dev/null
cmake --build "$asan" -j"$jobs"

status=0
ctest --test-dir "$build" --output-on-failure -j"$jobs" ${KELTO_CTEST_ARGS:-} || status=1
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$asan" --output-on-failure -j"$jobs" ${KELTO_CTEST_ARGS:-} || status=1

# Its suppressions and options come with the test's own properties.
cmake -S "$root" -B "$tsan" \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DKELTO_SANITIZERS=thread -DKELTO_BUNDLE_TESTS=OFF \
    -DKELTO_JUCE_DIR="$KELTO_JUCE_DIR" \
    ${KELTO_CMAKE_ARGS:-} >/dev/null
cmake --build "$tsan" --target kelto_stress_tests -j"$jobs"
ctest --test-dir "$tsan" -L stress --output-on-failure || status=1
exit $status
