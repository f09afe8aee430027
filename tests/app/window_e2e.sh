#!/usr/bin/env bash
# The program in a real window, on a bare X server (Xvfb, no window manager),
# on one with a window manager that adds a title bar (Xvfb with openbox),
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
#   within-usable    maximised by the window manager, the window and its
#                    frame (with a title bar) lie within the usable area
#   titled           the title names the scene folder and the guide count,
#                    with a "*" while there are unsaved changes: a drawn
#                    guide marks it, Ctrl+S saves and clears it, Ctrl+Z
#                    marks it again; K, a held = and . add the freeze, one
#                    speed step and the loop length
#   min-size         the window asks for at least 512 x 256 and keeps it
#                    when made smaller
#   panel            the panel of controls shows over the picture, and Tab
#                    hides it
#   asks             with a guide drawn and not saved, a close request
#                    opens the question, and the run goes on meanwhile
#   kept-on-cancel   Cancel (Escape) closes the question and the run goes on
#                    (S then saves nothing); the next close asks again
#   unwritten        no flow document was written
#   saved            the flow document holds the guide, and the save said so
# (fills, within-usable, titled, min-size, panel, asks and kept-on-cancel
# are checked while it runs.)
# Set STILLFLOW_KEEP_SCREENSHOT=FILE to keep the screenshot of the edit case.
# Usage (ctest): window_e2e.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
program=$build/stillflow
for tool in Xvfb openbox xdotool xwininfo xprop import convert /usr/bin/python3; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool missing (scripts/install-deps.sh installs it)"; exit 1; }
done
[ -x "$program" ] && [ -x "$build/make_demo_scene" ] || { echo "FAIL: build stillflow and make_demo_scene first"; exit 1; }

# name         scene  display  options      action         checks
cases=(
  "no-display   demo   none     -            none           exit1 offscreen-hint"
  "frames       demo   x        -frames=20   none           exit0 quiet"
  "escape-held  demo   x        -            hold-escape    exit0 quiet fills"
  "edit         bare   x        -            edit           exit0 quiet fills one-flow-line bright panel unwritten"
  "close        bare   x        -            close-request  exit0 quiet fills"
  "managed      bare   wm       -            manage         exit0 quiet within-usable titled min-size"
  "ask-cancel   bare   x        -            ask-cancel     exit0 quiet asks kept-on-cancel unwritten"
  "ask-discard  bare   x        -            ask-discard    exit0 quiet asks unwritten"
  "ask-save     bare   x        -            ask-save       exit0 quiet asks saved"
)
# Scenes: "demo" is the whole demo scene; "bare" the same without its flow
# document, so that the only synthesis is the one an edit causes.
screen_width=1280
screen_height=800

work=$(mktemp -d)
xvfb_pid=""
managed_xvfb_pid=""
wm_pid=""
app=""
cleanup() {
  for pid in $app $wm_pid $managed_xvfb_pid $xvfb_pid; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

"$build/make_demo_scene" "$work/demo" "$build/shaders" >/dev/null
cp -r "$work/demo" "$work/bare"
rm -f "$work/bare/vorna2.flw"

# X servers whose numbers the servers pick themselves, so parallel runs
# never clash: a bare one, and one with a window manager. -noreset: a server
# without a window manager resets when its last client leaves, and a program
# started during that reset finds no display and falls back to SDL's offscreen
# driver (the bare cases start one program right after another).
start_xvfb() {  # FILE: writes the display number there; sets xvfb_started
  Xvfb -displayfd 5 -screen 0 "${screen_width}x${screen_height}x24" -nolisten tcp -noreset 5>"$1" 2>/dev/null &
  xvfb_started=$!
  for _ in $(seq 100); do [ -s "$1" ] && break; sleep 0.1; done
  [ -s "$1" ] || { echo "FAIL: Xvfb did not start"; exit 1; }
}
start_xvfb "$work/display"
xvfb_pid=$xvfb_started
bare_display=":$(head -n1 "$work/display")"
start_xvfb "$work/managed-display"
managed_xvfb_pid=$xvfb_started
managed_display=":$(head -n1 "$work/managed-display")"
DISPLAY=$managed_display openbox >/dev/null 2>&1 &
wm_pid=$!
# Ready once it has announced itself and published the usable area, which
# on a busy machine can come a while after it started.
wm_ready() {
  DISPLAY=$managed_display xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" &&
    DISPLAY=$managed_display xprop -root _NET_WORKAREA 2>/dev/null | grep -q "="
}
for _ in $(seq 300); do wm_ready && break; sleep 0.1; done
wm_ready || { echo "FAIL: openbox did not start"; exit 1; }

case_name=""
fail() { echo "FAIL ($case_name): $*"; exit 1; }

# Waits for the program's window to show and, for the cases that check
# `fills`, that it fills the screen; sets `window`.
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
  [[ " $checks " == *" fills "* ]] || return 0
  local size
  size=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
  [ "$size" = "${screen_width}x${screen_height}" ] ||
    fail "window is $size, not the whole ${screen_width}x${screen_height} screen"
}

