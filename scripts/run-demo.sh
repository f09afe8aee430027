#!/usr/bin/env bash
# Installs what is missing, builds the program, writes the demo scene into
# ./scene where it is missing (files already there, such as work saved with
# Ctrl+S, are kept) and runs the program there. --rewrite-scene as the first
# argument writes the whole demo scene afresh. Other arguments go to the
# program (for example: -platform offscreen -frames 120 -grab /tmp/frames).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target stillflow make_demo_scene
rewrite=()
if [ "${1:-}" = "--rewrite-scene" ]; then
  rewrite=(--rewrite)
  shift
fi
./build/make_demo_scene "${rewrite[@]}" scene build/shaders
cd scene
exec ../build/stillflow "$@"
