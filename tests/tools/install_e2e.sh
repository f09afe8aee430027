#!/usr/bin/env bash
# The installed programs, from a temporary prefix: cmake --install lays out
# bin/ and the README under share/doc/stillflow; the installed stillflow-new
# makes a scene from a generated photo, and the installed program animates
# it offscreen from a clean folder, showing the photo in its frames; the
# installed export writes the demo scene's loop.
# Called by ctest as: bash install_e2e.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
command -v convert >/dev/null || { echo "SKIP: ImageMagick missing"; exit 0; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
for program in stillflow stillflow-new stillflow-export make_demo_scene; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program not installed"
done
[ -f "$prefix/share/doc/stillflow/README.md" ] || fail "README not installed"

# Everything below runs from the prefix only, in a folder of its own.
mkdir "$work/home" && cd "$work/home"
# A landscape photo: warm on the left, cool on the right.
convert -size 240x320 gradient:orange-navy -rotate 90 photo.jpg
"$prefix/bin/stillflow-new" photo.jpg beach >/dev/null || fail "stillflow-new failed"
cd beach
"$prefix/bin/stillflow" -platform offscreen -size 320x240 -frames 30 -grab "$work/frames" >"$work/out" 2>"$work/err" ||
  fail "stillflow exited with $?: $(cat "$work/err")"
[ ! -s "$work/out" ] || fail "stdout: $(cat "$work/out")"
[ ! -s "$work/err" ] || fail "stderr: $(cat "$work/err")"
[ -f "$work/frames/frame-00029.png" ] || fail "frames missing: $(ls "$work/frames" | tail -3)"

# With no guides nothing moves: the frame shows the photo as it stands, navy
# on the left and orange on the right, under the white preview particles.
strip_colour() {
  convert "$work/frames/frame-00029.png" -crop "$1" +repage -scale '1x1!' -format '%[fx:int(255*r)] %[fx:int(255*b)]' info:
}
read -r left_red left_blue <<<"$(strip_colour 32x240+0+0)"
read -r right_red right_blue <<<"$(strip_colour 32x240+288+0)"
[ "$left_blue" -gt $((left_red + 30)) ] || fail "left edge is not navy: red $left_red, blue $left_blue"
[ "$right_red" -gt $((right_blue + 80)) ] || fail "right edge is not orange: red $right_red, blue $right_blue"

# The installed demo maker writes a scene the installed program runs.
"$prefix/bin/make_demo_scene" "$work/demo" >/dev/null || fail "make_demo_scene failed"
cd "$work/demo"
"$prefix/bin/stillflow" -platform offscreen -size 96x64 -frames 3 >/dev/null 2>"$work/err" ||
  fail "the demo scene did not run: $(cat "$work/err")"
# The installed export renders the scene from the prefix alone.
"$prefix/bin/stillflow-export" -q --loops 1 --width 160 "$work/loop.gif" 2>"$work/err" ||
  fail "stillflow-export failed: $(cat "$work/err")"
[ "$(identify "$work/loop.gif" | wc -l)" -eq 21 ] || fail "the exported GIF has $(identify "$work/loop.gif" | wc -l) frames, not 21"
echo "install e2e: ok (left red $left_red blue $left_blue, right red $right_red blue $right_blue)"
