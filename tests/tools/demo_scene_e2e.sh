#!/usr/bin/env bash
# make_demo_scene over a folder that already holds a scene: the files there
# (work saved with Ctrl+S among them) are kept, the shaders are refreshed, and
# --rewrite writes the whole demo scene afresh.
# Called by ctest as: bash demo_scene_e2e.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
tool=$build/make_demo_scene
[ -x "$tool" ] || { echo "FAIL: build make_demo_scene first"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# Help and wrong options write nothing (there once was a scene in a folder
# named "--help").
(cd "$work" && "$tool" --help >out) || fail "--help failed"
grep -q '^usage: make_demo_scene' "$work/out" || fail "--help printed: $(cat "$work/out")"
set +e
(cd "$work" && "$tool" --frobnicate scene 2>err)
code=$?
set -e
[ "$code" -eq 1 ] || fail "an unknown option: exit code $code"
grep -q 'unknown option --frobnicate' "$work/err" || fail "an unknown option: $(cat "$work/err")"
[ "$(ls -A "$work")" = "$(printf 'err\nout')" ] || fail "help or a wrong option wrote: $(ls -A "$work")"
rm "$work/out" "$work/err"

# Shaders copied from a folder go through a temporary made beside each one:
# a link planted at a shader's name is replaced, and what it points to is
# left alone.
mkdir -p "$work/linked"
echo "outside the scene" >"$work/victim"
ln -s "$work/victim" "$work/linked/advect.frag"
"$tool" "$work/linked" "$2/shaders" >/dev/null || fail "copying the shaders"
[ "$(cat "$work/victim")" = "outside the scene" ] || fail "a shader was written through a planted link"
[ ! -L "$work/linked/advect.frag" ] && cmp -s "$work/linked/advect.frag" "$2/shaders/advect.frag" ||
  fail "advect.frag was not copied in place of the link"
rm -rf "$work/linked" "$work/victim"

"$tool" "$work/scene" >/dev/null || fail "first run"
for f in vornapozadi.png vorex.png track.wav vorna2.flw pass.vert identity.frag advect.frag displace.frag; do
  [ -s "$work/scene/$f" ] || fail "$f not written"
done
cp "$work/scene/vorna2.flw" "$work/demo.flw"

# The user's own document and an edited shader.
echo "saved work" >"$work/scene/vorna2.flw"
echo "edited" >"$work/scene/advect.frag"
"$tool" "$work/scene" >"$work/out" || fail "second run"
[ "$(cat "$work/scene/vorna2.flw")" = "saved work" ] || fail "the saved document was overwritten"
grep -q "kept .*vorna2.flw" "$work/out" || fail "no line says the document was kept: $(cat "$work/out")"
[ "$(cat "$work/scene/advect.frag")" != "edited" ] || fail "the shaders were not refreshed"

"$tool" --rewrite "$work/scene" >/dev/null || fail "--rewrite run"
cmp -s "$work/scene/vorna2.flw" "$work/demo.flw" || fail "--rewrite did not write the demo document again"

# A disk that fills up half-way (2 MB: the picture and the overlay fit, the
# track does not): one line, exit code 1, and no cut-off file that the next
# run would keep as if it were the user's.
set +e
(ulimit -f 2048 && trap '' XFSZ && "$tool" "$work/full") >/dev/null 2>"$work/err"
code=$?
set -e
[ "$code" -eq 1 ] || fail "a full disk: exit code $code"
[ "$(wc -l <"$work/err")" -eq 1 ] || fail "a full disk: stderr is not one line: $(cat "$work/err")"
grep -q "track.wav" "$work/err" || fail "a full disk: the line does not name the track: $(cat "$work/err")"
[ "$(ls -A "$work/full")" = "$(printf 'vorex.png\nvornapozadi.png')" ] || fail "a full disk left: $(ls -A "$work/full")"
"$tool" "$work/full" >"$work/out" || fail "the run after a full disk"
cmp -s "$work/full/vorna2.flw" "$work/demo.flw" || fail "the run after a full disk wrote another document"
echo "PASS"
