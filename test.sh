#!/bin/bash
# Installs what the tests need, builds the game and runs every test: headless and end to
# end, then again under AddressSanitizer and UndefinedBehaviorSanitizer, then the fuzzers.
set -euo pipefail
cd "$(dirname "$0")"
. tools/dev/packages.sh
install_packages "${game_packages[@]}" "${test_packages[@]}"
jobs=$(nproc)

echo "== build and test"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBLOCKDASH_TESTS=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== build and test under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DBLOCKDASH_SANITIZE=ON -DBLOCKDASH_TESTS=ON >/dev/null
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== fuzz the data file readers"
fuzz/run_fuzzers.sh 20
echo "== all tests passed"
