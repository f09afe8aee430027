#!/usr/bin/env bash
# Installs what is missing, builds the program, writes the demo scene into
# ./scene and runs the program there. Extra arguments go to the program
# (for example: -platform offscreen -frames 120 -grab /tmp/frames).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target stillflow make_demo_scene
./build/make_demo_scene scene build/shaders
cd scene
exec ../build/stillflow "$@"
