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
