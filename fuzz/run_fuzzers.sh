#!/bin/bash
# Builds the reader fuzzers (the game's data files and replays, and what the board server
# parses itself) with clang and runs each for a bounded time, one line each;
# their output goes to <build folder>/logs and is shown in full only on a failure
# (or always with VERBOSE=1).
# Usage: fuzz/run_fuzzers.sh [seconds per reader, default 20] [build folder, default build-fuzz]
set -euo pipefail
seconds=${1:-20}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$(mkdir -p "${2:-$source_dir/build-fuzz}" && cd "${2:-$source_dir/build-fuzz}" && pwd)
cd "$source_dir"
. tools/dev/phases.sh

phase "Building the fuzzers (clang)" "$build/logs/build.log" build_steps "$build" \
    "highscore_reader_fuzz stats_reader_fuzz replay_reader_fuzz board_reader_fuzz" \
    -DCMAKE_CXX_COMPILER=clang++ -DBLOCKDASH_FUZZ=ON -DBLOCKDASH_TESTS=OFF -DBLOCKDASH_WERROR=ON

for reader in highscore stats replay board; do
    corpus="$build/fuzz/corpus/$reader"
    log="$build/logs/${reader}_fuzz.log"
    mkdir -p "$corpus"
    phase_start "Fuzzing the $reader reader for $seconds s"
    (cd "$build/fuzz" && run_to_log "$log" "./${reader}_reader_fuzz" -max_total_time="$seconds" \
        -timeout=5 -rss_limit_mb=2048 -print_final_stats=1 "$corpus" "$source_dir/fuzz/seeds/$reader") ||
        phase_failed "Fuzzing the $reader reader" "$log"
    echo "$(grep -o 'number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$') inputs, no failure"
done
