#!/bin/sh
# Builds the micro-benchmarks (optimised) and prints their figures; any
# arguments go to each benchmark (--benchmark_format=json for figures a
# program reads). Not a test: nothing here passes or fails on a time.
set -e
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DCORVANTA_BENCH=ON -DCORVANTA_TESTS=OFF >/dev/null
cmake --build build-bench -j4
for bench in build-bench/bench/*/bench_*; do
  [ -x "$bench" ] && "$bench" "$@" 2>/dev/null
done
