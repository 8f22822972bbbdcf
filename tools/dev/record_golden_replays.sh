#!/bin/bash
# Records the golden replays in tests/play/golden_replays again. Run it in the commit that
# raises replay_rules_version (src/records/replay_file.h): the old files no longer read,
# and the new ones are what the changed rules give.
# Usage: tools/dev/record_golden_replays.sh [build folder, default build]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
cmake --build "$build" --target play_test >/dev/null
folder=tests/play/golden_replays
mkdir -p "$folder"
rm -f "$folder"/*.rpl
BLOCKDASH_RECORD_GOLDEN="$PWD/$folder" "$build/tests/play/play_test" \
    --gtest_also_run_disabled_tests --gtest_filter='GoldenReplays.DISABLED_RecordAgain' | grep '\.rpl:'
"$build/tests/play/play_test" --gtest_filter='GoldenReplays.*' >/dev/null
echo "$folder recorded again and verified; commit it with the rules change"
