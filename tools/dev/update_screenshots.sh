#!/bin/bash
# Refreshes the README's screenshots from the end-to-end tests' own screenshots.
# Usage: tools/dev/update_screenshots.sh [build folder, default build]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
ctest --test-dir "$build" -L e2e -R 'title_menu|round|journey|display|e2e.board_test' --output-on-failure >/dev/null
mkdir -p docs
for shot in title_menu round_start round_dash pause_menu name_entry highscore_entered statistics desktop_window watch_page; do
    cp "$build/screenshots/$shot.png" "docs/$shot.png"
done
echo "docs/ updated"
