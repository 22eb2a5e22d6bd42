#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test: the whole suite in a release
# build, the engine suites and the recorded reads again on the engine's scalar paths alone, the
# engine suites (with every kept fuzz input) and the app's suites under AddressSanitizer and
# UndefinedBehaviorSanitizer, the API's reading threads under ThreadSanitizer, and last a
# cross-build of the engine and velmora-cli for arm64.
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

# The app's suites (offscreen, under Xvfb, and the camera's) under the same sanitizers, with leaks
# checked: the sanitized build grows the app, the programs and the tests those suites run, and
# keeps what the engine stage compiled. Every process the suites start, the programs they leave
# running in the background too, writes what a sanitizer reports into one folder, which must stay
# empty; the suppressions name only leaks inside the system's libraries.
app_targets=(velmora velmora-cli x_type_text camera_clip_writer fake_screenshot_portal app_ini_tests app_window_tests
  app_decode_tests app_read_actions_tests app_symbol_forms_tests app_portal_tests app_camera_tests ornament_window_tests
  app_history_tests app_network_tests fake_network_manager
  camera_device_tests camera_worker_tests)
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_SANITIZE=ON -DVELMORA_ENGINE_ONLY=OFF \
  -DVELMORA_BENCH=OFF
cmake --build build-asan -j"$jobs" --target "${app_targets[@]}"
reports=$PWD/build-asan/sanitizer-reports
rm -rf "$reports" && mkdir -p "$reports"
app_status=0
ASAN_OPTIONS=detect_leaks=1:log_path=$reports/asan \
LSAN_OPTIONS=suppressions=$PWD/tests/app/leak_suppressions.txt:print_suppressions=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:log_path=$reports/ubsan \
  ctest --test-dir build-asan -L 'app|camera' --output-on-failure -j1 || app_status=$?
if [ -n "$(ls -A "$reports")" ]; then
  cat "$reports"/*
  echo "the sanitizers reported faults in the app (above)"
  app_status=1
fi
[ "$app_status" = 0 ] || exit 1

# Many threads reading at once read what one reads in turn, with no data race ThreadSanitizer sees.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_THREAD_SANITIZE=ON \
  -DVELMORA_ENGINE_ONLY=ON -DVELMORA_BENCH=OFF
cmake --build build-tsan -j"$jobs" --target api_tests
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan -R '^Reader' --output-on-failure -j1

# The engine must build where there is no SSE2 and long double is not the x86 type.
# (scripts/check-aarch64.sh without --compile-only also runs the tests under qemu-user.)
./scripts/check-aarch64.sh --compile-only
