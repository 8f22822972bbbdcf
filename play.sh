#!/bin/bash
# Installs what the game needs, builds it and starts it. One line per step; the logs stay
# in build/logs. VERBOSE=1 shows everything; options go to the game (see blockdash --help).
set -euo pipefail
cd "$(dirname "$0")"
. tools/dev/phases.sh
. tools/dev/packages.sh
install_packages build/logs/packages.log "${game_packages[@]}"
# A first build leaves the tests out (their packages come with ./test.sh); a build folder
# that ./test.sh made keeps its settings, so nothing is rebuilt for nothing.
settings=(-DCMAKE_BUILD_TYPE=Release)
[ -f build/CMakeCache.txt ] || settings+=(-DBLOCKDASH_TESTS=OFF)
build_phase "Building the game" build blockdash "${settings[@]}"
echo "Starting Blockdash (F11 switches between full screen and a window)"
exec build/blockdash-play "$@"
