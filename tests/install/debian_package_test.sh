#!/usr/bin/env bash
# Builds the Debian packages with CPack and checks them against the install tree: velmora and
# libvelmora-dev hold between them the same files under /usr, the headers and links for building
# in the -dev package alone, a control file whose Depends names the runtime libraries (Qt 6,
# OpenCV, giflib, libwmf) and no development or build package, libvelmora.so.1 with its shlibs
# entry, and programs that run from the unpacked package.
# Usage: debian_package_test.sh CMAKE BUILD_DIR VERSION
set -euo pipefail

cmake=$1
build=$2
version=$3
cpack="$(dirname "$cmake")/cpack"

for tool in "$cpack" dpkg-deb dpkg-shlibdeps dpkg-query file readelf; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed"
    exit 77
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work/package" > "$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack failed"; }
debs=("$work"/package/*.deb)
[ "${#debs[@]}" -eq 2 ] || fail "cpack made not two .deb files: ${debs[*]}"
deb=$(ls "$work"/package/velmora_*.deb)
dev_deb=$(ls "$work"/package/libvelmora-dev_*.deb)
echo "ok: cpack made $(basename "$deb") and $(basename "$dev_deb")"

field() { dpkg-deb -f "$deb" "$1"; }
for package in "$deb" "$dev_deb"; do
  [ "$(dpkg-deb -f "$package" Version)" = "$version" ] || fail "$(basename "$package"): Version is not $version"
  [ "$(dpkg-deb -f "$package" Architecture)" = "$(dpkg --print-architecture)" ] || fail "$(basename "$package"): Architecture"
done
[ "$(field Package)" = velmora ] || fail "Package is '$(field Package)'"
[ "$(dpkg-deb -f "$dev_deb" Package)" = libvelmora-dev ] || fail "the -dev Package is '$(dpkg-deb -f "$dev_deb" Package)'"
grep -q "velmora (= $version)" <<< "$(dpkg-deb -f "$dev_deb" Depends)" || fail "libvelmora-dev does not depend on velmora (= $version)"
dpkg-deb -I "$deb" shlibs 2>/dev/null | grep -q '^libvelmora 1 velmora' || fail "velmora has no shlibs entry for libvelmora.so.1"

# The package holds exactly what cmake --install lays out under /usr.
DESTDIR="$work/root" "$cmake" --install "$build" --prefix /usr > /dev/null || fail "cmake --install failed"
(cd "$work/root" && find . ! -type d | sed 's|^\./|/|' | sort) > "$work/installed.txt"
contents() { dpkg-deb -c "$1" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' | sort; }
contents "$deb" > "$work/packaged.txt"
contents "$dev_deb" > "$work/packaged-dev.txt"
sort "$work/packaged.txt" "$work/packaged-dev.txt" | diff "$work/installed.txt" - > "$work/files.diff" \
  || { cat "$work/files.diff"; fail "the packages and the install tree differ"; }
grep -qx /usr/bin/velmora "$work/packaged.txt" && grep -qx /usr/share/velmora/Lan_Ch.ini "$work/packaged.txt" \
  && grep -q '/libvelmora\.so\.1$' "$work/packaged.txt" || fail "velmora lacks the programs, Lan_Ch.ini or libvelmora.so.1"
grep -qx /usr/include/velmora/reader.h "$work/packaged-dev.txt" && grep -q '/libvelmora\.so$' "$work/packaged-dev.txt" \
  && grep -q '/pkgconfig/velmora\.pc$' "$work/packaged-dev.txt" && grep -q '/cmake/Velmora/VelmoraConfig\.cmake$' "$work/packaged-dev.txt" \
  || fail "libvelmora-dev lacks the headers, the libvelmora.so link, velmora.pc or the CMake package"
if grep -E '/include/|/libvelmora\.so$|pkgconfig|/cmake/' "$work/packaged.txt"; then fail "velmora holds files for building"; fi
echo "ok: the packages hold the $(wc -l < "$work/installed.txt") installed files, $(wc -l < "$work/packaged-dev.txt") of them in libvelmora-dev"

# Depends: the runtime libraries the programs link against, each a real package, nothing from
# the build.
depends=$(field Depends)
names=$(tr ',|' '\n\n' <<< "$depends" | sed 's/(.*)//; s/^ *//; s/ *$//' | sed '/^$/d' | sort -u)
for wanted in '^libqt6widgets6' '^libqt6core6' '^libqt6svg6' '^libopencv-core' '^libopencv-imgcodecs' '^libgif7' '^libwmf'; do
  grep -q "$wanted" <<< "$names" || fail "Depends lacks ${wanted#^}: $depends"
done
# Every library the packaged programs, codec modules and libvelmora load comes from a package that
# Depends names.
dpkg-deb -x "$deb" "$work/unpacked"
for program in "$work/unpacked/usr/bin/velmora" "$work/unpacked/usr/bin/velmora-cli" \
               $(find "$work/unpacked/usr/lib" \( -name 'velmora_*.so' -o -name 'libvelmora.so.*' \) -type f); do
  for library in $(readelf -d "$program" | awk '/NEEDED/ { gsub(/[][]/, "", $5); print $5 }'); do
    owners=$(dpkg -S "*/$library" 2>/dev/null | sed 's/: .*//' | tr ',' '\n' | sed 's/:.*//; s/ //g' | sort -u)
    [ -n "$owners" ] || fail "no installed package holds $library"
    comm -12 <(echo "$owners") <(echo "$names") | grep -q . || fail "$(basename "$program") loads $library, but Depends names none of: $owners"
  done
done
if grep -E -e '-dev$' -e '^(build-essential|cmake|ninja-build|pkg-config|g\+\+|gcc|clang)' <<< "$names"; then
  fail "Depends names build packages: $depends"
fi
while read -r name; do
  dpkg-query -W "$name" > /dev/null 2>&1 || fail "Depends names $name, which is no package here"
done <<< "$names"
echo "ok: Depends names $(wc -l <<< "$names") runtime packages and no build package"

# The programs from the unpacked package run.
[ "$("$work/unpacked/usr/bin/velmora-cli" --version)" = "velmora-cli $version" ] || fail "the packaged velmora-cli --version"
[ "$(env -u DISPLAY "$work/unpacked/usr/bin/velmora" --version)" = "velmora $version" ] || fail "the packaged velmora --version"
text="From the Debian package"
"$work/unpacked/usr/bin/velmora-cli" encode -o "$work/symbol.bmp" "$text" 2> /dev/null || fail "the packaged encode failed"
[ "$("$work/unpacked/usr/bin/velmora-cli" decode --raw "$work/symbol.bmp")" = "$text" ] || fail "the packaged decode failed"
if file "$work/unpacked/usr/bin/velmora" | grep -q 'not stripped'; then fail "the packaged velmora is not stripped"; fi
echo "ok: the packaged programs run"
