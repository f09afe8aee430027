#!/usr/bin/env bash
# The program in a real window under Xvfb, driven with xdotool:
#   1. it fills the screen; a drag draws a guide (one "flow dirty" line at
#      the release), the wheel and Home work, a screenshot shows the picture,
#      and Escape ends it with exit code 0;
#   2. closing the window (WM_DELETE_WINDOW, as a window manager sends it)
#      ends it with exit code 0.
# Usage: window_e2e.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The demo scene without its flow document, so that the only synthesis is
# the one the drag causes.
"$build/make_demo_scene" "$work/scene" "$build/shaders" >/dev/null
rm -f "$work/scene/vorna2.flw"

cat >"$work/session.sh" <<'SESSION'
#!/usr/bin/env bash
set -euo pipefail
scene=$1; build=$2; out=$3; case=$4
cd "$scene"

fail() { echo "FAIL ($case): $*"; kill "$pid" 2>/dev/null || true; exit 1; }

"$build/stillflow" >"$out/stdout.txt" 2>"$out/stderr.txt" &
pid=$!

# Wait for the program's window to show.
wid=""
for _ in $(seq 1 150); do
  wid=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1 || true)
  [ -n "$wid" ] && break
  kill -0 "$pid" 2>/dev/null || fail "exited before its window showed: $(cat "$out/stderr.txt")"
  sleep 0.2
done
[ -n "$wid" ] || fail "no window"
sleep 2

geometry=$(xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: //p')
[ "$geometry" = "1280x800" ] || fail "window is $geometry, not the whole 1280x800 screen"

finish() {
  for _ in $(seq 1 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && fail "still running"
  set +e; wait "$pid"; rc=$?; set -e
  [ "$rc" -eq 0 ] || fail "exit code $rc"
}

if [ "$case" = escape ]; then
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
  finish
  lines=$(grep -c '^flow dirty [0-9]*\.[0-9]\{6\}$' "$out/stdout.txt" || true)
  [ "$lines" -eq 1 ] || fail "expected one flow dirty line, got: $(cat "$out/stdout.txt")"
  mean=$(convert "$out/screenshot.png" -format '%[fx:int(mean*1000)]' info:)
  [ "$mean" -gt 80 ] || fail "screenshot looks empty (mean $mean/1000)"
else
  /usr/bin/python3 - "$wid" <<'PY'
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
  finish
fi
echo "ok ($case)"
SESSION

status=0
for case in escape close; do
  mkdir -p "$work/$case"
  xvfb-run -a -s "-screen 0 1280x800x24" bash "$work/session.sh" "$work/scene" "$build" "$work/$case" "$case" || status=1
done
if [ -n "${STILLFLOW_KEEP_SCREENSHOT:-}" ] && [ -f "$work/escape/screenshot.png" ]; then
  cp "$work/escape/screenshot.png" "$STILLFLOW_KEEP_SCREENSHOT"
fi
exit $status
