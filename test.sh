#!/bin/bash
# Installs what the tests need, checks that it brings every program the tests run, builds
# the game and runs every test: headless and end to end in a Release build with warnings
# as errors, then again under AddressSanitizer and
# UndefinedBehaviorSanitizer, the tests that play replays back under ThreadSanitizer, then
# the fuzzers. One line per step; the logs stay in build/logs, build-asan/logs,
# build-tsan/logs and build-fuzz/logs. VERBOSE=1 shows everything.
set -euo pipefail
cd "$(dirname "$0")"
. tools/dev/phases.sh
. tools/dev/packages.sh
install_packages build/logs/packages.log "${game_packages[@]}" "${test_packages[@]}"
# A program a test runs that the list above does not bring fails here, not on the next
# fresh machine.
phase "Checking the tests' programs against the package list" build/logs/programs.log tools/dev/check_test_programs.sh
jobs=$(nproc)
started=$(date +%s)
# A run must leave nothing in the checkout that is neither tracked nor ignored; what was
# there before it is the developer's own.
untracked() {
    command -v git >/dev/null && git rev-parse --is-inside-work-tree >/dev/null 2>&1 || return 0
    git status --porcelain --untracked-files=all | sed -n 's/^?? //p' | sort
}
untracked_before=$(untracked)
# The tests write only under TMPDIR and clean up when they pass, so a private one must
# end empty.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/blockdash-suite-XXXXXX")
# Some tests run the game as another user, who must be able to reach their folders.
chmod 755 "$scratch"

build_phase "Building (Release, warnings as errors)" build all \
    -DCMAKE_BUILD_TYPE=Release -DBLOCKDASH_WERROR=ON -DBLOCKDASH_TESTS=ON
TMPDIR=$scratch test_phase "Headless tests" build/logs/headless.log --test-dir build -LE e2e -j"$jobs"
TMPDIR=$scratch test_phase "End-to-end tests (the game under Xvfb, install and package)" build/logs/e2e.log \
    --test-dir build -L e2e -j"$jobs"

build_phase "Building under AddressSanitizer and UndefinedBehaviorSanitizer" build-asan all \
    -DCMAKE_BUILD_TYPE=Debug -DBLOCKDASH_SANITIZE=ON -DBLOCKDASH_WERROR=ON -DBLOCKDASH_TESTS=ON
TMPDIR=$scratch test_phase "Headless tests under the sanitizers" build-asan/logs/headless.log \
    --test-dir build-asan -LE e2e -j"$jobs"
TMPDIR=$scratch test_phase "End-to-end tests under the sanitizers" build-asan/logs/e2e.log \
    --test-dir build-asan -L e2e -j"$jobs"
# A replay swaps the clock the round reads while the input thread brings presses: only
# the tests that play back, so the phase stays short.
build_phase "Building the playback tests under ThreadSanitizer" build-tsan "play_test screens_test" \
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DBLOCKDASH_TSAN=ON \
    -DBLOCKDASH_WERROR=ON -DBLOCKDASH_TESTS=ON
TMPDIR=$scratch TSAN_OPTIONS=halt_on_error=1 test_phase "Playback under ThreadSanitizer" \
    build-tsan/logs/headless.log --test-dir build-tsan -R '^(ReplayTest|GoldenReplays|EndScreen)\.' -j"$jobs"
[ -z "$(ls -A "$scratch")" ] || { echo "The tests left files behind in $scratch:"; ls -A "$scratch"; exit 1; }
rmdir "$scratch"

fuzz/run_fuzzers.sh 20
left=$(comm -13 <(echo "$untracked_before") <(untracked))
[ -z "$left" ] || { echo "The tests left files in the checkout, neither tracked nor ignored:"; echo "$left"; exit 1; }
echo "All tests passed in $(( ($(date +%s) - started) / 60 )) min"
