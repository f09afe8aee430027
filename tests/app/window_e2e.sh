#!/usr/bin/env bash
# The program in a real window, on a bare X server (Xvfb, no window manager)
# driven with xdotool, and without any display at all. One table of cases
# below; each case runs the program once in its scene and checks what its
# last column names:
#   exit0, exit1     the exit code
#   quiet            nothing on standard error
#   offscreen-hint   standard error is one line that names -platform offscreen
#   fills            the window covers the whole screen, although no window
#                    manager maximises it (checked while the program runs)
#   one-flow-line    exactly one "flow dirty %f" line on standard output
#   bright           a screenshot taken before the end shows the picture
# Set STILLFLOW_KEEP_SCREENSHOT=FILE to keep the screenshot of the edit case.
# Usage (ctest): window_e2e.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
program=$build/stillflow
for tool in Xvfb xdotool xwininfo import convert /usr/bin/python3; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool missing (scripts/install-deps.sh installs it)"; exit 1; }
done
[ -x "$program" ] && [ -x "$build/make_demo_scene" ] || { echo "FAIL: build stillflow and make_demo_scene first"; exit 1; }

# name         scene  display  options      action         checks
cases=(
  "no-display   demo   none     -            none           exit1 offscreen-hint"
  "frames       demo   x        -frames=20   none           exit0 quiet"
  "escape-held  demo   x        -            hold-escape    exit0 quiet fills"
  "edit         bare   x        -            edit           exit0 quiet fills one-flow-line bright"
  "close        bare   x        -            close-request  exit0 quiet fills"
)
# Scenes: "demo" is the whole demo scene; "bare" the same without its flow
# document, so that the only synthesis is the one an edit causes.
screen_width=1280
screen_height=800

work=$(mktemp -d)
xvfb_pid=""
app=""
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"$build/make_demo_scene" "$work/demo" "$build/shaders" >/dev/null
cp -r "$work/demo" "$work/bare"
rm -f "$work/bare/vorna2.flw"

# A bare X server picked by the server itself, so parallel runs never clash.
Xvfb -displayfd 5 -screen 0 "${screen_width}x${screen_height}x24" -nolisten tcp 5>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

case_name=""
fail() { echo "FAIL ($case_name): $*"; exit 1; }

# Waits for the program's window to show and checks that it fills the screen;
# sets `window`.
await_window() {
  window=""
  for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --pid "$app" 2>/dev/null | head -n1 || true)
    [ -n "$window" ] && break
    kill -0 "$app" 2>/dev/null || fail "exited before its window showed: $(cat "$out/stderr.txt")"
    sleep 0.1
  done
  [ -n "$window" ] || fail "no visible window"
  sleep 2
  local size
  size=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
  [ "$size" = "${screen_width}x${screen_height}" ] ||
    fail "window is $size, not the whole ${screen_width}x${screen_height} screen"
}

# What the user does while the program runs.
act() {
  case $1 in
    none) ;;
    hold-escape)
      await_window
      xdotool mousemove --window "$window" 200 200 keydown --window "$window" Escape
      ;;
    edit)
      await_window
      # A drag from empty space draws a guide; two wheel notches and Home
      # move the view; the screenshot shows the picture; Escape ends it.
      xdotool mousemove 500 400; sleep 0.5
      xdotool mousedown 1; sleep 0.5
      xdotool mousemove 560 410; sleep 0.3
      xdotool mousemove 620 420; sleep 0.5
      xdotool mouseup 1; sleep 1
      xdotool click 4; sleep 0.5
      xdotool click 4; sleep 0.5
      xdotool keydown Home; sleep 0.5; xdotool keyup Home; sleep 1.5
      import -window root "$out/screenshot.png"
      xdotool keydown Escape; sleep 0.5; xdotool keyup Escape
      ;;
    close-request)
      await_window
      # WM_DELETE_WINDOW, as a window manager sends it for the close button.
      /usr/bin/python3 - "$window" <<'PY'
import sys
from Xlib import X, display, protocol
d = display.Display()
w = d.create_resource_object('window', int(sys.argv[1]))
protocols = d.intern_atom('WM_PROTOCOLS')
delete = d.intern_atom('WM_DELETE_WINDOW')
w.send_event(protocol.event.ClientMessage(window=w, client_type=protocols,
                                          data=(32, [delete, X.CurrentTime, 0, 0, 0])))
d.flush()
PY
      ;;
    *) fail "unknown action $1" ;;
  esac
}

# Waits up to two minutes for the program to end; sets `code`.
await_exit() {
  for _ in $(seq 1200); do
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$app" 2>/dev/null && fail "still running"
  set +e; wait "$app"; code=$?; set -e
  app=""
  xdotool keyup Escape 2>/dev/null || true
}

check() {
  case $1 in
    exit0) [ "$code" -eq 0 ] || fail "exit code $code: $(cat "$out/stderr.txt")" ;;
    exit1) [ "$code" -eq 1 ] || fail "exit code $code, not 1" ;;
    quiet) [ ! -s "$out/stderr.txt" ] || fail "standard error not empty: $(cat "$out/stderr.txt")" ;;
    offscreen-hint)
      [ "$(wc -l <"$out/stderr.txt")" -eq 1 ] && grep -q -- "-platform offscreen" "$out/stderr.txt" ||
        fail "no-display message: $(cat "$out/stderr.txt")" ;;
    fills) ;;  # checked by await_window while the program ran
    one-flow-line)
      local lines
      lines=$(grep -c '^flow dirty [0-9]*\.[0-9]\{6\}$' "$out/stdout.txt" || true)
      [ "$lines" -eq 1 ] || fail "expected one flow dirty line, got: $(cat "$out/stdout.txt")" ;;
    bright)
      local mean
      mean=$(convert "$out/screenshot.png" -format '%[fx:int(mean*1000)]' info:)
      [ "$mean" -gt 80 ] || fail "screenshot looks empty (mean $mean/1000)"
      if [ -n "${STILLFLOW_KEEP_SCREENSHOT:-}" ]; then cp "$out/screenshot.png" "$STILLFLOW_KEEP_SCREENSHOT"; fi ;;
    *) fail "unknown check $1" ;;
  esac
}

for row in "${cases[@]}"; do
  read -r case_name scene display options action checks <<<"$row"
  out=$work/out-$case_name
  mkdir -p "$out"
  args=()
  [ "$options" = "-" ] || read -r -a args <<<"${options//=/ }"
  cd "$work/$scene"
  if [ "$display" = none ]; then
    env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "$program" "${args[@]}" \
      >"$out/stdout.txt" 2>"$out/stderr.txt" &
  else
    "$program" "${args[@]}" >"$out/stdout.txt" 2>"$out/stderr.txt" &
  fi
  app=$!
  act "$action"
  await_exit
  for c in $checks; do check "$c"; done
  echo "ok ($case_name)"
done
echo "PASS"
