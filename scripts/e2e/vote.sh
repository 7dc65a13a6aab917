#!/usr/bin/env bash
# Casts one demo vote with the SoftHSM2 ID card, driven by xdotool, and checks it end to end:
# the QR code of the result view equals session id, randomness and vote id, and the service's log
# holds the plaintext of the clicked choice (101, Mari Tamm, district 0001.1).
# Usage: scripts/e2e/vote.sh BUILD_DIR OUT_DIR [id-card|mobile-id]
# (screenshots land in OUT_DIR/shots). With mobile-id the demo phone answers instead of the card.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
out=$2
method=${3:-id-card}
port=${SV_DEMO_PORT:-$((40000 + RANDOM % 20000))}
rm -rf "$out"
mkdir -p "$out/shots"
out=$(cd "$out" && pwd)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT

"$root/demo/make-election" "$out/demo" --port "$port" --build "$build" >"$out/make-election.log"
"$build/bin/demo-service" --election "$out/demo" --listen "127.0.0.1:$port" --state "$out/demo/state" \
  >"$out/service.out" 2>"$out/service.log" &
pids+=($!)
if [ -z "${DISPLAY:-}" ]; then
  display=":$((100 + RANDOM % 400))"
  Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  export DISPLAY=$display
  for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fi
for _ in $(seq 1 50); do grep -q listening "$out/service.out" && break; sleep 0.1; done

export SOFTHSM2_CONF=$out/demo/card/softhsm2.conf EVOTE_PKCS11_LIB=/usr/lib/softhsm/libsofthsm2.so
export LSAN_OPTIONS=suppressions=$root/scripts/e2e/lsan.supp
"$out/demo/sorvimend" >"$out/program.out" 2>"$out/program.err" &
app=$!

windows() { xdotool search --onlyvisible --class Sorvimend 2>/dev/null || true; }
main=""
for _ in $(seq 1 100); do main=$(windows | head -1); [ -n "$main" ] && break; sleep 0.1; done
[ -n "$main" ] || { echo "e2e: no window" >&2; exit 1; }
shot() { sleep "${2:-1}"; import -window "$main" "$out/shots/$1.png"; }
click() { xdotool mousemove --window "$main" "$1" "$2" click 1; }
# Types a PIN into the dialog that opens beside the main window.
pin() {
  local dialog=""
  for _ in $(seq 1 100); do dialog=$(windows | grep -v "^$main\$" | head -1 || true); [ -n "$dialog" ] && break; sleep 0.1; done
  [ -n "$dialog" ] || { echo "e2e: no PIN dialog" >&2; exit 1; }
  xdotool mousemove --window "$dialog" 200 150
  xdotool type --delay 50 "$1"
  xdotool key Return
}

# Waits until the service log has n lines holding the method name.
await() {
  for _ in $(seq 1 300); do [ "$(grep -c "$1" "$out/service.log" || true)" -ge "$2" ] && return; sleep 0.1; done
  echo "e2e: no $1 reached the service" >&2; exit 1
}
shot V1-auth-methods 0.5
if [ "$method" = mobile-id ]; then
  click 512 310; shot V2-identifier-entry 1
  click 600 255; xdotool key End; xdotool type --delay 30 55500008
  click 600 315; xdotool type --delay 30 38001010008
  click 914 544; shot V3-auth-code 1.5
  await VoterChoices 1
  shot V4-intro 1
else
  click 512 240; pin 1234
  shot V4-intro 4
fi
click 914 544; shot V5-choices 1
click 190 128; sleep 0.5; click 200 151; shot V5-picked 0.5
click 873 544; shot V6-review 1
if [ "$method" = mobile-id ]; then
  click 914 544; shot V7-sign-code 1.5
  await 'Vote via' 1
  shot V8-result 1.5
else
  click 914 544; pin 12345
  shot V8-result 5
fi

qr=$(zbarimg --nodbus --raw -q "$out/shots/V8-result.png")
vote=$(tail -1 "$out/demo/state/votes.jsonl")
session=$(python3 -c 'import json,sys; print(json.loads(sys.argv[1])["SessionID"])' "$vote")
voteid=$(python3 -c 'import json,sys; print(json.loads(sys.argv[1])["VoteID"])' "$vote")
plain=$(python3 -c 'import json,sys; print(json.loads(sys.argv[1])["Plaintext"])' "$vote")
[ "$(sed -n 1p <<<"$qr")" = "$session" ] || { echo "e2e: QR session id differs" >&2; exit 1; }
[ "$(sed -n 3p <<<"$qr")" = "$voteid" ] || { echo "e2e: QR vote id differs" >&2; exit 1; }
[ "$plain" = $'0001.101\x1fEesti Tuleviku Erakond\x1fMari Tamm' ] || { echo "e2e: plaintext $plain" >&2; exit 1; }

click 914 544
for _ in $(seq 1 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
status=0
wait "$app" || status=$?
[ "$status" = 0 ] || { echo "e2e: program exit status $status" >&2; cat "$out/program.err" >&2; exit 1; }
echo "e2e: $method vote $voteid accepted; screenshots in $out/shots"
