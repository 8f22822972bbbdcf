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

if [ -f fuzz/CMakeLists.txt ]; then
    echo "== fuzz the data file readers"
    cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DBLOCKDASH_FUZZ=ON -DBLOCKDASH_TESTS=OFF >/dev/null
    cmake --build build-fuzz -j"$jobs" --target fuzz_targets
    ctest --test-dir build-fuzz --output-on-failure -L fuzz
fi
echo "== all tests passed"
