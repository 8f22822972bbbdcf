#!/bin/bash
# Fails when a file under src/ includes one from a folder above its own (the house is
# built from the ground up, and each floor may use only the floors below it), or when
# files include each other in a loop, within a floor too.
#   platform 1 - the machine: clock, sound, display, input, files
#   ui       2 - buttons, the wipe, the aimer, the screen state
#   records  2 - the highscore table, the statistics, their files
#   play     3 - the round
#   world    4 - the game's side of the world table: requests, the queue, the sender
#   screens  5 - the screens outside the round
#   app      6 - main, the command line, start-up and shut-down, the screen loop
#   board    6 - the board server, a second program beside the game on the rules alone
# ui and records share a floor but do not use each other; the board uses neither the
# game's screens nor its client.
set -euo pipefail
cd "$(dirname "$0")/../.."

rank() {
    case "$1" in
        platform) echo 1 ;;
        ui | records) echo 2 ;;
        play) echo 3 ;;
        world) echo 4 ;;
        screens) echo 5 ;;
        app | board) echo 6 ;;
        *) echo 0 ;;
    esac
}

faults=0
while IFS= read -r line; do
    file=${line%%:*}
    target=$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"$line")
    from=$(cut -d/ -f2 <<<"$file")
    to=${target%%/*}
    [ "$target" != "$to" ] || continue  # a system or library header
    from_rank=$(rank "$from")
    to_rank=$(rank "$to")
    if [ "$from_rank" = 0 ] || [ "$to_rank" = 0 ]; then
        echo "$file: \"$target\": a folder with no floor; add it to tools/dev/check_layers.sh"
        faults=$((faults + 1))
    elif [ "$from" = board ] && { [ "$to" = screens ] || [ "$to" = world ]; }; then
        echo "$file: includes \"$target\"; the board has no screens and no client"
        faults=$((faults + 1))
    elif [ "$from" != "$to" ] && [ "$to_rank" -ge "$from_rank" ]; then
        echo "$file: includes \"$target\", which is not below $from/"
        faults=$((faults + 1))
    fi
done < <(grep -rHn --include='*.cpp' --include='*.h' -E '^#include "' src | sed -E 's/^([^:]+):[0-9]+:/\1:/')

# A module is a header and its source; a loop among modules shows as a loop to tsort.
loops=$(grep -rHo --include='*.cpp' --include='*.h' -E '^#include "[a-z_]+/[a-z_]+\.h"' src |
    sed -E 's#^src/([a-z_]+/[a-z_]+)\.(cpp|h):\#include "([a-z_/]+)\.h"#\1 \3#' |
    awk '$1 != $2' | tsort 2>&1 >/dev/null | grep -v '^tsort: -: input contains a loop:$' || true)
if [ -n "$loops" ]; then
    echo "these files include each other in a loop:"
    sed 's/^tsort: /  /' <<<"$loops"
    faults=$((faults + 1))
fi

if [ "$faults" -gt 0 ]; then
    echo "$faults fault(s) in the includes"
    exit 1
fi
echo "every include runs downward, and none in a loop"
