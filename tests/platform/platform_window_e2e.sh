#!/usr/bin/env bash
# The window backend under a bare X server (Xvfb, no window manager): the
# window fills the screen, Escape and -frames end the run with exit code 0,
# nothing lands on standard error, and without any display the program
# says so in one line and exits with code 1.
# Called by ctest as: bash window_e2e.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
program=$build/stillflow
scene_maker=$build/make_demo_scene
for tool in Xvfb xdotool xwininfo; do
  command -v $tool >/dev/null || { echo "SKIP: $tool missing"; exit 0; }
done
[ -x "$program" ] && [ -x "$scene_maker" ] || { echo "FAIL: build stillflow and make_demo_scene first"; exit 1; }

work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"$scene_maker" "$work/scene" "$build/shaders" >/dev/null
cd "$work/scene"

# Without a display: one line naming the way out, exit code 1.
set +e
env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "$program" >"$work/out" 2>"$work/err"
code=$?
set -e
[ "$code" -eq 1 ] || { echo "FAIL: no display gave exit code $code"; exit 1; }
[ "$(wc -l <"$work/err")" -eq 1 ] && grep -q -- "-platform offscreen" "$work/err" ||
  { echo "FAIL: no-display message:"; cat "$work/err"; exit 1; }

# A bare X server picked by the server itself, so parallel runs never clash.
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

# -frames ends the run by itself.
timeout 120 "$program" -frames 20 >"$work/out" 2>"$work/err" ||
  { echo "FAIL: -frames 20 exit code $?"; cat "$work/err"; exit 1; }
[ ! -s "$work/err" ] || { echo "FAIL: standard error not empty:"; cat "$work/err"; exit 1; }

# Escape ends an open-ended run; meanwhile the window must fill the screen
# although no window manager maximises it.
timeout 120 "$program" >"$work/out" 2>"$work/err" &
app=$!
window=""
for _ in $(seq 300); do
  window=$(xdotool search --onlyvisible --name "Stillflow" 2>/dev/null | head -n1 || true)
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "FAIL: no visible window"; kill $app; exit 1; }
sleep 0.5
size=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
[ "$size" = "1024x768" ] || { echo "FAIL: window is $size, not the whole 1024x768 screen"; kill $app; exit 1; }
xdotool mousemove --window "$window" 200 200 keydown --window "$window" Escape
set +e
wait $app
code=$?
set -e
xdotool keyup Escape 2>/dev/null || true
[ "$code" -eq 0 ] || { echo "FAIL: Escape gave exit code $code"; cat "$work/err"; exit 1; }
[ ! -s "$work/err" ] || { echo "FAIL: standard error not empty:"; cat "$work/err"; exit 1; }
echo "PASS"
