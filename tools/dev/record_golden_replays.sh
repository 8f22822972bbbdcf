#!/bin/bash
# Records the golden replays in tests/play/golden_replays and the board rounds in
# tests/board/kept_rounds again. Run it in the commit that raises replay_rules_version
# (src/records/replay_file.h): the old files no longer read, and the new ones are what the
# changed rules give.
# Usage: tools/dev/record_golden_replays.sh [build folder, default build]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
cmake --build "$build" --target play_test round_sender blockdash >/dev/null
folder=tests/play/golden_replays
mkdir -p "$folder"
rm -f "$folder"/*.rpl
BLOCKDASH_RECORD_GOLDEN="$PWD/$folder" "$build/tests/play/play_test" \
    --gtest_also_run_disabled_tests --gtest_filter='GoldenReplays.DISABLED_RecordAgain' | grep '\.rpl:'
"$build/tests/play/play_test" --gtest_filter='GoldenReplays.*' >/dev/null
# Board rounds as the board's tests play them: busy, idle and quick hands. Recorded in a
# scratch folder, where the rounds' own records go.
rounds=tests/board/kept_rounds
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
rm -f "$rounds"/*.rpl
for round in "5 25 BSY" "77 25 TWO" "1234 0 IDL" "9 7 FST"; do
    read -r seed frames_per_click name <<<"$round"
    file=$PWD/$rounds/board-seed$seed-click$frames_per_click.rpl
    (cd "$scratch" && "$OLDPWD/$build/tests/board/round_sender" --record "$seed" "$frames_per_click" "$name" "$file")
    "$build/blockdash" --verify "$file" >/dev/null
done
echo "$folder and $rounds recorded again and verified; commit them with the rules change"
