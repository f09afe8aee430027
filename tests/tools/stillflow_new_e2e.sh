#!/usr/bin/env bash
# stillflow-new from the command line: the scene folder it makes (the photo
# as the working picture, the shaders identical to shaders/, no document),
# scaling of large photos, overlay and music, and refusals that print one
# line, exit non-zero and leave the working folder exactly as it was.
# Called by ctest as: bash stillflow_new_e2e.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
tool=$build/stillflow-new
command -v convert >/dev/null || { echo "SKIP: ImageMagick missing"; exit 0; }
[ -x "$tool" ] || { echo "FAIL: build stillflow-new first"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*"; exit 1; }
size_of() { identify -format '%wx%h' "$1"; }

convert -size 640x480 gradient:red-blue photo.jpg
convert -size 5000x1000 xc:gray70 big.png
convert -size 320x240 xc:none -fill white -draw 'circle 160,120 160,40' overlay.gif
python3 - <<'PY'
import math, struct, wave
with wave.open("tone.wav", "wb") as w:
    w.setnchannels(1); w.setsampwidth(2); w.setframerate(22050)
    w.writeframes(b"".join(struct.pack("<h", int(8000 * math.sin(i * 0.1))) for i in range(22050)))
PY
echo "not a picture" > broken.jpg
echo "not a sound" > notes.mp3

# 1. The default folder is named after the photo and holds the picture and
#    the shaders, byte for byte those of shaders/, and nothing else.
"$tool" photo.jpg >out.txt 2>err.txt || fail "photo.jpg: $(cat err.txt)"
[ ! -s err.txt ] || fail "stderr on success: $(cat err.txt)"
[ "$(size_of photo/vornapozadi.png)" = 640x480 ] || fail "picture size $(size_of photo/vornapozadi.png)"
for shader in "$source"/shaders/*; do
  cmp -s "$shader" "photo/$(basename "$shader")" || fail "$(basename "$shader") differs from shaders/"
done
[ "$(ls photo | wc -l)" -eq $(( $(ls "$source/shaders" | wc -l) + 1 )) ] || fail "extra files: $(ls photo)"
grep -qx '  cd photo && stillflow' out.txt || fail "no program command: $(cat out.txt)"
grep -q 'cd photo && stillflow-export ' out.txt || fail "no export command: $(cat out.txt)"
grep -q scaled out.txt && fail "a small photo was scaled"
# The record by which the program finds the scene of this photo again.
grep -qx "sha256 $(sha256sum photo.jpg | cut -d' ' -f1)" photo/.stillflow-photo || fail "no record of the photo"

# 2. A large photo is scaled to 3840 on its longer side by default, saying so
#    in one line; --max-side sets the limit, 0 keeps it whole.
"$tool" big.png big >out.txt
[ "$(size_of big/vornapozadi.png)" = 3840x768 ] || fail "default limit gave $(size_of big/vornapozadi.png)"
[ "$(grep -c 'scaled the photo from 5000 x 1000 to 3840 x 768' out.txt)" -eq 1 ] || fail "scaling line: $(cat out.txt)"
"$tool" --max-side 100 big.png small >/dev/null
[ "$(size_of small/vornapozadi.png)" = 100x20 ] || fail "--max-side 100 gave $(size_of small/vornapozadi.png)"
"$tool" --max-side 0 big.png whole >out.txt
[ "$(size_of whole/vornapozadi.png)" = 5000x1000 ] || fail "--max-side 0 gave $(size_of whole/vornapozadi.png)"
grep -q scaled out.txt && fail "--max-side 0 scaled"

# 3. Overlay (any format, as a PNG at the picture's size) and music (as a
#    16-bit WAV); an existing empty folder is used.
mkdir dressed
"$tool" --overlay overlay.gif --music tone.wav photo.jpg dressed/ >/dev/null
[ "$(size_of dressed/vorex.png)" = 640x480 ] || fail "overlay size $(size_of dressed/vorex.png)"
[ "$(identify -format '%m' dressed/vorex.png)" = PNG ] || fail "overlay is not a PNG"
[ "$(head -c 4 dressed/track.wav)" = RIFF ] || fail "track.wav is not a WAV"
[ "$(stat -c %s dressed/track.wav)" -eq $(( 44 + 22050 * 2 )) ] || fail "track.wav size $(stat -c %s dressed/track.wav)"

# 4. Refusals: exit code, one line on stderr, and the folder as it was.
mkdir full && touch full/keep
touch plainfile
rm -f out.txt err.txt
before=$(ls -A)
refuse() {
  local want=$1
  shift
  set +e
  "$tool" "$@" >out.txt 2>err.txt
  local code=$?
  set -e
  [ "$code" -eq "$want" ] || fail "$*: exit code $code, not $want"
  [ "$(wc -l <err.txt)" -ge 1 ] || fail "$*: nothing on stderr"
  [ "$want" -eq 2 ] || [ "$(wc -l <err.txt)" -eq 1 ] || fail "$*: stderr is not one line: $(cat err.txt)"
  rm -f out.txt err.txt
  [ "$(ls -A)" = "$before" ] || fail "$*: left behind: $(ls -A)"
  [ "$(ls -A full)" = keep ] || fail "$*: touched full/"
}
refuse 1 photo.jpg full
refuse 1 photo.jpg full/
refuse 1 photo.jpg plainfile
refuse 1 broken.jpg broken-scene
refuse 1 missing.jpg missing-scene
refuse 1 --music notes.mp3 photo.jpg with-bad-music
refuse 1 --overlay broken.jpg photo.jpg with-bad-overlay
refuse 1 photo.jpg no/such/folder
refuse 2 --max-side many photo.jpg
refuse 2 --max-side 2 photo.jpg
refuse 2 --frobnicate photo.jpg
refuse 2
echo "stillflow-new e2e: ok"
