#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test: the whole suite in a release
# build, then the engine suites again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_SANITIZE=ON -DVELMORA_ENGINE_ONLY=ON \
  -DVELMORA_BENCH=OFF
cmake --build build-asan -j"$jobs"
# Optimised and one at a time: the reader works against a 4-second budget per request, which an
# unoptimised sanitized build, or two of them sharing the cores, would eat into.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan -L engine --output-on-failure -j1
