#!/usr/bin/env bash
# Installs the build into a temporary prefix and builds the README's example program against
# the installed library twice, with `pkg-config velmora` and with find_package(Velmora): each
# must write a symbol with the API's writer and read its text back with the reader. Checks
# the library's SONAME, that it exports the C++ API and nothing else, and that it loads no
# OpenCV picture codecs.
# Usage: installed_library_test.sh CMAKE BUILD_DIR SOURCE_DIR VERSION
set -euo pipefail

cmake=$1
build=$2
source=$3
version=$4

for tool in pkg-config c++ nm readelf c++filt; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed"
    exit 77
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

prefix="$work/prefix"
"$cmake" --install "$build" --prefix "$prefix" > "$work/install.log" || { cat "$work/install.log"; fail "cmake --install failed"; }
pc=$(find "$prefix" -name velmora.pc)
[ -n "$pc" ] || fail "no velmora.pc in the installed tree"
libdir=$(dirname "$(dirname "$pc")")
for file in include/velmora/reader.h include/velmora/writer.h; do
  [ -s "$prefix/$file" ] || fail "$file is missing from the installed tree"
done
[ -L "$libdir/libvelmora.so" ] && [ -L "$libdir/libvelmora.so.1" ] || fail "libvelmora.so and libvelmora.so.1 are not links"
echo "ok: headers, library, velmora.pc and the CMake package are installed"

library=$(readlink -f "$libdir/libvelmora.so")
soname=$(readelf -d "$library" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = libvelmora.so.1 ] || fail "the SONAME is '$soname'"
# Every symbol the library defines for others is the API's: velmora:: functions of the headers.
exported=$(nm -D --defined-only "$library" | awk '$2 != "A" { $1 = ""; $2 = ""; print }' | c++filt | sed 's/^ *//')
[ -n "$exported" ] || fail "the library exports nothing"
others=$(grep -v -E '^velmora::(readSymbols|writeSymbol|bytesPerPixel|ImageView::)' <<< "$exported" || true)
[ -z "$others" ] || fail "the library exports more than the API: $(head -5 <<< "$others")"
if readelf -d "$library" | grep -E 'NEEDED.*(imgcodecs|gdal|videoio|Qt)'; then fail "the library loads picture codecs or Qt"; fi
echo "ok: $soname exports $(wc -l <<< "$exported") API symbols and nothing else"

# The README's example, the one C++ block that includes velmora/reader.h.
awk '/^```cpp$/ { block = ""; inside = 1; next }
     /^```$/ && inside { inside = 0; if (block ~ /velmora\/reader\.h/) { printf "%s", block; exit } next }
     inside { block = block $0 "\n" }' "$source/README.md" > "$work/example.cpp"
[ -s "$work/example.cpp" ] || fail "README.md has no example program"
expected="Hello from Velmora"
grep -q "\"$expected\"" "$work/example.cpp" || fail "the README's example does not write \"$expected\""

# pkg-config, as a Makefile would use it.
export PKG_CONFIG_PATH="$libdir/pkgconfig"
[ "$(pkg-config --modversion velmora)" = "$version" ] || fail "pkg-config gives version $(pkg-config --modversion velmora)"
# shellcheck disable=SC2046
c++ -std=c++17 -Wall -Wextra -o "$work/example-pkg-config" "$work/example.cpp" $(pkg-config --cflags --libs velmora) \
  || fail "the example does not build with pkg-config velmora"
out=$(LD_LIBRARY_PATH="$libdir" "$work/example-pkg-config") || fail "the example built with pkg-config failed"
[[ "$out" == "$expected"* ]] || fail "the example built with pkg-config printed '$out'"
echo "ok: built with pkg-config velmora, the example prints: $out"

# find_package(Velmora), as a CMake project would use it; the version file takes 1.x, not 2.
mkdir -p "$work/cmake-project"
cp "$work/example.cpp" "$work/cmake-project/"
cat > "$work/cmake-project/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.16)
project(velmora_example CXX)
find_package(Velmora 1 REQUIRED)
add_executable(example example.cpp)
target_link_libraries(example PRIVATE Velmora::velmora)
CMAKE
"$cmake" -S "$work/cmake-project" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" > "$work/cmake.log" 2>&1 \
  || { cat "$work/cmake.log"; fail "find_package(Velmora) failed"; }
"$cmake" --build "$work/cmake-build" > "$work/cmake-build.log" 2>&1 || { cat "$work/cmake-build.log"; fail "the example does not build with Velmora::velmora"; }
out=$("$work/cmake-build/example") || fail "the example built with find_package failed"
[[ "$out" == "$expected"* ]] || fail "the example built with find_package printed '$out'"
echo "ok: built with find_package(Velmora), the example prints: $out"
sed -i 's/find_package(Velmora 1 REQUIRED)/find_package(Velmora 2 REQUIRED)/' "$work/cmake-project/CMakeLists.txt"
if "$cmake" -S "$work/cmake-project" -B "$work/cmake-build-2" -DCMAKE_PREFIX_PATH="$prefix" > /dev/null 2>&1; then
  fail "find_package(Velmora 2) accepts version $version"
fi
echo "ok: find_package(Velmora 2) refuses version $version"
