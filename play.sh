#!/bin/bash
# Installs what the game needs, builds it and starts it.
set -euo pipefail
cd "$(dirname "$0")"
. tools/dev/packages.sh
install_packages "${game_packages[@]}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBLOCKDASH_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target blockdash
exec build/blockdash-play "$@"
