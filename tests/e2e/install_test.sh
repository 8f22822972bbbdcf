#!/bin/bash
# `cmake --install` of this build into a scratch prefix: the files land where a desktop
# looks for them, and the launcher runs the game in each player's own data folder. Two
# players keep their own highscores and statistics, and an upgrade that moves the game
# keeps them and brings its own assets. Then the Debian package of a plain build: the same
# tree, lintian finds no errors, and the game starts from it.
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
    env "$@" "$prefix/games/blockdash" >"$work/game.out" 2>"$work/game.err" &
    game_pid=$!   # the launcher execs the game in its place
    wait_for 10 on_title_menu || fail "no title menu through $prefix/games/blockdash ($*)"
    game_gone() { ! game_running; }
    press_until 5 320 400 game_gone || { shot; keep_shot install_fail; fail "Quit did not end the game ($*)"; }
    wait_game_exit 5
    [ "$exit_status" -eq 0 ] || fail "the game ended with status $exit_status"
}

links_to() { [ "$(readlink -f "$1")" = "$(readlink -f "$2")" ]; }

old="$work/old"
install_to "$old"
for f in games/blockdash lib/blockdash/blockdash; do
    [ -x "$old/$f" ] || fail "$f is not installed as a program"
done
for f in lib/blockdash/patches.dat "share/blockdash/KZ IMAGE/player.bmp" "share/blockdash/KZ SOUND/music.mid" \
         share/doc/blockdash/LICENSE share/doc/blockdash/copyright share/doc/blockdash/changelog.gz; do
    [ -s "$old/$f" ] || fail "$f is not installed"
done
grep -q "GPL-2+ with composition exception" "$old/share/doc/blockdash/copyright" ||
    fail "the copyright file does not give the patch set's licence"
desktop="$old/share/applications/blockdash.desktop"
grep -qx "Exec=\"$old/games/blockdash\"" "$desktop" || fail "the desktop entry does not run the launcher"
grep -qx "Icon=blockdash" "$desktop" || fail "the desktop entry names no icon"
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
for size in 16 32 48 64 128 256; do
    icon="$old/share/icons/hicolor/${size}x$size/apps/blockdash.png"
    [ "$(identify -format '%m %w %h' "$icon" 2>/dev/null)" = "PNG $size $size" ] || fail "no $size pixel icon"
