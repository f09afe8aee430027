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
# Hostile inputs: a FIFO, zero-filled PNGs that decode to gigabytes (beyond
# the decoder's 536 million pixels, or beyond the memory a ulimit leaves),
# a WAV declaring two hours (sparse: only its header is on the disk).
mkfifo fifo.png fifo.wav
python3 - <<'PY'
import os, struct, zlib
def zero_png(path, width, height):
    chunk = lambda kind, data: (struct.pack(">I", len(data)) + kind + data
                                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    packer = zlib.compressobj(1)
    row = bytes(width + 1)
    data = b"".join(packer.compress(row) for _ in range(height)) + packer.flush()
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0))
                + chunk(b"IDAT", data) + chunk(b"IEND", b""))
zero_png("zero-25000.png", 25000, 25000)
zero_png("zero-10000.png", 10000, 10000)
zero_png("zero-4000.png", 4000, 3000)
data = 2 * 3600 * 8000
with open("two-hours.wav", "wb") as w:
    w.write(b"RIFF" + struct.pack("<I", 36 + data) + b"WAVEfmt " + struct.pack("<IHHIIHH", 16, 1, 1, 8000, 8000, 1, 8)
            + b"data" + struct.pack("<I", data))
os.truncate("two-hours.wav", 44 + data)
PY

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
  (
    [ -z "${memory_kb:-}" ] || ulimit -v "$memory_kb"
    exec timeout 60 "$tool" "$@"
  ) >out.txt 2>err.txt
  local code=$?
  set -e
  [ "$code" -eq "$want" ] || fail "$*: exit code $code, not $want"
  [ "$(wc -l <err.txt)" -ge 1 ] || fail "$*: nothing on stderr"
  [ "$want" -eq 2 ] || [ "$(wc -l <err.txt)" -eq 1 ] || fail "$*: stderr is not one line: $(cat err.txt)"
  [ -z "${says:-}" ] || grep -qF -- "$says" err.txt || fail "$*: does not say \"$says\": $(cat err.txt)"
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
# Decided before decoding, with the real cause named: what the file is, the
# decoder's limit, the memory a ulimit leaves, the music limit.
says="not a regular file but a FIFO" refuse 1 fifo.png fifo-scene
says="not a regular file but a device" refuse 1 /dev/zero zero-scene
says="25000 x 25000 pixels, more than the 536 million the picture decoder takes" refuse 1 zero-25000.png big-scene
says="25000 x 25000 pixels, more than the 536 million" refuse 1 --overlay zero-25000.png photo.jpg big-overlay
memory_kb=1000000 says="10000 x 10000 pixels, which needs 1.1 GiB of memory to prepare" \
  refuse 1 zero-10000.png small-machine
says="it lasts 2.0 hours, longer than the 1 hour music may last" refuse 1 --music two-hours.wav photo.jpg long-music
says="not a regular file but a FIFO" refuse 1 --music fifo.wav photo.jpg fifo-music

# 5. An interruption while the folder is being made (a large picture is
#    being written) removes it: the signal's exit code, one line, nothing left.
for signal in INT TERM HUP; do
  python3 - "$tool" "$signal" <<'PY' || fail "SIG$signal: $(cat err.txt 2>/dev/null)"
import glob, signal, subprocess, sys, time
tool, name = sys.argv[1], sys.argv[2]
number = getattr(signal, "SIG" + name)
child = subprocess.Popen([tool, "--max-side", "0", "zero-4000.png", "interrupted"], stdout=subprocess.DEVNULL,
                         stderr=open("err.txt", "w"),
                         preexec_fn=lambda: [signal.signal(s, signal.SIG_DFL) for s in (signal.SIGINT, signal.SIGHUP)])
deadline = time.time() + 30
while not glob.glob(".interrupted.*.part") and child.poll() is None and time.time() < deadline:
    time.sleep(0.005)
child.send_signal(number)
code = child.wait()
err = open("err.txt").read()
if code != 128 + number or err != "stillflow-new: interrupted; nothing written\n":
    sys.exit("exit code %d, stderr %r" % (code, err))
PY
  rm -f err.txt
  [ "$(ls -A)" = "$before" ] || fail "SIG$signal left behind: $(ls -A)"
done
echo "stillflow-new e2e: ok"
