#!/usr/bin/env bash
# Builds and runs the benchmarks whose figures docs/performance.md records: the signal path
# against its floor (and with a denormal signal), the editor's paint cost, and instance
# creation, editor opening and memory through the built bundle (under Xvfb). Then the soak.
# KELTO_BUILD_DIR chooses the build tree (default: build/ in the checkout).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="${KELTO_BUILD_DIR:-$root/build}"

bash "$root/scripts/setup.sh" >/dev/null
cmake --build "$build" --target kelto_dsp_bench kelto_paint_bench kelto_instance_bench -j"$(nproc)"

echo "== machine"
lscpu | grep -E '^(Model name|CPU\(s\)|Thread|Core)' || true
echo
echo "== signal path"
"$build/bench/kelto_dsp_bench" --benchmark_min_time=0.3 --benchmark_color=false
echo
echo "== editor paint"
"$build/bench/kelto_paint_bench" --benchmark_color=false
echo
echo "== instances through the bundle"
xvfb-run -a "$build/tests/bundle/kelto_instance_bench"
echo
echo "== soak"
bash "$root/scripts/soak.sh"
