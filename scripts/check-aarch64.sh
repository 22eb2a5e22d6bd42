#!/usr/bin/env bash
# Cross-builds the engine, the codecs and velmora-cli for arm64 (aarch64) and runs the engine,
# command line and recorded-reads tests under qemu-user.
#
#   scripts/check-aarch64.sh                 build everything of the engine-only tree and test it
#   scripts/check-aarch64.sh --compile-only  build the engine's layers, the codecs and velmora-cli
#
# The arm64 libraries come from Debian's archive into a sysroot laid out once by debootstrap
# (VELMORA_ARM64_SYSROOT, default /var/cache/velmora/arm64-sysroot); the host keeps its own
# development packages. Tests that start velmora-cli from a shell need the kernel to hand arm64
# programs to qemu (binfmt_misc); the script registers it when it may, and says so when not.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-all}
case "$mode" in all|--compile-only) ;; *) echo "usage: $0 [--compile-only]" >&2; exit 2 ;; esac
sysroot=${VELMORA_ARM64_SYSROOT:-/var/cache/velmora/arm64-sysroot}
export VELMORA_ARM64_SYSROOT=$sysroot
build=${VELMORA_ARM64_BUILD:-build-arm64}
if [ "$(id -u)" -eq 0 ]; then as_root=(); else as_root=(sudo); fi

# What the engine-only tree links, for arm64: OpenCV's four modules, the picture libraries, the
# IDN library, GoogleTest, and the C and C++ runtime to build against.
arm64_packages=libc6-dev,libstdc++-12-dev,libopencv-core-dev,libopencv-imgproc-dev,libopencv-imgcodecs-dev
arm64_packages+=,libopencv-videoio-dev,libgif-dev,libwmf-dev,libexpat1-dev,libjpeg62-turbo-dev,libpng-dev,libidn2-dev,libgtest-dev
if [ ! -f "$sysroot/.velmora-sysroot" ]; then
  echo "Laying out the arm64 sysroot in $sysroot (once; about 180 MB from the Debian archive)"
  "${as_root[@]}" rm -rf "$sysroot"
  "${as_root[@]}" mkdir -p "$sysroot"
  mirror=$(sed -n 's/^URIs: *\(http[^ ]*\/debian\)$/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1)
  # Only the packages' files are needed, never their scripts: unpack every one of them.
  "${as_root[@]}" debootstrap --foreign --arch=arm64 --variant=minbase --include="$arm64_packages" \
    bookworm "$sysroot" "${mirror:-http://deb.debian.org/debian}" > "$sysroot.log"
  for deb in "$sysroot"/var/cache/apt/archives/*.deb; do "${as_root[@]}" dpkg-deb -x "$deb" "$sysroot"; done
  # BLAS and LAPACK reach their usual names through alternatives, which unpacking does not set.
  libdir=$sysroot/usr/lib/aarch64-linux-gnu
  for lib in blas lapack; do
    [ -e "$libdir/lib$lib.so.3" ] || "${as_root[@]}" ln -s "$lib/lib$lib.so.3" "$libdir/lib$lib.so.3"
  done
  "${as_root[@]}" touch "$sysroot/.velmora-sysroot"
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/scripts/aarch64/toolchain.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DVELMORA_ENGINE_ONLY=ON -DVELMORA_BENCH=OFF
if [ "$mode" = --compile-only ]; then
  cmake --build "$build" -j"$(nproc)" --target velmora_decode velmora_codecs velmora-cli
  file "$build/bin/velmora-cli"
  exit 0
fi
cmake --build "$build" -j"$(nproc)"

binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/register" ]; then "${as_root[@]}" mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || true; fi
if [ -e "$binfmt/register" ] && [ ! -e "$binfmt/qemu-aarch64" ] && [ -f /usr/lib/binfmt.d/qemu-aarch64.conf ]; then
  "${as_root[@]}" sh -c "cat /usr/lib/binfmt.d/qemu-aarch64.conf > $binfmt/register" || true
fi
labels='engine|cli|golden'
if [ ! -e "$binfmt/qemu-aarch64" ]; then
  echo "binfmt_misc is not available: the tests that start velmora-cli from a shell are left out" >&2
  labels='engine'
fi
export QEMU_LD_PREFIX=$sysroot
start=$(date +%s)
ctest --test-dir "$build" -L "$labels" --output-on-failure -j"$(nproc)"
echo "arm64 tests under qemu-user took $(( $(date +%s) - start )) s"
