#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test: the whole suite in a release
# build, the engine suites and the recorded reads again on the engine's scalar paths alone, the
# engine suites (with every kept fuzz input) under AddressSanitizer and UndefinedBehaviorSanitizer,
# the API's reading threads under ThreadSanitizer, and last a cross-build of the engine and
# velmora-cli for arm64.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

# The SSE2 paths' scalar twins must give the same bits: the recorded reads check every field.
cmake -S . -B build-scalar -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_ENGINE_ONLY=ON -DVELMORA_BENCH=OFF \
  -DVELMORA_SIMD=OFF
cmake --build build-scalar -j"$jobs"
ctest --test-dir build-scalar -L 'engine|golden' --output-on-failure -j"$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_SANITIZE=ON -DVELMORA_ENGINE_ONLY=ON \
  -DVELMORA_BENCH=OFF
cmake --build build-asan -j"$jobs"
# Optimised and one at a time: the reader works against a 4-second budget per request, which an
# unoptimised sanitized build, or two of them sharing the cores, would eat into.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan -L engine --output-on-failure -j1

# Many threads reading at once read what one reads in turn, with no data race ThreadSanitizer sees.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_THREAD_SANITIZE=ON \
  -DVELMORA_ENGINE_ONLY=ON -DVELMORA_BENCH=OFF
cmake --build build-tsan -j"$jobs" --target api_tests
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan -R '^Reader' --output-on-failure -j1

# The engine must build where there is no SSE2 and long double is not the x86 type.
# (scripts/check-aarch64.sh without --compile-only also runs the tests under qemu-user.)
./scripts/check-aarch64.sh --compile-only