# X Y W H of a window, absolute.
geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
                           /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}'
}

expect_title() {
  local got=""
  for _ in $(seq 30); do
    got=$(xdotool getwindowname "$window")
    [ "$got" = "$1" ] && return 0
    sleep 0.1
  done
  fail "title is '$got', expected '$1'"
}

# Ctrl+KEY as a hand types it: Ctrl held over a few frames. A synthetic
# "ctrl+KEY" can go down and up between two frames of a busy program, which
# then sees the key without Ctrl held.
chord() {
  xdotool keydown --window "$window" ctrl; sleep 0.3
  xdotool key --window "$window" "$1"; sleep 0.3
  xdotool keyup --window "$window" ctrl
}

# Under the window manager: the frame within the usable area, the title
# through an edit, a save and an undo, the smallest size.
manage() {
  local ux uy uw uh fx fy fw fh cx cy cw ch frame
  read -r ux uy uw uh < <(xprop -root _NET_WORKAREA | sed 's/.*= //; s/,//g' | awk '{print $1, $2, $3, $4}')
  frame=$(xwininfo -tree -id "$window" | awk '/Parent window id/ {print $4}')
  read -r fx fy fw fh < <(geometry "$frame")
  read -r cx cy cw ch < <(geometry "$window")
  [ "$fx" -ge "$ux" ] && [ "$fy" -ge "$uy" ] && [ $((fx + fw)) -le $((ux + uw)) ] && [ $((fy + fh)) -le $((uy + uh)) ] ||
    fail "frame $fx,$fy ${fw}x$fh reaches past the usable area $ux,$uy ${uw}x$uh"
  [ "$ch" -lt "$fh" ] || fail "no title bar: window ${cw}x$ch in a frame ${fw}x$fh"
  xprop -id "$window" WM_NORMAL_HINTS | grep -q "minimum size: 512 by 256" ||
    fail "no smallest size of 512 x 256: $(xprop -id "$window" WM_NORMAL_HINTS)"

  expect_title "$scene - 0 guides - Stillflow"
  xdotool mousemove --window "$window" 300 300 mousedown 1
  sleep 0.3; xdotool mousemove --window "$window" 360 320; sleep 0.3; xdotool mouseup 1
  expect_title "*$scene - 1 guide - Stillflow"
  chord s
  expect_title "$scene - 1 guide - Stillflow"
  grep -q "^saved vorna2.flw (1 guide)$" "$out/stdout.txt" || fail "no saved line: $(cat "$out/stdout.txt")"
  chord z
  expect_title "*$scene - 0 guides - Stillflow"
  # The motion keys in the title; a key held down steps once, however long
  # the window system repeats it.
  xdotool key --window "$window" k
  expect_title "*$scene - 0 guides - freeze on - Stillflow"
  xdotool keydown --window "$window" equal; sleep 1.5; xdotool keyup --window "$window" equal
  xdotool key --window "$window" period
  expect_title "*$scene - 0 guides - speed 1.25x - loop 0.7 s - freeze on - Stillflow"

  xdotool windowsize "$window" 200 100
  sleep 1
  read -r cx cy cw ch < <(geometry "$window")
  [ "$cw" -ge 512 ] && [ "$ch" -ge 256 ] || fail "window shrank to ${cw}x$ch"
  # The undo left unsaved changes: Escape asks, D discards them.
  xdotool keydown --window "$window" Escape
  sleep 1
  xdotool key --window "$window" d
  # The scene is shared with other cases, which expect no document.
  rm -f vorna2.flw
}

