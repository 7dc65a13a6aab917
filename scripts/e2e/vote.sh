#!/usr/bin/env bash
# Casts one demo vote, driven by xdotool, and checks it end to end: the QR code of the result view
# holds the session id, the randomness and the vote id of the stored vote (the randomness checked by
# re-encrypting the stored ballot's plaintext with it), and the service's log holds the plaintext of
# the clicked choice (101, Mari Tamm, district 0001.1). Closing the result view ends the program
# with status 0.
# Usage: scripts/e2e/vote.sh BUILD_DIR OUT_DIR [id-card|mobile-id|smart-id]
# (screenshots land in OUT_DIR/shots). With mobile-id or smart-id the demo phone answers.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
out=$2
means=${3:-id-card}
# shellcheck source=scripts/e2e/lib.sh
source "$root/scripts/e2e/lib.sh"

e2e_election
e2e_display
e2e_service
e2e_program
shot V1-auth-methods 0.5
e2e_identify "$means"
await VoterChoices 1
shot V4-intro 2
e2e_pick_and_sign "$means"
await 'Vote via' 1
shot V8-result 2

qr=$(zbarimg --nodbus --raw -q "$out/shots/V8-result.png") || fail "no QR code in the result view"
vote=$(tail -1 "$out/demo/state/votes.jsonl")
field() { python3 -c 'import json,sys; print(json.loads(sys.argv[1])[sys.argv[2]])' "$vote" "$1"; }
voteid=$(field VoteID)
[ "$(sed -n 1p <<<"$qr")" = "$(field SessionID)" ] || fail "QR session id differs"
[ "$(sed -n 3p <<<"$qr")" = "$voteid" ] || fail "QR vote id differs"
"$build/bin/demo-verify" --election "$out/demo" --state "$out/demo/state" --vote-id "$voteid" \
  --randomness "$(sed -n 2p <<<"$qr")" || fail "the QR randomness does not re-encrypt to the ballot"
[ "$(field Plaintext)" = $'0001.101\x1fEesti Tuleviku Erakond\x1fMari Tamm' ] || fail "plaintext $(field Plaintext)"

close_request
e2e_expect_exit_0
echo "e2e: $means vote $voteid accepted; screenshots in $out/shots"
