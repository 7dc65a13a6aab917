#!/usr/bin/env bash
# A program whose embedded bundle is broken shows only the start-up failure page: a 500 x 200
# window titled "Viga" with the fixed red text, no main window, and exit status 0 once the page is
# closed (Escape, the toolkit's close request). Usage: startup_failure_test.sh BIN_DIR WORK_DIR
set -euo pipefail
bin=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
mkdir -p "$work"
export LSAN_OPTIONS=suppressions=$here/lsan.supp

display=""
xvfb=""
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
# Display numbers 700-799 by process id: apart from the ranges of the other test programs.
for attempt in $(seq 0 30); do
  n=$((700 + ($$ + attempt * 7) % 100))
  [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 50); do
    if xdpyinfo -display ":$n" >/dev/null 2>&1; then display=":$n"; break; fi
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$display" ] && break
  kill "$xvfb" 2>/dev/null || true
  xvfb=""
done
[ -n "$display" ] || { echo "no X server"; exit 1; }
export DISPLAY=$display

# Broken in three ways: not JSON, a key the catalogue lacks, a required key missing.
printf '{"RES_UI": {"CAPTION": ' >"$work/not-json.json"
python3 - "$here/../../demo/bundle.json" "$work" <<'PY'
import json, sys
bundle = json.load(open(sys.argv[1]))
unknown = json.loads(json.dumps(bundle)); unknown["RES_UI"]["NO_SUCH_KEY"] = "x"
json.dump(unknown, open(sys.argv[2] + "/unknown-key.json", "w"))
missing = json.loads(json.dumps(bundle)); del missing["RES_UI"]["CAPTION"]
json.dump(missing, open(sys.argv[2] + "/missing-key.json", "w"))
PY

failures=0
for bad in not-json unknown-key missing-key; do
  program=$work/sorvimend-$bad
  cp "$bin/sorvimend" "$program"
  "$bin/bundle-tool" embed "$work/$bad.json" "$program"
  "$program" ignored --arguments &
  app=$!
  window=""
  for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name '^Viga$' 2>/dev/null | head -n1 || true)
    [ -n "$window" ] && break
    sleep 0.1
  done
  if [ -z "$window" ]; then echo "$bad: no page"; failures=$((failures + 1)); kill "$app"; continue; fi
  sleep 0.3
  geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/ *Geometry: //p')
  main=$(xdotool search --class Sorvimend 2>/dev/null | head -n1 || true)
  shot=$work/startup-failure-$bad.png
  import -window "$window" "$shot"
  red=$(/usr/bin/convert "$shot" -format %c histogram:info:- | grep -ci 'FF0400' || true)
  if [ "$geometry" != "500x200" ]; then echo "$bad: geometry $geometry"; failures=$((failures + 1)); fi
  if [ -n "$main" ]; then echo "$bad: a main window exists"; failures=$((failures + 1)); fi
  if [ "$red" -lt 1 ]; then echo "$bad: no red text"; failures=$((failures + 1)); fi
  xdotool mousemove --window "$window" 250 100
  xdotool key --window "$window" Escape
  status=0
  for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$app" 2>/dev/null; then echo "$bad: still running"; failures=$((failures + 1)); kill "$app"; fi
  wait "$app" || status=$?
  app=""
  if [ "$status" -ne 0 ]; then echo "$bad: exit status $status"; failures=$((failures + 1)); fi
  echo "$bad: page shown ($geometry), closed, exit status $status"
done
[ "$failures" -eq 0 ] && echo "3 passed, 0 failed" || echo "$((3 - failures < 0 ? 0 : 3 - failures)) passed, $failures failed"
exit $((failures > 0))
