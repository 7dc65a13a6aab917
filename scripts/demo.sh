#!/usr/bin/env bash
# The main job: installs what is missing, builds the program and the tools, makes the demo
# election and starts the demo voting service. With a display the program opens on it for the
# voter; without one ($DISPLAY unset) a scripted ID-card vote runs under Xvfb and a screenshot of
# each view is saved.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build=${SV_BUILD:-$root/build/release}
"$root/scripts/build.sh" "$build" -DSORVIMEND_TESTS=OFF
"$build/bin/bundle-tool" check "$build/bin/sorvimend"
out=${SV_DEMO_DIR:-$root/build/demo-run}

if [ -z "${DISPLAY:-}" ]; then
  "$root/scripts/e2e/vote.sh" "$build" "$out"
  echo "demo: screenshots of every view are in $out/shots"
  exit 0
fi

port=${SV_DEMO_PORT:-48443}
rm -rf "$out"
mkdir -p "$out"
"$root/demo/make-election" "$out/demo" --port "$port" --build "$build" >"$out/make-election.log"
"$build/bin/demo-service" --election "$out/demo" --listen "127.0.0.1:$port" --state "$out/demo/state" \
  >"$out/service.out" 2>"$out/service.log" &
service=$!
trap 'kill $service 2>/dev/null || true' EXIT
for _ in $(seq 1 50); do grep -q listening "$out/service.out" && break; sleep 0.1; done
echo "demo: voting service on 127.0.0.1:$port; ID card PIN1 1234, PIN2 12345"
SOFTHSM2_CONF=$out/demo/card/softhsm2.conf EVOTE_PKCS11_LIB=/usr/lib/softhsm/libsofthsm2.so "$out/demo/sorvimend"
echo "demo: votes received are listed in $out/demo/state/votes.jsonl"
