#!/usr/bin/env bash
# Writes a small seed corpus for each fuzz target:
#   OUT/flow_document_fuzzer/*  valid and near-valid flow documents
#   OUT/image_loading_fuzzer/*  tiny pictures in several formats (ImageMagick)
# Usage: make_seeds.sh OUT
set -euo pipefail
out=${1:?usage: make_seeds.sh OUT}
documents=$out/flow_document_fuzzer
pictures=$out/image_loading_fuzzer
mkdir -p "$documents" "$pictures"

# One little-endian 32-bit value (an int32, or a float32 given by its bits).
le32() {
  local v=$(( $1 & 0xffffffff ))
  printf "\\x$(printf %02x $((v & 255)))\\x$(printf %02x $(((v >> 8) & 255)))"
  printf "\\x$(printf %02x $(((v >> 16) & 255)))\\x$(printf %02x $(((v >> 24) & 255)))"
}

# count bytes cycling through 0..255, starting at first.
ramp() {
  local count=$1 first=$2 i
  for ((i = 0; i < count; i++)); do printf "\\x$(printf %02x $(((first + i) & 255)))"; done
}

# document W H N FLOWSCALE_BITS PHASESPACING_BITS: a complete document.
document() {
  local w=$1 h=$2 n=$3 i
  le32 "$w"; le32 "$h"
  ramp $((4 * w * h)) 16
  ramp $((w * h)) 200
  le32 "$n"
  for ((i = 0; i < n; i++)); do
    le32 0x3f800000; le32 0x40000000; le32 $((0x40400000 + i)); le32 0xc1200000
  done
  le32 "$4"; le32 "$5"
}

document 3 3 0 0x4002e8ba 0x3f000000 > "$documents/smallest.flw"
document 4 3 2 0x3fc00000 0x3e800000 > "$documents/two_guides.flw"
document 5 4 1 0x7fc00000 0x00000000 > "$documents/unusable_parameters.flw"
{ document 3 4 3 0x3f800000 0x3f800000; printf 'trailing'; } > "$documents/trailing.flw"
# The settings block: "SFST", 8 bytes of fields, the freeze on, radius 64.
{ document 4 4 1 0x4002e8ba 0x3f333333; printf 'SFST'; le32 8; le32 1; le32 0x42800000; } > "$documents/settings.flw"
{ le32 65536; le32 65536; ramp 64 0; } > "$documents/huge_header.flw"
# Guides out at infinity, NaN and 1e30 (left out, or kept finite), and a
# count one above what a scene holds.
{ le32 3; le32 3; ramp 36 16; ramp 9 200; le32 3
  le32 0x7f800000; le32 0x3f800000; le32 0x3f800000; le32 0x3f800000
  le32 0x3f800000; le32 0x7fc00000; le32 0x3f800000; le32 0x3f800000
  le32 0x3f800000; le32 0x3f800000; le32 0x7149f2ca; le32 0x3f800000
  le32 0x7149f2ca; le32 0x3f000000; } > "$documents/non_finite_guides.flw"
# The same with a settings block: the guides left out must not move where
# the block is read.
{ cat "$documents/non_finite_guides.flw"; printf 'SFST'; le32 8; le32 1; le32 0x42800000; } \
  > "$documents/non_finite_guides_with_settings.flw"
{ le32 3; le32 3; ramp 36 16; ramp 9 200; le32 4097; ramp 64 0; } > "$documents/too_many_guides.flw"
# A document of a real picture's shape (16:9, 6.5 KB); too slow to write byte
# by byte in the shell.
python3 - "$documents/wide_picture.flw" <<'PYTHON'
import struct, sys
w, h = 48, 27
guides = [(4, 4, 20, 6), (40, 20, 30, 12), (24, 13, 24, 3)]
with open(sys.argv[1], "wb") as out:
    out.write(struct.pack("<ii", w, h))
    out.write(bytes((16 + i) % 256 for i in range(4 * w * h)))
    out.write(bytes((200 + i) % 256 for i in range(w * h)))
    out.write(struct.pack("<i", len(guides)))
    for guide in guides:
        out.write(struct.pack("<4f", *guide))
    out.write(struct.pack("<ff", 2.0454545, 0.5))
PYTHON

if command -v convert >/dev/null 2>&1; then
  convert -strip -size 4x3 gradient:red-blue "$pictures/rgb.png"
  convert -strip -size 3x3 gradient: -colorspace Gray -depth 8 "$pictures/grey.png"
  convert -strip -size 2x2 xc:'rgba(10,20,30,0.5)' "$pictures/rgba.png"
  convert -strip -size 1x1 xc:green "$pictures/one.gif"
  convert -strip -size 5x4 plasma:fractal -seed 1 "$pictures/plasma.jpg" 2>/dev/null || convert -strip -size 5x4 xc:orange "$pictures/plasma.jpg"
  convert -strip -size 3x2 xc:navy "$pictures/navy.bmp"
  convert -strip -size 3x2 xc:olive "$pictures/olive.tga"
  convert -strip -size 3x2 xc:teal "$pictures/teal.ppm"
  convert -strip -size 2x2 xc:gray "$pictures/gray.pgm"
  convert -strip -size 2x3 xc:maroon "$pictures/maroon.psd"
  # A PNG header declaring more pixels than the decoder delivers.
  python3 -c 'import struct, sys, zlib
ihdr = struct.pack(">IIBBBBB", 30000, 30000, 8, 0, 0, 0, 0)
sys.stdout.buffer.write(b"\x89PNG\r\n\x1a\n" + struct.pack(">I", 13) + b"IHDR" + ihdr
                        + struct.pack(">I", zlib.crc32(b"IHDR" + ihdr) & 0xFFFFFFFF))' > "$pictures/beyond_the_decoder.png"
else
  echo "make_seeds: ImageMagick convert not found, no picture seeds"
fi
