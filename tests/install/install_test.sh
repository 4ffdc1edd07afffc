#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a user gets: both programs, the
# HUD font, the menu entry and the icons, and installed programs that find their resources
# without the source tree (the installed HUD is drawn with the shipped font, pixel for pixel
# like the build's).
#
# install_test.sh BUILD_DIR
set -euo pipefail
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" > "$work/install.log"

for file in bin/skelder bin/skelder-gui \
  share/skelder/Fonts/OverpassMono-VariableFont_wght.ttf share/skelder/Fonts/OFL.txt \
  share/applications/skelder.desktop share/icons/hicolor/scalable/apps/skelder.svg \
  share/icons/hicolor/256x256/apps/skelder.png; do
  [ -f "$prefix/$file" ] || fail "$file is not installed"
done
[ -x "$prefix/bin/skelder-gui" ] || fail "skelder-gui is not executable"
desktop-file-validate "$prefix/share/applications/skelder.desktop" || fail "invalid .desktop entry"
file "$prefix/share/icons/hicolor/256x256/apps/skelder.png" | grep -q "256 x 256" ||
  fail "the 256 px icon is not 256 x 256"

# The installed programs start.
QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 "$prefix/bin/skelder-gui" --help | grep -q -- "--screenshot" ||
  fail "skelder-gui --help"
"$prefix/bin/skelder" --help > /dev/null || fail "skelder --help"

# The same HUD from the build and from the installation.
unset SKELDER_FONTS_DIR
"$build/cli/skelder" sample "$work/drive.mp4" --seconds 3 --size 320x180 --no-audio > /dev/null
"$build/cli/skelder" hud "$work/drive.mp4" --at 2 --size 640x360 -o "$work/built.png" > /dev/null
"$prefix/bin/skelder" hud "$work/drive.mp4" --at 2 --size 640x360 -o "$work/installed.png" > /dev/null
cmp -s "$work/built.png" "$work/installed.png" ||
  fail "the installed skelder draws another HUD than the build's (font not found?)"

# Without its font the installation falls back to a system font, and the check above sees it.
rm "$prefix/share/skelder/Fonts/OverpassMono-VariableFont_wght.ttf"
"$prefix/bin/skelder" hud "$work/drive.mp4" --at 2 --size 640x360 -o "$work/fallback.png" > /dev/null
if cmp -s "$work/built.png" "$work/fallback.png"; then
  fail "the HUD looks the same without the installed font: the check above proves nothing"
fi
echo "install: ok"
