#!/usr/bin/env bash
# Whole-program figures of a release build, each from the running program under a private Xvfb:
#   1. cold start to the first painted view (5 runs);
#   2. peak memory (VmHWM) at the result view of a whole vote, by ID card and by Mobile-ID;
#   3. CPU use while the wait animation runs (network-wait view, V3), beside the idle V1;
#   4. the wall time of every exchange of a Mobile-ID vote against the 200 ms step timer and the
#      5 s poll timer.
# Usage: bench/app/measure.sh BUILD_DIR [OUT_DIR]
#   BUILD_DIR: a build folder whose bin/ has sorvimend, bundle-tool and demo-service (release, no
#   sanitizers). OUT_DIR (default: a new folder in /tmp) gets the logs, screenshots and figures.txt.
# A measuring tool, not a test: it prints figures and fails only when a run cannot be completed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
if [ $# -lt 1 ]; then
  sed -n '8,10p' "$0" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
top=${2:-$(mktemp -d /tmp/sorvimend-measure.XXXXXX)}
mkdir -p "$top"
top=$(cd "$top" && pwd)
out=$top/run
for tool in sorvimend bundle-tool demo-service; do
  [ -x "$build/bin/$tool" ] || { echo "measure: $build/bin/$tool is missing" >&2; exit 2; }
done
# shellcheck source=scripts/e2e/lib.sh
source "$root/scripts/e2e/lib.sh"
# xdotool warns on every click that Xvfb, without a window manager, has no focused window.
exec 2> >(grep -v --line-buffered 'XGetInputFocus returned' >&2)

app=""
measure_cleanup() {
  if [ -n "$app" ]; then kill "$app" 2>/dev/null || true; fi
  e2e_cleanup
}
trap measure_cleanup EXIT

figures=$top/figures.txt
: >"$figures"
say() { echo "$*" | tee -a "$figures"; }
stats() {
  python3 -c 'import statistics, sys; v = [float(x) for x in sys.argv[1:]]
print("%.1f %.1f %.1f" % (statistics.median(v), min(v), max(v)))' "$@"
}
row() { printf '%-46s %3s %8s %8s %8s  %s\n' "$@" | tee -a "$figures"; }
wait_for() {  # file, tenths of a second
  for _ in $(seq 1 "$2"); do [ -s "$1" ] && return 0; sleep 0.1; done
  return 1
}
status_kb() { awk -v k="$2:" '$1 == k { print $2 }' "/proc/$1/status"; }
now_ns() { date +%s%N; }
# utime + stime of a process in clock ticks.
cpu_ticks() {
  local stat
  stat=$(cat "/proc/$1/stat")
  stat=${stat##*) }
  # shellcheck disable=SC2086
  set -- $stat
  echo $((${12} + ${13}))
}
hz=$(getconf CLK_TCK)

# Samples the CPU use of the program (and of Xvfb, which does the drawing) once a second for
# $1 seconds; sets cpu_samples (per-second %), cpu_total and xvfb_total (% over the whole window).
sample_cpu() {
  local seconds=$1 start_ns start_app start_x prev_ns prev_app t a
  start_ns=$(now_ns); start_app=$(cpu_ticks "$app"); start_x=$(cpu_ticks "$xvfb")
  prev_ns=$start_ns; prev_app=$start_app
  cpu_samples=()
  for _ in $(seq 1 "$seconds"); do
    sleep 1
    t=$(now_ns); a=$(cpu_ticks "$app")
    cpu_samples+=("$(awk -v d=$((a - prev_app)) -v ns=$((t - prev_ns)) -v hz="$hz" 'BEGIN { printf "%.2f", 100 * d / hz / (ns / 1e9) }')")
    prev_ns=$t; prev_app=$a
  done
  cpu_total=$(awk -v d=$((a - start_app)) -v ns=$((t - start_ns)) -v hz="$hz" 'BEGIN { printf "%.2f", 100 * d / hz / (ns / 1e9) }')
  xvfb_total=$(awk -v d=$(($(cpu_ticks "$xvfb") - start_x)) -v ns=$((t - start_ns)) -v hz="$hz" 'BEGIN { printf "%.2f", 100 * d / hz / (ns / 1e9) }')
}

# The result view's close button ends the program (the done state closes without asking).
close_result_view() {
  click 914 544
  expect_exit_0
}

# Waits (at most 10 s) for the program to end with status 0.
expect_exit_0() {
  for _ in $(seq 1 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$app" 2>/dev/null && fail "the program did not end"
  local status=0
  wait "$app" || status=$?
  app=""
  [ "$status" = 0 ] || fail "program exit status $status (see $out/program.err)"
}

votes_stored() { if [ -f "$out/demo/state/votes.jsonl" ]; then wc -l <"$out/demo/state/votes.jsonl"; else echo 0; fi; }

# From the intro view: picks, signs, waits for the result view and checks that the service stored
# one more vote than before.
sign_until_stored() {
  local means=$1 result_shot=$2 what=$3
  e2e_pick_and_sign "$means"
  await 'Vote via' 1
  shot "$result_shot" 2
  [ "$(votes_stored)" -gt "$before" ] || fail "the $what vote was not stored"
}

cache=$build/CMakeCache.txt
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$cache" 2>/dev/null || true)
sanitize=$(sed -n 's/^SORVIMEND_SANITIZE:[A-Z]*=//p' "$cache" 2>/dev/null || true)
started=$(date +%s)
say "Sorvimend whole-program figures, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
say "build: $build (${build_type:-?}, sanitizers ${sanitize:-?}); logs and screenshots: $top"
[ "${sanitize:-OFF}" = OFF ] || say "warning: a sanitizer build: the figures are not the program's own"

unset DISPLAY  # always a private Xvfb: nothing else may draw or take CPU on it
e2e_election
e2e_display
xvfb=${pids[-1]}
[ -x "$out/demo/sorvimend" ] || fail "the demo election has no program copy"
cc -O2 -o "$top/first-paint" "$here/first_paint.c" -lX11

# --- 1. Cold start ----------------------------------------------------------------------------
# first-paint forks and execs the program, sees its window's MapNotify on the root window, then
# reads the whole window with XGetImage about every period_ms until the three V1 buttons are drawn
# and the picture stays unchanged for 1 s. The pointer is parked outside the window: inside it,
# the window's cover warning (a red frame) shows until the first pointer event.
xdotool mousemove 1270 790
export SOFTHSM2_CONF=$out/demo/card/softhsm2.conf EVOTE_PKCS11_LIB=/usr/lib/softhsm/libsofthsm2.so
mapped=() painted=() settled=() periods=() start_hwm=()
for i in 1 2 3 4 5; do
  line=$top/cold-$i.line
  : >"$line"
  "$top/first-paint" "$top/cold-$i" "$out/demo/sorvimend" >"$line" &
  helper=$!
  pids+=("$helper")
  wait_for "$line" 200 || fail "cold start $i: no first view (see $top/cold-$i.err)"
  declare -A f=()
  read -ra kvs <"$line"
  for kv in "${kvs[@]}"; do f[${kv%%=*}]=${kv#*=}; done
  mapped+=("${f[mapped_ms]}"); painted+=("${f[buttons_ms]}"); settled+=("${f[settled_ms]}")
  periods+=("${f[period_ms]}"); start_hwm+=("$(awk -v k="${f[hwm_kb]}" 'BEGIN { printf "%.1f", k / 1024 }')")
  # Escape is a close request: in V1 the program asks first; the quit dialog's left button quits.
  main=${f[window]}
  xdotool key --window "$main" Escape
  quit=$(dialog)
  xdotool mousemove --window "$quit" 85 135 click 1
  xdotool mousemove 1270 790
  status=0
  wait "$helper" || status=$?
  [ "$status" = 0 ] || fail "cold start $i: exit status $status"
  unset f
done
/usr/bin/convert "$top/cold-5.ppm" "$top/cold-start-V1.png"

# --- 2 and 3: ID card votes ---------------------------------------------------------------------
# A plain vote for the peak memory; before it, 3 s of the idle V1 as a baseline for the CPU.
: >"$out/service.log"
before=$(votes_stored)
e2e_service
e2e_program
shot V1-idle 1
sample_cpu 3
idle_samples=("${cpu_samples[@]}") idle_total=$cpu_total
e2e_identify id-card
await VoterChoices 1
shot card-V4-intro 2
sign_until_stored id-card card-V8-result "ID-card"
card_hwm=$(status_kb "$app" VmHWM) card_rss=$(status_kb "$app" VmRSS)
close_result_view
e2e_stop_service

# The same vote with VoterChoices answered after 12 s: the network-wait view animates meanwhile.
: >"$out/service.log"
before=$(votes_stored)
e2e_service --delay VoterChoices:12000
e2e_program
e2e_identify id-card
await VoterChoices 1
shot card-network-wait 1
asked=$(now_ns)
sample_cpu 8
wait_samples=("${cpu_samples[@]}") wait_total=$cpu_total wait_xvfb=$xvfb_total
# The answer leaves the service 12 s after the request; one more step reads it and shows V4.
shot card-delayed-V4-intro "$(awk -v ns=$(($(now_ns) - asked)) 'BEGIN { s = 13.5 - ns / 1e9; print (s > 0.5 ? s : 0.5) }')"
sign_until_stored id-card card-delayed-V8-result "delayed ID-card"
delayed_hwm=$(status_kb "$app" VmHWM)
close_result_view
e2e_stop_service

# --- 2, 3 and 4: a Mobile-ID vote with every exchange timed --------------------------------------
# The service runs behind a relay that stamps each connection, each TLS flight and each request
# with a monotonic time (timed_service.py).
: >"$out/service.log"
before=$(votes_stored)
python3 "$here/timed_service.py" serve "$out/timed.log" "$out/service.log" "$port" -- \
  "$build/bin/demo-service" --election "$out/demo" --listen 127.0.0.1:0 --state "$out/demo/state" \
  2>>"$out/timed.err" &
service_pid=$!
pids+=("$service_pid")
wait_for "$out/timed.log.ready" 100 || fail "the timed service did not start"
e2e_program
e2e_identify mobile-id
sample_cpu 3
v3_samples=("${cpu_samples[@]}") v3_total=$cpu_total v3_xvfb=$xvfb_total
await VoterChoices 1
shot mobile-V4-intro 2
sign_until_stored mobile-id mobile-V8-result "Mobile-ID"
mobile_hwm=$(status_kb "$app" VmHWM) mobile_rss=$(status_kb "$app" VmRSS)
close_result_view
e2e_stop_service

# --- The figures ---------------------------------------------------------------------------------
mb() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
say ""
row "figure" "n" "median" "min" "max" "note"
# shellcheck disable=SC2046
{
  row "cold start: window mapped (ms after exec)" 5 $(stats "${mapped[@]}") "MapNotify, exact to ~1 ms"
  row "cold start: V1 buttons painted (ms)" 5 $(stats "${painted[@]}") "resolution: one window read per $(stats "${periods[@]}" | cut -d' ' -f1) ms"
  row "cold start: V1 picture final (ms)" 5 $(stats "${settled[@]}") "unchanged for 1 s after it"
  row "cold start: VmHWM at V1 (MB)" 5 $(stats "${start_hwm[@]}") ""
  row "peak memory VmHWM at V8, ID card (MB)" 1 "$(mb "$card_hwm")" - - "goal < 40; VmRSS $(mb "$card_rss") MB"
  row "  same, VoterChoices delayed 12 s (MB)" 1 "$(mb "$delayed_hwm")" - - "goal < 40"
  row "peak memory VmHWM at V8, Mobile-ID (MB)" 1 "$(mb "$mobile_hwm")" - - "goal < 40; VmRSS $(mb "$mobile_rss") MB"
  row "CPU, V1 idle (%, 1-s samples)" 3 $(stats "${idle_samples[@]}") "over 3 s: $idle_total %"
  row "CPU, network wait animating, ID card (%)" 8 $(stats "${wait_samples[@]}") "over 8 s: $wait_total % (goal < 3); Xvfb $wait_xvfb %"
  row "CPU, V3 animating, Mobile-ID (%)" 3 $(stats "${v3_samples[@]}") "over 3 s: $v3_total % (goal < 3); Xvfb $v3_xvfb %"
}
say "(CPU: utime+stime from /proc/PID/stat, $hz ticks a second: one tick is $(awk -v h="$hz" 'BEGIN { print 100 / h }') % of a 1-s sample)"
say ""
say "Mobile-ID vote, one run: times in ms from the relay in front of the service. wait: previous"
say "connection closed -> this one opened; setup: opened -> request complete (connect, TLS handshake,"
say "write); svc: request -> first reply byte; read: -> the program closed; req->next: request ->"
say "next request. floor: what the timers allow at least (a read step, the next state's send step"
say "or the 5 s poll, a connect step, 1-2 handshake steps, a write step)."
python3 "$here/timed_service.py" report "$out/timed.log" | tee -a "$figures"
say ""
say "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg); took $(($(date +%s) - started)) s"
