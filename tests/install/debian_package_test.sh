#!/usr/bin/env bash
# Builds the Debian package with CPack and checks it against the install tree: the same files
# under /usr, a control file whose Depends names the runtime libraries (Qt 6, OpenCV, giflib,
# libwmf) and no development or build package, and programs that run from the unpacked package.
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
[ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single .deb: ${debs[*]}"
deb=${debs[0]}
echo "ok: cpack made $(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = velmora ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', wanted $version"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is '$(field Architecture)'"

# The package holds exactly what cmake --install lays out under /usr.
DESTDIR="$work/root" "$cmake" --install "$build" --prefix /usr > /dev/null || fail "cmake --install failed"
(cd "$work/root" && find . -type f | sed 's|^\./|/|' | sort) > "$work/installed.txt"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' | sort > "$work/packaged.txt"
diff "$work/installed.txt" "$work/packaged.txt" > "$work/files.diff" || { cat "$work/files.diff"; fail "the package and the install tree differ"; }
grep -qx /usr/bin/velmora "$work/packaged.txt" && grep -qx /usr/share/velmora/Lan_Ch.ini "$work/packaged.txt" \
  || fail "the package lacks /usr/bin/velmora or /usr/share/velmora/Lan_Ch.ini"
echo "ok: the package holds the $(wc -l < "$work/packaged.txt") installed files"

# Depends: the runtime libraries the programs link against, each a real package, nothing from
# the build.
depends=$(field Depends)
names=$(tr ',|' '\n\n' <<< "$depends" | sed 's/(.*)//; s/^ *//; s/ *$//' | sed '/^$/d' | sort -u)
for wanted in '^libqt6widgets6' '^libqt6core6' '^libqt6svg6' '^libopencv-core' '^libopencv-imgcodecs' '^libgif7' '^libwmf'; do
  grep -q "$wanted" <<< "$names" || fail "Depends lacks ${wanted#^}: $depends"
done
# Every library the packaged programs load comes from a package that Depends names.
dpkg-deb -x "$deb" "$work/unpacked"
for program in "$work/unpacked/usr/bin/velmora" "$work/unpacked/usr/bin/velmora-cli"; do
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
