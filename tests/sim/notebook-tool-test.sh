#!/usr/bin/env bash
# tools/notebook end to end: create, change, show and reset a state file.
set -euo pipefail
notebook=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
state=$dir/machine.ini
fail() { echo "FAIL: $*" >&2; exit 1; }

"$notebook" --state "$state" create class=2.0 supervisor-password=boss pc=0x0A \
  answers='"boss", cancel' fault='request 0x0602 busy 3' >/dev/null
"$notebook" --state "$state" set user-password=me owner='"ACME\r\nBob"' >/dev/null
shown=$("$notebook" --state "$state" show)
for expected in "supervisor registered, user registered, HDD not registered" "Passcode class 2.0" \
                "PC policy 0x0000000A: users without supervisor rights may register the user password, change it" \
                'Owner string (513-byte area): "ACME\r\nBob"' 'Answers waiting: "boss", cancel' \
                "request 0x0602 busy 3"; do
  grep -qF "$expected" <<<"$shown" || fail "show lacks '$expected':"$'\n'"$shown"
done
grep -q '^supervisor = [0-9A-F]\{16\}$' "$state" || fail "no supervisor passcode in the file"
if "$notebook" --state "$state" set user=1 2>/dev/null; then fail "an ambiguous key was accepted"; fi
"$notebook" --state "$state" reset >/dev/null
"$notebook" --state "$state" show | grep -qF "supervisor not registered, user not registered" || fail "reset kept passwords"
echo "notebook tool: ok"
