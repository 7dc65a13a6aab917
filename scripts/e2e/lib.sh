# Shared steps of the end-to-end runs: the demo election, the demo voting service, a private
# Xvfb when there is no display, the program, and xdotool helpers. Sourced, not run.
#
# Callers set: root (the source tree), build (a build folder with bin/), out (the run's folder).
# SV_E2E_WRAP (optional): a command put before the program, such as valgrind.
# SV_E2E_SLOW (optional, default 1): a factor for every wait, for slow wrappers.

pids=()
e2e_cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap e2e_cleanup EXIT
slow=${SV_E2E_SLOW:-1}
e2e_sleep() { sleep "$(awk -v s="$1" -v f="$slow" 'BEGIN { print s * f }')"; }
fail() { echo "e2e: $*" >&2; exit 1; }

# Makes the demo election in $out/demo for a random port.
e2e_election() {
  port=${SV_DEMO_PORT:-$((40000 + RANDOM % 20000))}
  rm -rf "$out"
  mkdir -p "$out/shots"
  out=$(cd "$out" && pwd)
  "$root/demo/make-election" "$out/demo" --port "$port" --build "$build" >"$out/make-election.log"
}

# Starts the demo voting service with extra arguments (faults such as --delay Vote:5000).
e2e_service() {
  : >"$out/service.out"
  "$build/bin/demo-service" --election "$out/demo" --listen "127.0.0.1:$port" --state "$out/demo/state" "$@" \
    >"$out/service.out" 2>>"$out/service.log" &
  service_pid=$!
  pids+=("$service_pid")
  for _ in $(seq 1 50); do grep -q listening "$out/service.out" && return; sleep 0.1; done
  fail "the demo service did not start"
}

e2e_stop_service() {
  kill "$service_pid" 2>/dev/null || true
  wait "$service_pid" 2>/dev/null || true
}

e2e_display() {
  if [ -z "${DISPLAY:-}" ]; then
    local display=":$((100 + RANDOM % 400))"
    Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    pids+=($!)
    export DISPLAY=$display
    for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && return; sleep 0.1; done
    fail "Xvfb did not start"
  fi
}

windows() { xdotool search --onlyvisible --class Sorvimend 2>/dev/null || true; }

# Starts the program (default: the demo copy with the demo bundle) and finds its window.
e2e_program() {
  local program=${1:-$out/demo/sorvimend}
  export SOFTHSM2_CONF=$out/demo/card/softhsm2.conf EVOTE_PKCS11_LIB=/usr/lib/softhsm/libsofthsm2.so
  export LSAN_OPTIONS=suppressions=$root/scripts/e2e/lsan.supp:print_suppressions=0
  # shellcheck disable=SC2086
  ${SV_E2E_WRAP:-} "$program" >"$out/program.out" 2>"$out/program.err" &
  app=$!
  main=""
  for _ in $(seq 1 $((100 * slow))); do main=$(windows | head -1); [ -n "$main" ] && break; sleep 0.1; done
  [ -n "$main" ] || fail "no window"
}

shot() { e2e_sleep "${2:-1}"; import -window "$main" "$out/shots/$1.png"; }
click() { xdotool mousemove --window "$main" "$1" "$2" click 1; }

# The first window of the program other than the main one (a dialog), waited for.
dialog() {
  local found=""
  for _ in $(seq 1 $((100 * slow))); do found=$(windows | grep -v "^$main\$" | head -1 || true); [ -n "$found" ] && break; sleep 0.1; done
  [ -n "$found" ] || fail "no dialog opened"
  echo "$found"
}

# Types a PIN into the dialog that opens beside the main window; with a name, saves a screenshot
# of the dialog (the PIN shows masked) before confirming it.
pin() {
  local d
  d=$(dialog)
  xdotool mousemove --window "$d" 200 150
  xdotool type --delay 50 "$1"
  if [ -n "${2:-}" ]; then e2e_sleep 0.3; import -window "$d" "$out/shots/$2.png"; fi
  xdotool key Return
}

# Waits until the service log has n lines holding the text.
await() {
  for _ in $(seq 1 $((300 * slow))); do [ "$(grep -c "$1" "$out/service.log" || true)" -ge "$2" ] && return; sleep 0.1; done
  fail "no $1 reached the service"
}

# Asks the window to close, as a window manager's close button does. The program may end on the
# key press, so the window can be gone before the release is sent: only the press must arrive.
close_request() {
  xdotool keydown --window "$main" Escape
  xdotool keyup --window "$main" Escape 2>/dev/null || true
}

# Waits for the program to end and fails unless its exit status is 0 (not in a subshell: the
# program is this shell's child).
e2e_expect_exit_0() {
  for _ in $(seq 1 $((100 * slow))); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$app" 2>/dev/null && fail "the program did not end"
  local status=0
  wait "$app" || status=$?
  [ "$status" = 0 ] || { cat "$out/program.err" >&2; fail "program exit status $status"; }
}

# Identification with one of the three means, up to the intro view (V4).
e2e_identify() {
  case $1 in
    id-card)
      click 512 240; pin 1234 PIN1-dialog ;;
    mobile-id|smart-id)
      if [ "$1" = mobile-id ]; then
        click 512 310; shot V2-identifier-entry 1
        click 600 255; xdotool key End; xdotool type --delay 30 "${phone:-55500008}"
        click 600 315
      else
        click 512 380; shot V2-identifier-entry 1
        click 600 255
      fi
      xdotool type --delay 30 "${code:-38001010008}"
      click 914 544; shot V3-auth-code 1.5 ;;
    *) fail "unknown means $1" ;;
  esac
}

# From the intro view: picks choice 101 (the first of the first list), reviews and signs.
e2e_pick_and_sign() {
  local means=$1
  click 914 544; shot V5-choices 1
  click 190 128; e2e_sleep 0.5; click 200 151; shot V5-picked 0.5
  click 873 544; shot V6-review 1
  click 914 544
  # The signing code shows once the phone has been asked to sign.
  if [ "$means" = id-card ]; then pin 12345 PIN2-dialog; else await 'Sign via' 1; shot V7-sign-code 1; fi
}
