#!/bin/bash
# Every replay the tests keep (the golden replays and the board's rounds) gives the same
# figures and the same verdict in the rules' WebAssembly module, run by node, as in the
# game's own --verify.
# Environment: GAME (the game's binary), MODULE (blockdash-round.js), REPLAYS (folders).
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Small enough to fetch with a page: the module and its loader within 1 MB.
module_bytes=$(( $(stat -c %s "$MODULE") + $(stat -c %s "${MODULE%.js}.wasm") ))
[ "$module_bytes" -le 1048576 ] || fail "the module and its loader are $module_bytes bytes, over 1 MB"

files=()
for folder in $REPLAYS; do files+=("$folder"/*.rpl); done
[ "${#files[@]}" -ge 8 ] || fail "only ${#files[@]} kept replays found in $REPLAYS"

for file in "${files[@]}"; do
    if "$GAME" --verify "$file" >"$work/native.out" 2>/dev/null; then claim=kept; else claim=broken; fi
    score=$(sed -n 's/^score: //p' "$work/native.out")
    cut=$(sed -n 's/^blocks cut: //p' "$work/native.out")
    combo=$(sed -n 's/^best combo: //p' "$work/native.out")
    [ -n "$score" ] || fail "--verify gave no figures for $file"
    echo "$file: score $score, blocks cut $cut, best combo $combo, claim $claim"
done >"$work/native.txt"
grep -q "claim broken" "$work/native.txt" && fail "a kept replay no longer verifies: $(grep broken "$work/native.txt")"

NODE_PATH=/usr/share/nodejs node --no-experimental-fetch "$(dirname "$0")/module_verify.js" "$MODULE" "${files[@]}" \
    >"$work/module.txt" || fail "node could not run the module"
diff -u "$work/native.txt" "$work/module.txt" || fail "the module's figures differ from --verify's"
echo "module and --verify agree on ${#files[@]} replays; the module with its loader is $module_bytes bytes"
