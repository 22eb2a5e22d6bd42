#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the tree a desktop expects: the two
# programs, the shared data the app looks for, a desktop entry and AppStream metadata that the
# freedesktop validators accept, the icon and the manual pages. Then the installed velmora-cli
# writes a symbol and reads it back, and both programs tell their version.
# Usage: install_tree_test.sh CMAKE BUILD_DIR SOURCE_DIR VERSION APP_ID
set -euo pipefail

cmake=$1
build=$2
source=$3
version=$4
app_id=$5

for tool in desktop-file-validate appstreamcli groff; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

prefix="$work/prefix with space"
"$cmake" --install "$build" --prefix "$prefix" > "$work/install.log" || { cat "$work/install.log"; fail "cmake --install failed"; }

desktop="$prefix/share/applications/$app_id.desktop"
metainfo="$prefix/share/metainfo/$app_id.metainfo.xml"
for file in bin/velmora bin/velmora-cli share/velmora/Lan_Ch.ini share/velmora/qr_readme.pdf \
            "share/applications/$app_id.desktop" "share/metainfo/$app_id.metainfo.xml" \
            "share/icons/hicolor/scalable/apps/$app_id.svg" share/man/man1/velmora.1.gz share/man/man1/velmora-cli.1.gz; do
  [ -s "$prefix/$file" ] || fail "$file is missing from the installed tree"
done
[ -x "$prefix/bin/velmora" ] && [ -x "$prefix/bin/velmora-cli" ] || fail "the programs are not executable"
cmp -s "$source/data/Lan_Ch.ini" "$prefix/share/velmora/Lan_Ch.ini" || fail "the installed Lan_Ch.ini differs from data/Lan_Ch.ini"
[ "$(head -c 5 "$prefix/share/velmora/qr_readme.pdf")" = "%PDF-" ] || fail "qr_readme.pdf is not a PDF"
# The codec modules the programs open when a picture needs them, and the library with what
# building against it takes; nothing else from the build (tests, tools, static libraries).
for module in velmora_opencv_codecs.so velmora_wmf_codec.so; do
  [ -n "$(find "$prefix" -path "*/velmora/$module" -type f)" ] || fail "the codec module $module is not installed"
done
unexpected=$(cd "$prefix" && find . -type f | grep -v -E '^\./(bin/velmora|bin/velmora-cli|share/velmora/.*|share/applications/.*|share/metainfo/.*|share/icons/.*|share/man/man1/.*)$' \
  | grep -v -E '^\./lib(/[a-z0-9_-]+-linux-gnu)?/(velmora/velmora_(opencv_codecs|wmf_codec)\.so|libvelmora\.so\.[0-9.]+|pkgconfig/velmora\.pc|cmake/Velmora/[A-Za-z-]+\.cmake)$' \
  | grep -v -E '^\./include/velmora/(reader|writer)\.h$' || true)
[ -z "$unexpected" ] || fail "the install holds more than the program: $unexpected"
echo "ok: the installed tree"

# The freedesktop validators; appstreamcli fails on warnings as well as errors.
desktop-file-validate "$desktop" > "$work/desktop.txt" 2>&1 || { cat "$work/desktop.txt"; fail "desktop-file-validate rejects the desktop entry"; }
[ ! -s "$work/desktop.txt" ] || { cat "$work/desktop.txt"; fail "desktop-file-validate has remarks"; }
appstreamcli validate --no-net "$metainfo" > "$work/appstream.txt" 2>&1 || { cat "$work/appstream.txt"; fail "appstreamcli rejects the metadata"; }
echo "ok: desktop-file-validate and appstreamcli validate pass"

# The entry opens files with the program on its path and names the icon that is installed.
grep -qx 'Exec=velmora %F' "$desktop" || fail "the entry does not start 'velmora %F'"
grep -qx "Icon=$app_id" "$desktop" || fail "the entry names another icon"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" || fail "the metadata does not launch the entry"
# Every picture type offered must be a type the desktop knows, or file managers never offer us.
mime_types=$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n' | sed '/^$/d')
for type in image/png image/jpeg image/bmp image/gif image/tiff; do
  grep -qx "$type" <<< "$mime_types" || fail "MimeType= lacks $type"
done
if [ -f /usr/share/mime/types ]; then
  while read -r type; do
    grep -qx "$type" /usr/share/mime/types || fail "MimeType= names $type, which shared-mime-info does not know"
  done <<< "$mime_types"
fi
echo "ok: the entry opens $(wc -l <<< "$mime_types") picture types with velmora %F"

# The manual pages render without a warning (preconv reads them as UTF-8, as man does) and
# describe their program.
for page in velmora velmora-cli; do
  gzip -dc "$prefix/share/man/man1/$page.1.gz" > "$work/$page.1"
  groff -k -man -Tutf8 -ww -P-cbou "$work/$page.1" > "$work/$page.txt" 2> "$work/$page.warnings" || fail "groff cannot render $page.1"
  [ ! -s "$work/$page.warnings" ] || { cat "$work/$page.warnings"; fail "$page.1 has groff warnings"; }
  grep -q "$version" "$work/$page.txt" || fail "$page.1 does not name version $version"
done
grep -q 'charset' "$work/velmora-cli.txt" && grep -q 'EXIT STATUS' "$work/velmora-cli.txt" || fail "velmora-cli.1 lacks the options or exit status"
grep -q 'XDG_DATA_HOME' "$work/velmora.txt" || fail "velmora.1 does not say where the files are kept"
echo "ok: the manual pages render"

# Both programs tell their version; the app does so without a display.
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/velmora" --version)" = "velmora $version" ] || fail "velmora --version"
[ "$("$prefix/bin/velmora-cli" --version)" = "velmora-cli $version" ] || fail "velmora-cli --version"
echo "ok: velmora and velmora-cli --version print $version"

# The installed command line writes a symbol and reads it back.
text="Installed Velmora, ready to go"
"$prefix/bin/velmora-cli" encode --level M -o "$work/symbol.png" "$text" 2> "$work/encode.txt" || { cat "$work/encode.txt"; fail "encode failed"; }
decoded=$("$prefix/bin/velmora-cli" decode --raw "$work/symbol.png") || fail "decode failed"
[ "$decoded" = "$text" ] || fail "decoded '$decoded', wanted '$text'"
echo "ok: the installed velmora-cli writes and reads back a symbol"

# A BMP goes through OpenCV's codecs, which the installed program opens from its own prefix.
"$prefix/bin/velmora-cli" encode -o "$work/symbol.bmp" "$text" 2> /dev/null || fail "encode to BMP failed"
decoded=$(LD_DEBUG=files LD_DEBUG_OUTPUT="$work/loader" "$prefix/bin/velmora-cli" decode --raw "$work/symbol.bmp") || fail "decode of the BMP failed"
[ "$decoded" = "$text" ] || fail "decoded '$decoded' from the BMP, wanted '$text'"
grep -h 'file=.*velmora_opencv_codecs.so' "$work"/loader.* | grep -q "file=$prefix/" || fail "velmora-cli did not open the installed OpenCV codecs module"
echo "ok: the installed velmora-cli reads a BMP through the installed OpenCV codecs module"
