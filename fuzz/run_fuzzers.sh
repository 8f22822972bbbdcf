#!/bin/sh
# Builds the reader fuzzers with clang and runs each for a bounded time.
# Usage: fuzz/run_fuzzers.sh [seconds per reader, default 20] [build folder, default build-fuzz]
set -eu
seconds=${1:-20}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$source_dir/build-fuzz}

cmake -S "$source_dir" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DBLOCKDASH_FUZZ=ON \
      -DBLOCKDASH_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target highscore_reader_fuzz stats_reader_fuzz

for reader in highscore stats; do
    corpus="$build/fuzz/corpus/$reader"
    mkdir -p "$corpus"
    echo "== $reader reader, $seconds s"
    (cd "$build/fuzz" && "./${reader}_reader_fuzz" -max_total_time="$seconds" -timeout=5 \
        -rss_limit_mb=2048 -print_final_stats=1 "$corpus" "$source_dir/fuzz/seeds/$reader")
done