done
metainfo=$(echo "$old"/share/metainfo/*.metainfo.xml)
appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 ||
    fail "appstreamcli rejects the metainfo: $(cat "$work/appstream.log")"
grep -q "<launchable type=\"desktop-id\">blockdash.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch the desktop entry"

# One version everywhere: the program, its manual page and the metainfo's newest release.
version=$("$old/lib/blockdash/blockdash" --version) || fail "--version failed"
version=${version#blockdash }
man="$old/share/man/man6/blockdash.6.gz"
zcat "$man" | grep -q "^\.TH BLOCKDASH 6 .* \"blockdash $version\"" || fail "the manual page is not of $version"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo's release is not $version"
zcat "$man" | grep -q "$old/share/blockdash" || fail "the manual page does not name the installed assets"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$man" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "the manual page has mistakes: $warnings"

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
setpriv --reuid=4242 --regid=4242 --clear-groups env -u HOME XDG_DATA_HOME= "$new/games/blockdash" \
    >"$work/game.out" 2>"$work/game.err"
status=$?
[ "$status" -eq 1 ] && grep -q "no home folder" "$work/game.err" ||
    fail "without a home the launcher gave status $status: $(cat "$work/game.err")"

# A data folder the player cannot write (as on a read-only file system): the launcher still
# starts the game, which shows the table it finds and says once that it cannot save.
readonly_home="$work/readonly"
mkdir -p "$readonly_home/blockdash/KZ DATA" "$work/runtime"
printf 'R O M 900 1 \n' >"$readonly_home/blockdash/KZ DATA/highscore.dat"
chmod -R a+rX,a-w "$readonly_home"
chown 4242 "$work/runtime"
chmod 700 "$work/runtime"
xdotool mousemove 0 0
setpriv --reuid=4242 --regid=4242 --clear-groups env HOME=/nonexistent XDG_DATA_HOME="$readonly_home" \
    XDG_RUNTIME_DIR="$work/runtime" "$new/games/blockdash" >"$work/game.out" 2>"$work/game.err" &
game_pid=$!
wait_for 10 on_title_menu || fail "no title menu with a read-only data folder: $(cat "$work/game.err")"
press_until 5 320 400 game_gone || fail "Quit did not end the game with a read-only data folder"
wait_game_exit 5
[ "$exit_status" -eq 1 ] || fail "an unsaved session ended with status $exit_status"
grep -q "cannot set up" "$work/game.err" || fail "the launcher did not say why: $(cat "$work/game.err")"
[ "$(grep -c 'cannot save "KZ DATA//stats.dat"' "$work/game.err")" -eq 1 ] ||
    fail "the failed save was not said once: $(cat "$work/game.err")"
[ "$(cat "$readonly_home/blockdash/KZ DATA/highscore.dat")" = "R O M 900 1 " ] || fail "the table changed"

# The package is made from plain builds only: a sanitizer build would depend on its runtime.
if grep -q "^BLOCKDASH_SANITIZE:BOOL=ON" "$build/CMakeCache.txt"; then
    echo "PASS (no package from a sanitizer build)"
    exit 0
fi
(cd "$build" && cpack -G DEB -B "$work/package") >"$work/cpack.log" 2>&1 ||
    fail "cpack failed: $(cat "$work/cpack.log")"
deb=$(echo "$work"/package/blockdash_"$version"_*.deb)
[ -f "$deb" ] || fail "no blockdash_${version} package: $(ls "$work/package")"
dpkg-deb -f "$deb" Depends | grep -q "liballegro4" || fail "the package does not depend on Allegro"
# lintian leaves a cache file in its TMPDIR. Pedantic, and no warning either: what remains
# is information alone.
TMPDIR="$work" lintian --pedantic "$deb" >"$work/lintian.log" 2>&1
! grep "^[EW]:" "$work/lintian.log" || fail "lintian reports errors or warnings"

# The package holds what `cmake --install --prefix /usr` puts in place for the game, file
# for file; the board server's files go to a package of their own.
DESTDIR="$work/reference" cmake --install "$build" --prefix /usr --component Unspecified >"$work/install.log" 2>&1 ||
    fail "install into a staging folder failed"
board_deb=$(echo "$work"/package/blockdash-board_"$version"_*.deb)
[ -f "$board_deb" ] || fail "no blockdash-board_${version} package: $(ls "$work/package")"
TMPDIR="$work" lintian --pedantic "$board_deb" >"$work/lintian-board.log" 2>&1
! grep "^[EW]:" "$work/lintian-board.log" || fail "lintian reports errors or warnings in the board's package"
dpkg-deb -f "$board_deb" Homepage | grep . && fail "the board's package names a home page it does not have"
# The board replays rounds with the rules alone: neither Allegro nor X in its package or its binary.
board_depends=$(dpkg-deb -f "$board_deb" Depends)
grep -Eiq 'allegro|libx11|libxext|libxrandr|libxinerama|libasound' <<<"$board_depends" &&
    fail "the board's package depends on a graphics or sound library: $board_depends"
dpkg-deb -f "$deb" Homepage | grep . && fail "the game's package names a home page it does not have"

# The board's package as dpkg installs it, into a scratch root on a machine without systemd
# (scripts chrootless, as DPKG_ROOT tells them): install, upgrade over it, remove and purge
# all run their scripts cleanly, and the settings stay a conffile for root alone.
sysroot="$work/sysroot"
mkdir -p "$sysroot/var/lib/dpkg/info" "$sysroot/var/lib/dpkg/updates"
touch "$sysroot/var/lib/dpkg/status" "$sysroot/var/lib/dpkg/available"
in_sysroot() {
    dpkg --root="$sysroot" --force-script-chrootless --force-depends --log="$work/dpkg.log" "$@" \
        >"$work/dpkg.out" 2>&1 || fail "dpkg $* failed: $(cat "$work/dpkg.out")"
}
board_status() { dpkg-query --admindir="$sysroot/var/lib/dpkg" -W -f '${db:Status-Status}' blockdash-board 2>/dev/null; }
settings="$sysroot/etc/default/blockdash-board"
in_sysroot -i "$board_deb"
[ "$(board_status)" = installed ] || fail "the board's package is $(board_status) after dpkg -i"
[ "$(stat -c '%a %U' "$settings")" = "600 root" ] || fail "the settings are $(stat -c '%a %U' "$settings")"
dpkg-query --admindir="$sysroot/var/lib/dpkg" -W -f '${Conffiles}' blockdash-board |
    grep -q "^ /etc/default/blockdash-board [0-9a-f]\{32\}" || fail "the settings are not a conffile"
grep -q "^#BLOCKDASH_BOARD_SECRET=" "$settings" && grep -q "^#BLOCKDASH_BOARD_OPTIONS=" "$settings" ||
    fail "the settings do not show both variables"
for option in $("$work/board-root/usr/bin/blockdash-board" --help | grep -o -- '--[a-z-]*' | sort -u); do
    case "$option" in --help | --version | --remove | --ban | --unban) continue ;; esac
    grep -q -- "$option" "$settings" || fail "the settings do not tell of $option"
done
echo "BLOCKDASH_BOARD_OPTIONS=\"--listen 127.0.0.1:8641\"" >>"$settings"
in_sysroot -i "$board_deb"
[ "$(board_status)" = installed ] || fail "the upgrade left the board's package $(board_status)"
grep -q "^BLOCKDASH_BOARD_OPTIONS=\"--listen 127.0.0.1:8641\"" "$settings" || fail "the upgrade lost the settings"
in_sysroot -r blockdash-board
[ -e "$sysroot/usr/bin/blockdash-board" ] && fail "dpkg -r left the board's program"
[ -f "$settings" ] || fail "dpkg -r removed the settings, which only a purge may"
in_sysroot --purge blockdash-board
[ -e "$settings" ] && fail "the purge left the settings"
[ -z "$(board_status)" ] || [ "$(board_status)" = not-installed ] || fail "the purge left the package $(board_status)"
DESTDIR="$work/board-reference" cmake --install "$build" --prefix /usr --component board >>"$work/install.log" 2>&1 ||
    fail "the board's install into a staging folder failed"
dpkg-deb -x "$board_deb" "$work/board-root"
board_needs=$(readelf -d "$work/board-root/usr/bin/blockdash-board" | grep NEEDED)
[ -n "$board_needs" ] || fail "readelf found no libraries in the board's program"
grep -Eq 'liballeg|libX' <<<"$board_needs" && fail "the board's program links Allegro or X: $board_needs"
diff <(cd "$work/board-reference" && find . | sort) <(cd "$work/board-root" && find . | sort) >"$work/board-tree.diff" ||
    fail "the board's package and cmake --install differ: $(cat "$work/board-tree.diff")"
grep -q '^ExecStart=/usr/bin/blockdash-board' "$work/board-root/usr/lib/systemd/system/blockdash-board.service" ||
    fail "the unit does not start the packaged board"
"$work/board-root/usr/bin/blockdash-board" --version | grep -q "$version" || fail "the packaged board does not run"
board_man_warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
    "$work/board-root/usr/share/man/man8/blockdash-board.8.gz" 2>&1 >/dev/null)
[ -z "$board_man_warnings" ] || fail "the board's manual page has faults: $board_man_warnings"
root="$work/root"
dpkg-deb -x "$deb" "$root"
diff <(cd "$work/reference" && find . | sort) <(cd "$root" && find . | sort) >"$work/tree.diff" ||
    fail "the package and cmake --install differ: $(cat "$work/tree.diff")"

# Unpacked into a scratch root, it runs: the launcher finds the game and assets beside it.
play "$root/usr" XDG_DATA_HOME="$work/carol"
links_to "$work/carol/blockdash/KZ IMAGE" "$root/usr/share/blockdash/KZ IMAGE" ||
    fail "the packaged game does not use its own pictures"
echo "PASS"