# The mean brightness (0-1000) of a part of a screenshot: W H X Y.
brightness() {
  convert "$1" -crop "$2x$3+$4+$5" -format '%[fx:int(mean*1000)]' info:
}

# A guide drawn with the mouse over the picture, right of the panel.
draw_guide() {
  xdotool mousemove --window "$window" 600 400 mousedown 1
  sleep 0.5; xdotool mousemove --window "$window" 660 420; sleep 0.5; xdotool mouseup 1; sleep 1
}

# WM_DELETE_WINDOW, as a window manager sends it for the close button.
request_close() {
  /usr/bin/python3 - "$window" <<'PY'
import sys
from Xlib import X, display, protocol
d = display.Display()
w = d.create_resource_object('window', int(sys.argv[1]))
w.send_event(protocol.event.ClientMessage(window=w, client_type=d.intern_atom('WM_PROTOCOLS'),
                                          data=(32, [d.intern_atom('WM_DELETE_WINDOW'), X.CurrentTime, 0, 0, 0])))
d.flush()
PY
}

# With unsaved work the close request asks; the program is still there a
# few seconds later, waiting for the answer.
expect_question() {
  request_close
  sleep 3
  kill -0 "$app" 2>/dev/null || fail "closed without asking about the unsaved guide"
}

# The answers: S saves then quits, D quits without saving; Escape cancels,
# after which S alone saves nothing and the run goes on.
ask() {
  await_window
  draw_guide
  expect_question
  case $1 in
    save) xdotool key --window "$window" s ;;
    discard) xdotool key --window "$window" d ;;
    cancel)
      xdotool key --window "$window" Escape; sleep 2
      xdotool key --window "$window" s; sleep 2
      kill -0 "$app" 2>/dev/null || fail "ended after Cancel"
      [ ! -e vorna2.flw ] || fail "S saved after the question was cancelled"
      expect_question
      xdotool key --window "$window" d
      ;;
  esac
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
      # Tab hides the panel: the picture shows where it was.
      xdotool key Tab; sleep 1.5
      import -window root "$out/no-panel.png"
      local shown hidden
      shown=$(brightness "$out/screenshot.png" 240 300 20 60)
      hidden=$(brightness "$out/no-panel.png" 240 300 20 60)
      [ "$shown" -lt $((hidden / 2)) ] || fail "no panel over the picture (brightness $shown, $hidden without it)"
      # The guide is not saved: Escape asks, D discards it.
      xdotool keydown Escape; sleep 0.5; xdotool keyup Escape; sleep 1
      xdotool key d
      ;;
    close-request)
      await_window
      # WM_DELETE_WINDOW, as a window manager sends it for the close button,
      # and again every few seconds as a user clicks again: once in many
      # runs on this machine the program was still running two minutes after
      # a single request (seen in CI, not reproduced since).
      /usr/bin/python3 - "$window" "$app" <<'PY'
import sys, time
from Xlib import X, display, protocol
d = display.Display()
w = d.create_resource_object('window', int(sys.argv[1]))
protocols = d.intern_atom('WM_PROTOCOLS')
delete = d.intern_atom('WM_DELETE_WINDOW')
def running(pid):  # an exited program not yet waited for counts as ended
    try:
        with open("/proc/%s/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False
for attempt in range(10):
    if attempt:
        print("close request repeated", file=sys.stderr)
    w.send_event(protocol.event.ClientMessage(window=w, client_type=protocols,
                                              data=(32, [delete, X.CurrentTime, 0, 0, 0])))
    d.flush()
    time.sleep(3)
    if not running(sys.argv[2]):
        break
PY
      ;;
    manage)
      await_window
      manage
      ;;
    ask-cancel) ask cancel ;;
    ask-discard) ask discard ;;
    ask-save) ask save ;;
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
    fills | within-usable | titled | min-size | panel | asks | kept-on-cancel) ;;  # checked while the program ran
    unwritten) [ ! -e vorna2.flw ] || fail "a flow document was written" ;;
    saved)
      grep -q "^saved vorna2.flw (1 guide)$" "$out/stdout.txt" || fail "no saved line: $(cat "$out/stdout.txt")"
      [ -s vorna2.flw ] || fail "no flow document"
      rm -f vorna2.flw ;;  # the scene is shared with the other cases
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
  if [ "$display" = wm ]; then export DISPLAY=$managed_display; else export DISPLAY=$bare_display; fi
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
