#!/bin/bash
# `cmake --install` of this build into a scratch prefix: the files land where a desktop
# looks for them, and the launcher runs the game in each player's own data folder. Two
# players keep their own highscores and statistics, and an upgrade that moves the game
# keeps them and brings its own assets.
. "$(dirname "$0")/lib.sh"

build=$(dirname "$GAME")
[ -f "$build/CMakeCache.txt" ] || fail "$build is not a build folder"

install_to() { cmake --install "$build" --prefix "$1" >"$work/install.log" 2>&1 || fail "install into $1 failed"; }

# play <prefix> <VAR=value...>: runs the installed launcher until the title menu shows,
# then quits with the title menu's Quit button.
play() {
    local prefix=$1; shift
    # The game learns where the pointer is only when it moves, so it must move to Quit.
    xdotool mousemove 0 0
    env "$@" "$prefix/bin/blockdash" >"$work/game.out" 2>"$work/game.err" &
    game_pid=$!   # the launcher execs the game in its place
    wait_for 10 on_title_menu || fail "no title menu through $prefix/bin/blockdash ($*)"
    game_gone() { ! game_running; }
    press_until 5 320 400 game_gone || { shot; keep_shot install_fail; fail "Quit did not end the game ($*)"; }
    wait_game_exit 5
    [ "$exit_status" -eq 0 ] || fail "the game ended with status $exit_status"
}

links_to() { [ "$(readlink -f "$1")" = "$(readlink -f "$2")" ]; }

old="$work/old"
install_to "$old"
for f in bin/blockdash lib/blockdash/blockdash; do
    [ -x "$old/$f" ] || fail "$f is not installed as a program"
done
for f in lib/blockdash/patches.dat "share/blockdash/KZ IMAGE/player.bmp" "share/blockdash/KZ SOUND/music.mid"; do
    [ -s "$old/$f" ] || fail "$f is not installed"
done
desktop="$old/share/applications/blockdash.desktop"
grep -qx "Exec=\"$old/bin/blockdash\"" "$desktop" || fail "the desktop entry does not run the launcher"
grep -qx "Icon=blockdash" "$desktop" || fail "the desktop entry names no icon"
for size in 64 128; do
    icon="$old/share/icons/hicolor/${size}x$size/apps/blockdash.png"
    [ "$(identify -format '%m %w %h' "$icon" 2>/dev/null)" = "PNG $size $size" ] || fail "no $size pixel icon"
done

start_display

# Alice has played before; Bob has not, and keeps the default XDG data home.
alice="$work/alice/blockdash/KZ DATA"
mkdir -p "$alice"
printf 'A L I 5000 1 \n' >"$alice/highscore.dat"
for _ in 1 2 3 4 5 6 7 8 9; do printf 'A A A 0 1 \n'; done >>"$alice/highscore.dat"
printf '123 4 5 67\n1 2 3' >"$alice/stats.dat"
cp "$alice/highscore.dat" "$work/alice-highscore"
cp "$alice/stats.dat" "$work/alice-stats"
bob="$work/bob-home/.local/share/blockdash/KZ DATA"

play "$old" XDG_DATA_HOME="$work/alice"
play "$old" HOME="$work/bob-home" XDG_DATA_HOME=
cmp -s "$alice/highscore.dat" "$work/alice-highscore" || fail "Alice's highscores changed"
cmp -s "$alice/stats.dat" "$work/alice-stats" || fail "Alice's statistics changed"
[ -f "$bob/stats.dat" ] || fail "Bob's statistics were not written in his own folder"
[ -e "$bob/highscore.dat" ] && fail "Bob got a highscore file without playing a round"
cmp -s "$bob/stats.dat" "$alice/stats.dat" && fail "Bob got Alice's statistics"
links_to "$work/alice/blockdash/KZ SOUND" "$old/share/blockdash/KZ SOUND" || fail "Alice's sounds are not linked"

# An upgrade lands somewhere new and the old version goes away.
new="$work/new"
install_to "$new"
rm -rf "$old"
play "$new" XDG_DATA_HOME="$work/alice"
for folder in "KZ IMAGE" "KZ SOUND"; do
    links_to "$work/alice/blockdash/$folder" "$new/share/blockdash/$folder" || fail "$folder not linked afresh"
done
cmp -s "$alice/highscore.dat" "$work/alice-highscore" || fail "the upgrade lost Alice's highscores"
cmp -s "$alice/stats.dat" "$work/alice-stats" || fail "the upgrade lost Alice's statistics"

# No HOME and an account with no home in the password database: a clear message, not
# highscores in "/.local/share".
chmod 755 "$work"
setpriv --reuid=4242 --regid=4242 --clear-groups env -u HOME XDG_DATA_HOME= "$new/bin/blockdash" \
    >"$work/game.out" 2>"$work/game.err"
status=$?
[ "$status" -eq 1 ] && grep -q "no home folder" "$work/game.err" ||
    fail "without a home the launcher gave status $status: $(cat "$work/game.err")"
echo "PASS"
