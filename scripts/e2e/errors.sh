#!/usr/bin/env bash
# The program's error view and quit paths, end to end under Xvfb against the demo voting service.
# Each error case checks that the message area of the program's error view is, pixel for pixel,
# the reference drawing of the failure the case must meet (error-view-render), and that a close
# request then ends the program at once (no question) with status 0.
#
# Usage: scripts/e2e/errors.sh BUILD_DIR OUT_DIR CASE
#   network   the service is stopped before Mobile-ID identification
#   scenario  a voter the service refuses (INELIGIBLE_VOTER at the choices)
#   receipt   a Mobile-ID vote whose receipt's time stamp is over other data
#   config    a bundle whose default question is not among its questions
#   clock     a bundle whose validity period has passed
#   quit      a close request during the ID card's choices exchange answered no (the exchange goes on
#             and the vote goes ahead), then one during the vote exchange answered yes (the program
#             ends at once with status 0)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
out=$2
case_name=$3
# shellcheck source=scripts/e2e/lib.sh
source "$root/scripts/e2e/lib.sh"

# A copy of the demo program whose bundle is the demo bundle changed by a Python expression on b.
program_with_bundle() {
  python3 - "$out/demo/bundle.json" "$out/changed-bundle.json" "$1" <<'PY'
import json, sys
b = json.load(open(sys.argv[1], encoding="utf-8"))
exec(sys.argv[3])
json.dump(b, open(sys.argv[2], "w", encoding="utf-8"), ensure_ascii=False)
PY
  cp "$build/bin/sorvimend" "$out/changed-sorvimend"
  "$build/bin/bundle-tool" embed "$out/changed-bundle.json" "$out/changed-sorvimend" >/dev/null
  echo "$out/changed-sorvimend"
}

# Compares the program's error view with the reference drawing of CLASS DETAIL EXTRA MESSAGE,
# then sends a close request, which must end the program without a question.
expect_error_view() {
  local bundle=$1 class=$2 detail=$3 extra=$4 message=$5
  shot error-view 1.5
  "$build/tests/error-view-render" "$bundle" "$class" "$detail" "$extra" "$message" "$out/expected.ppm" ||
    fail "no reference drawing"
  convert "$out/shots/error-view.png" -crop 654x296+185+216 +repage "$out/seen.ppm"
  local differ
  differ=$(compare -metric AE "$out/seen.ppm" "$out/expected.ppm" "$out/difference.png" 2>&1 || true)
  [ "$differ" = 0 ] || fail "the error view differs from class $class detail $detail $message in $differ pixels (see $out/difference.png)"
  close_request
  e2e_expect_exit_0
  echo "e2e: $case_name: error view class $class detail $detail shown; closed with status 0"
}

e2e_election
e2e_display
bundle=$out/demo/bundle.json
# A scenario voter (demo/README.md) identifies with Mobile-ID: phone +3725550 and the code's last four.
mobile_id_voter() { phone=5550${1: -4} code=$1 e2e_identify mobile-id; }
case $case_name in
  network)
    e2e_service
    e2e_program
    shot V1-auth-methods 0.5
    e2e_stop_service
    mobile_id_voter 38001010008
    # NETWORK, all servers failed, with the Mobile-ID network text.
    expect_error_view "$bundle" 3 22 0 STR_ERR_HTTPS_NETWORK_MID ;;
  scenario)
    e2e_service
    e2e_program
    mobile_id_voter 38001010040
    await VoterChoices 1
    # PROTOCOL, status 1 (an error answer), with the bundle's text for the service's code.
    expect_error_view "$bundle" 5 1 0 RES_SERVER_INELIGIBLE_VOTER ;;
  receipt)
    e2e_service
    e2e_program
    mobile_id_voter 38001010075
    await VoterChoices 1
    shot V4-intro 2
    e2e_pick_and_sign mobile-id
    await 'Vote via' 1
    # VERIFY 12: the time stamp is not over the signature value.
    expect_error_view "$bundle" 6 12 0 - ;;
  config)
    e2e_service
    e2e_program "$(program_with_bundle 'b["RES_APP"]["DEFAULT_QUESTION_ID"] = "EP2026"')"
    expect_error_view "$out/changed-bundle.json" 1 0 0 STR_ERR_ELEC_RES ;;
  clock)
    e2e_service
    e2e_program "$(program_with_bundle 'b["RES_APP"]["VALID_PERIOD"] = "2020-01-01 - 2020-12-31"')"
    expect_error_view "$out/changed-bundle.json" 8 0 0 STR_ERR_VALID_PERIOD ;;
  quit)
    # The service logs a request when it has read it; the delay then holds back the answer.
    e2e_service --delay VoterChoices:5000 --delay Vote:20000
    e2e_program
    e2e_identify id-card
    await VoterChoices 1
    shot network-wait 0.5
    close_request
    click_in() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
    quit_dialog=$(dialog)
    shot quit-asked 0.3
    click_in "$quit_dialog" 235 135   # no
    shot V4-intro 5.5
    e2e_pick_and_sign id-card
    await 'Vote via' 1
    shot vote-wait 0.5
    kill -0 "$app" 2>/dev/null || fail "the program ended before the vote was answered"
    close_request
    quit_dialog=$(dialog)
    click_in "$quit_dialog" 85 135    # yes
    # Ends at once, long before the service's answer is due.
    e2e_expect_exit_0
    echo "e2e: quit: no kept the choices exchange running; yes ended the vote exchange with status 0" ;;
  *) fail "unknown case $case_name" ;;
esac
