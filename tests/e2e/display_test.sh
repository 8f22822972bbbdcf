#!/bin/bash
# The game on a 1920x1080 desktop, without a window manager and with openbox: full screen
# scaled by 2 and centred on black, every picture pixel a 2x2 block; F11 gives a 1280x960
# window; clicks land on the scaled buttons; a lost focus pauses the round; the manager's
# close ends the game in order; --window --scale 1 shows the unscaled picture. The window
# introduces itself and answers pings; the manager's maximise and full-screen command give
# a centred picture. A nested screen that changes size (1366x768 sharp, larger, smaller) is
# followed within a second, and a window that no longer fits shrinks onto it; at 2560x1440
# the window lies wholly on the screen, frame included.
. "$(dirname "$0")/lib.sh"

start_display 1920x1080
make_run_dir

# Where the picture sits on the root window. The lib's recognisers work on 640x480
# pictures, so every shot is cut out and brought back to 640x480, and every move scaled.
k=1 ox=0 oy=0
use_picture_at() { k=$1 ox=$2 oy=$3; }
root_shot() { import -display "$DISPLAY" -window root -depth 8 "$work/root.ppm" 2>/dev/null; }
shot() {
    root_shot && convert "$work/root.ppm" -crop "$((640 * k))x$((480 * k))+$ox+$oy" +repage \
        -sample 640x480! "$work/shot.ppm"
}
root_count() { "$PROBE" "$work/root.ppm" count "$1" "$2" "$3" "$4" $5; }
move_to() {
    local x=$((ox + $1 * k)) y=$((oy + $2 * k))
    xdotool mousemove "$x" "$y"
    wait_for 2 cursor_at "$1" "$2" && return 0
    xdotool mousemove $((x + k)) "$y" mousemove "$x" "$y"
    wait_for 3 cursor_at "$1" "$2" || { cp "$work/root.ppm" /tmp/fail_root.ppm; fail "the game's cursor did not follow the pointer to $1,$2"; }
}
# The client window of the game: "<w>x<h>+<x>+<y>" on the root.
geometry() {
    xwininfo -name Blockdash 2>/dev/null | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
        /^ *Width/ {w=$NF} /^ *Height/ {h=$NF} END {print w "x" h "+" x "+" y}'
}
geometry_is() { [ "$(geometry)" = "$1" ]; }
geometry_is_window() { case "$(geometry)" in 1280x960+*) return 0 ;; esac; return 1; }
game_focused() { xprop -root _NET_ACTIVE_WINDOW | grep -q "$(printf '0x%x' "$(xdotool search --name '^Blockdash$' | head -1)")"; }
quit_by_click() {
    press_until 5 320 400 sh -c "! kill -0 $game_pid 2>/dev/null" || fail "the scaled Quit did not end the game"
    wait_game_exit 5
    [ "$exit_status" -eq 0 ] || fail "Quit ended with status $exit_status"
}
not_paused() { ! paused; }
paused() { shot && [ "$(pixel 272 234)" = "$white" ] && [ "$(pixel 368 316)" = "$white" ] && [ "$(pixel 5 5)" = "$black" ]; }

# --- No window manager: the game covers the screen itself. --scale is for the window.
start_game -- --scale 3
use_picture_at 2 320 60
wait_for 10 on_title_menu || fail "no title menu at twice the size in the middle of the screen"
move_to 600 20
wait_for 3 wipe_done || fail "the wipe did not finish"
cp "$work/shot.ppm" "$work/title_k2.ppm"
grep -q "applies to the window\|sets the size of the window" "$work/game.err" || fail "no word that --scale is for the window"
root_shot
[ "$(root_count 0 0 319 1079 "$black")" -eq $((320 * 1080)) ] || fail "the left border is not black"
[ "$(root_count 1600 0 1919 1079 "$black")" -eq $((320 * 1080)) ] || fail "the right border is not black"
[ "$(root_count 320 0 1599 59 "$black")" -eq $((1280 * 60)) ] || fail "the top border is not black"
[ "$(root_count 320 1020 1599 1079 "$black")" -eq $((1280 * 60)) ] || fail "the bottom border is not black"
# Every picture pixel is a 2x2 block: the picture grown back by sampling is the screen.
convert "$work/root.ppm" -crop 1280x960+320+60 +repage "$work/on_screen.ppm"
convert "$work/title_k2.ppm" -sample 200% "$work/grown.ppm"
[ "$(compare -metric AE "$work/on_screen.ppm" "$work/grown.ppm" null: 2>&1)" = "0" ] ||
    fail "the scaled picture is not made of 2x2 blocks"

xdotool key F11
wait_for 5 geometry_is 1280x960+320+60 || fail "F11 gave $(geometry), not a 1280x960 window"
wait_for 3 sh -c "head -1 '$run/KZ DATA/display.dat' | grep -qx window" || fail "the window was not remembered"
press_until 5 320 300 on_highscore_table || fail "Highscores in the window did not open the table"
tap_at 320 400
wait_for 5 on_title_menu || fail "Return to Title in the window did not return"
quit_by_click

# --- The unscaled window: exactly the picture of the 640x480 screen, grown by nothing.
start_game -- --window --scale 1
use_picture_at 1 640 300
wait_for 10 geometry_is 640x480+640+300 || fail "--window --scale 1 gave $(geometry)"
wait_for 10 on_title_menu || fail "no title menu in the 640x480 window"
move_to 600 20
wait_for 3 wipe_done || fail "the wipe did not finish"
[ "$(compare -metric AE "$work/shot.ppm" "$work/title_k2.ppm" null: 2>&1)" = "0" ] ||
    fail "the picture at 1x differs from the picture at 2x"
quit_by_click

# A window bigger than the screen allows: the largest that fits, and a word on stderr.
start_game -- --window --scale 9
use_picture_at 2 320 60
wait_for 10 geometry_is 1280x960+320+60 || fail "--scale 9 gave $(geometry)"
grep -q "does not fit" "$work/game.err" || fail "no note that the factor does not fit"
wait_for 10 on_title_menu || fail "no title menu in the reduced window"
quit_by_click

# --- Openbox: the desktop's full-screen state, and a managed window.
xdpyinfo >/dev/null 2>&1 || fail "the X server went away before openbox"
manager_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }
# A busy X server may turn openbox's connection away for a moment: three tries.
start_openbox() {
    for _ in 1 2 3; do
        openbox >>"$work/openbox.log" 2>&1 &
        wm_pid=$!
        wait_for 5 manager_running && return 0
    done
    return 1
}
start_openbox || fail "openbox did not start: $(cat "$work/openbox.log")"
# A fresh screen of size $1 in place of the last one, with openbox on it.
new_screen_with_openbox() {
    kill "$xvfb_pid"
    wait "$xvfb_pid" 2>/dev/null
    start_display "$1"
    start_openbox || fail "openbox did not start on $1: $(cat "$work/openbox.log")"
}
xsetroot -solid "#2b4a66"
rm -f "$run/KZ DATA/display.dat" "$run/KZ DATA/stats.dat"
"$DESKTOP_PROBE" launch-notices 20 >"$work/notices.txt" &
other_pids="$other_pids $!"
wait_for 5 grep -q listening "$work/notices.txt" || fail "the notice listener did not start"
start_game env DESKTOP_STARTUP_ID=blockdash-test_TIME42 --
use_picture_at 2 320 60
wait_for 10 on_title_menu || fail "no full-screen title menu under openbox"
# Who the window is, for a manager that offers to end a hung game.
wait_for 5 grep -qx 'remove: ID="blockdash-test_TIME42"' "$work/notices.txt" ||
    fail "the launch notice was not ended: $(cat "$work/notices.txt")"
xprop -name Blockdash _NET_WM_PID | grep -q "= $game_pid\$" || fail "no _NET_WM_PID $game_pid"
xprop -name Blockdash WM_CLIENT_MACHINE | grep -q "\"$(hostname)\"" || fail "no WM_CLIENT_MACHINE"
xprop -name Blockdash _NET_WM_NAME | grep -q 'UTF8_STRING) = "Blockdash"' || fail "no UTF-8 _NET_WM_NAME"
"$DESKTOP_PROBE" ping "$(xdotool search --name '^Blockdash$' | head -1)" || fail "the window did not answer a ping"
xprop -name Blockdash _NET_WM_STATE | grep -q _NET_WM_STATE_FULLSCREEN || fail "not in the desktop's full-screen state"
xprop -name Blockdash WM_CLASS | grep -q '"blockdash", "blockdash"' || fail "the window class is not blockdash"
wmctrl -l | grep -q Blockdash || fail "the manager does not list the game"

press_until 5 320 250 in_round || fail "Start Game did not start a round"
xmessage -geometry +20+20 "another window" &
other_pid=$!
wait_for 5 sh -c 'wmctrl -l | grep -q xmessage' || fail "the other window did not open"
wmctrl -a xmessage
wait_for 5 paused || fail "a lost focus did not pause the round"
kill "$other_pid"

wmctrl -a Blockdash
wait_for 5 game_focused || fail "the game did not get the focus back"
xdotool key F11
wait_for 5 geometry_is_window || fail "F11 under openbox gave $(geometry)"
xprop -name Blockdash _NET_WM_STATE | grep -q _NET_WM_STATE_FULLSCREEN && fail "the window is still full screen"
wmctrl -l | grep -q Blockdash || fail "the manager does not list the window"
g=$(geometry); g=${g#1280x960+}
use_picture_at 2 "${g%+*}" "${g#*+}"
wait_for 5 paused || fail "the round is not paused in the window"
press_until 5 320 250 not_paused || fail "Continue in the window did not resume"
wait_for 5 in_round || fail "the round did not go on"
move_to 400 300
root_shot && convert "$work/root.ppm" -resize 50% "${SHOTS:-$work}/desktop_window.png"

wmctrl -c Blockdash
wait_game_exit 10
[ "$exit_status" -eq 0 ] || fail "the manager's close ended with status $exit_status"
[ -s "$run/KZ DATA/stats.dat" ] || fail "the manager's close did not save the statistics"

# The manager's own size changes: the picture follows them, centred.
picture_centred_in_window() {
    local g w h x y
    g=$(geometry) w=${g%%x*} g=${g#*x} h=${g%%+*} g=${g#*+} x=${g%+*} y=${g#*+}
    use_picture_at 2 $((x + (w - 1280) / 2)) $((y + (h - 960) / 2))
    xdotool mousemove $((ox + 1200)) $((oy + 40))
    shot && [ "$(compare -metric AE "$work/shot.ppm" "$work/title_k2.ppm" null: 2>&1)" = "0" ]
}
state_has_fullscreen() { xprop -name Blockdash _NET_WM_STATE | grep -q _NET_WM_STATE_FULLSCREEN; }
start_game -- --window
wait_for 10 geometry_is_window || fail "--window under openbox gave $(geometry)"
wait_for 10 picture_centred_in_window || fail "no picture in the window"
wmctrl -r Blockdash -b add,maximized_vert,maximized_horz
wait_for 5 sh -c "xwininfo -name Blockdash | grep -q 'Width: 19'" || fail "maximising gave $(geometry)"
wait_for 3 picture_centred_in_window || fail "the maximised window's picture is not centred: $(geometry)"
wmctrl -r Blockdash -b add,fullscreen
wait_for 5 geometry_is 1920x1080+0+0 || fail "the manager's full screen gave $(geometry)"
wait_for 3 picture_centred_in_window || fail "the manager's full screen shows no centred picture"
wait_for 3 sh -c "head -1 '$run/KZ DATA/display.dat' | grep -qx fullscreen" || fail "the game did not take the manager's full screen as its own"
wmctrl -r Blockdash -b remove,fullscreen
wait_for 5 sh -c "head -1 '$run/KZ DATA/display.dat' | grep -qx window" || fail "the game did not see full screen end"
wait_for 3 picture_centred_in_window || fail "the window after full screen shows no centred picture"
# It knows it is a window again: F11 asks for full screen, not for the window it has.
wmctrl -a Blockdash
xdotool key F11
wait_for 5 state_has_fullscreen || fail "F11 after the manager's full screen did not go full screen"
wmctrl -c Blockdash
wait_game_exit 10
kill "$wm_pid"
wait "$wm_pid" 2>/dev/null  # gone before the next server or manager starts

# --- A screen that changes size under the game: a nested server resized as a window.
nested=":$(free_display)"
Xephyr "$nested" -screen 1366x768 -resizeable -nolisten tcp -noreset >"$work/xephyr.log" 2>&1 &
other_pids="$other_pids $!"
host_display=$DISPLAY
wait_for 10 sh -c "xdpyinfo -display $nested >/dev/null 2>&1" || fail "Xephyr did not start: $(cat "$work/xephyr.log")"
export DISPLAY=$nested
rm -f "$run/KZ DATA/display.dat"
start_game
# Sharp pictures agree with the 640x480 one at each pixel's centre, but for the soft edges
# (where two edges meet, a quarter of the neighbours' colours).
sharp_picture_at() {  # left top width height
    xdotool mousemove $(($1 + 1201 * $3 / 1280)) $(($2 + 41 * $4 / 960))
    root_shot && convert "$work/root.ppm" -crop "$3x$4+$1+$2" +repage -sample 640x480! "$work/sampled.ppm" &&
        [ "$(compare -metric AE -fuzz 22% "$work/sampled.ppm" "$work/title_k2.ppm" null: 2>&1)" = "0" ] &&
        [ "$(root_count 0 0 $(($1 - 1)) $(($4 - 1)) "$black")" -eq $(($1 * $4)) ]
}
wait_for 10 sharp_picture_at 171 0 1024 768 || fail "1366x768 does not show the 1024x768 picture in its middle"
resize_nested() { DISPLAY=$host_display xdotool windowsize "$(DISPLAY=$host_display xdotool search --class Xephyr | head -1)" "$1" "$2"; }
resize_nested 1920 1080
wait_for 1 geometry_is 1920x1080+0+0 || fail "a screen grown to 1920x1080 was not followed in a second: $(geometry)"
wait_for 3 sharp_picture_at 320 60 1280 960 || fail "the grown screen shows no 1280x960 picture"
resize_nested 1280 720
wait_for 1 geometry_is 1280x720+0+0 || fail "a screen shrunk to 1280x720 was not followed in a second: $(geometry)"
wait_for 3 sharp_picture_at 160 0 960 720 || fail "the shrunk screen shows no 960x720 picture"
# A window that no longer fits the smaller screen shrinks onto it.
resize_nested 1920 1080
wait_for 1 geometry_is 1920x1080+0+0 || fail "the screen grown again was not followed: $(geometry)"
xdotool key F11
wait_for 5 geometry_is 1280x960+320+60 || fail "F11 on the nested screen gave $(geometry)"
resize_nested 1366 768
window_within_screen() {
    local g w h x y
    g=$(geometry) w=${g%%x*} g=${g#*x} h=${g%%+*} g=${g#*+} x=${g%+*} y=${g#*+}
    [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le 1366 ] && [ $((y + h)) -le 768 ]
}
wait_for 1 window_within_screen || fail "the window $(geometry) was left off the smaller screen"
kill "$game_pid"
wait_game_exit 10
export DISPLAY=$host_display

# --- 2560x1440 with openbox and no panel: the window and its title bar lie on the screen.
new_screen_with_openbox 2560x1440
start_game -- --window
wait_for 10 sh -c "xprop -name Blockdash _NET_FRAME_EXTENTS | grep -q '='" || fail "no frame on the window"
on_screen_with_frame() {
    local g w h x y l r t b
    g=$(geometry) w=${g%%x*} g=${g#*x} h=${g%%+*} g=${g#*+} x=${g%+*} y=${g#*+}
    read -r l r t b <<<"$(xprop -name Blockdash _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')"
    [ $((x - l)) -ge 0 ] && [ $((y - t)) -ge 0 ] && [ $((x + w + r)) -le 2560 ] && [ $((y + h + b)) -le 1440 ] &&
        [ "$h" -gt 1300 ]
}
wait_for 5 on_screen_with_frame || fail "the window $(geometry) with its frame $(xprop -name Blockdash _NET_FRAME_EXTENTS) is not on the screen"
kill "$game_pid"
wait_game_exit 10
kill "$wm_pid"
wait "$wm_pid" 2>/dev/null  # gone before the next server or manager starts
# --- Windows of any shape: the manager's or the player's size stands, the picture is the
# largest 4:3 in it, centred on black.
frame_of() { xprop -name Blockdash _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g'; }
size_is() { case "$(geometry)" in "$1"+*) return 0 ;; esac; return 1; }
# picture_at_scale <k>: the title menu's picture, k times 640x480, in the window's middle.
picture_at_scale() {
    local g w h x y
    g=$(geometry) w=${g%%x*} g=${g#*x} h=${g%%+*} g=${g#*+} x=${g%+*} y=${g#*+}
    use_picture_at "$1" $((x + (w - 640 * $1) / 2)) $((y + (h - 480 * $1) / 2))
    xdotool mousemove $((ox + 600 * $1)) $((oy + 20 * $1))
    shot && [ "$(compare -metric AE "$work/shot.ppm" "$work/title_k2.ppm" null: 2>&1)" = "0" ] &&
        [ "$(root_count "$x" "$y" $((x + w - 1)) $((oy - 1)) "$black")" -eq $((w * (oy - y))) ]
}
# window_on_screen <width> <height>: the window, frame included, lies on the screen.
window_on_screen() {
    local g w h x y l r t b
    g=$(geometry) w=${g%%x*} g=${g#*x} h=${g%%+*} g=${g#*+} x=${g%+*} y=${g#*+}
    read -r l r t b <<<"$(frame_of)"
    [ -n "$b" ] && [ $((x - l)) -ge 0 ] && [ $((y - t)) -ge 0 ] && [ $((x + w + r)) -le "$1" ] &&
        [ $((y + h + b)) -le "$2" ]
}
new_screen_with_openbox 1366x768
rm -f "$run/KZ DATA/display.dat"
start_game -- --window
wait_for 10 sh -c "xprop -name Blockdash _NET_FRAME_EXTENTS | grep -q '='" || fail "no frame on the window on 1366x768"
wait_for 3 sh -c "head -1 '$run/KZ DATA/display.dat' | grep -qx window" || fail "--window was not remembered"
# The frame as finally decorated (a first guess may come before): the window planned to
# fill the screen's height then fills it, frame included.
fills_height() {
    local g h y t b
    g=$(geometry) g=${g#*x} h=${g%%+*} y=${g##*+}
    read -r _ _ t b <<<"$(frame_of)"
    [ -n "$b" ] && [ $((y - t)) -eq 0 ] && [ $((y + h + b)) -eq "$1" ]
}
wait_for 10 fills_height 768 || fail "the window $(geometry) with its frame $(frame_of) does not fill the height"
read -r fl fr ft fb <<<"$(frame_of)"
# Tiled to the left half of the screen.
tile="$((683 - fl - fr))x$((768 - ft - fb))"
wmctrl -r Blockdash -e "0,0,0,${tile%x*},${tile#*x}"
wait_for 5 size_is "$tile" || fail "the half-screen tile $tile gave $(geometry)"
wait_for 3 picture_at_scale 1 || fail "the tile $(geometry) shows no centred picture"
sleep 1
size_is "$tile" || fail "the tile's size did not stand: $(geometry)"
wmctrl -r Blockdash -e 0,50,50,1000,500
wait_for 5 size_is 1000x500 || fail "asked for 1000x500 the window became $(geometry)"
wait_for 3 picture_at_scale 1 || fail "the 1000x500 window shows no centred picture"
sleep 1
size_is 1000x500 || fail "the 1000x500 window did not stay so: $(geometry)"
window_on_screen 1366 768 || fail "the 1000x500 window $(geometry) is not on the screen"
kill "$game_pid"
wait_game_exit 10
kill "$wm_pid"
wait "$wm_pid" 2>/dev/null  # gone before the next server or manager starts

# --- An 800x480 screen: the whole window, title bar and all, fits on it.
new_screen_with_openbox 800x480
start_game -- --window
wait_for 10 sh -c "xprop -name Blockdash _NET_FRAME_EXTENTS | grep -q '='" || fail "no frame on the window on 800x480"
wait_for 5 window_on_screen 800 480 || fail "the window $(geometry), frame $(frame_of), is not wholly on 800x480"
kill "$game_pid"
wait_game_exit 10
kill "$wm_pid"
wait "$wm_pid" 2>/dev/null  # gone before the next server or manager starts

# --- A nested screen shrinks from 1920x1200 to 1600x900 and 1366x768, under openbox and
# under icewm: the window follows it and stays wholly on it, frame included.
start_manager() {  # openbox or icewm, on $DISPLAY
    for _ in 1 2 3; do
        "$1" >>"$work/$1.log" 2>&1 &
        wm_pid=$!
        wait_for 5 manager_running && return 0
    done
    return 1
}
host_display=$DISPLAY
for manager in openbox icewm; do
    nested=":$(free_display)"
    Xephyr "$nested" -screen 1920x1200 -resizeable -nolisten tcp -noreset >"$work/xephyr.log" 2>&1 &
    nested_pid=$!
    other_pids="$other_pids $nested_pid"
    wait_for 10 sh -c "xdpyinfo -display $nested >/dev/null 2>&1" || fail "Xephyr did not start: $(cat "$work/xephyr.log")"
    export DISPLAY=$nested
    start_manager "$manager" || fail "$manager did not start on the nested screen: $(cat "$work/$manager.log")"
    start_game -- --window
    wait_for 10 sh -c "xprop -name Blockdash _NET_FRAME_EXTENTS | grep -q '='" || fail "no frame on the window under $manager"
    wait_for 5 window_on_screen 1920 1200 || fail "under $manager the window $(geometry) is not on the 1920x1200 screen"
    for size in 1600x900 1366x768; do
        resize_nested "${size%x*}" "${size#*x}"
        wait_for 3 window_on_screen "${size%x*}" "${size#*x}" ||
            fail "under $manager the window $(geometry) was left off the screen shrunk to $size"
        sleep 1  # a manager that puts the old height back does so within this
        window_on_screen "${size%x*}" "${size#*x}" || fail "under $manager the window $(geometry) went off the $size screen again"
    done
    kill "$game_pid"
    wait_game_exit 10
    kill "$wm_pid" "$nested_pid"
    wait "$wm_pid" "$nested_pid" 2>/dev/null
    export DISPLAY=$host_display
done

# --- Two monitors that only Xinerama lists (RandR sees one "default"): full screen and
# back stay on the second, which is remembered by a name of its own.
nested=":$(free_display)"
Xephyr "$nested" -screen 1024x768 -screen 800x600 +xinerama -nolisten tcp -noreset >"$work/xephyr.log" 2>&1 &
other_pids="$other_pids $!"
wait_for 10 sh -c "xdpyinfo -display $nested >/dev/null 2>&1" || fail "Xephyr did not start with two screens: $(cat "$work/xephyr.log")"
export DISPLAY=$nested
start_game -- --window --scale 1
wait_for 10 sh -c "xwininfo -name Blockdash >/dev/null 2>&1" || fail "no window on the two monitors"
xdotool search --name '^Blockdash$' windowmove 1100 40
wait_for 5 sh -c "xwininfo -name Blockdash | grep -q 'Absolute upper-left X:  1100'" || fail "the window did not move to the second monitor: $(geometry)"
xdotool mousemove 1400 300 key F11  # with no manager, the keys go where the pointer is
wait_for 5 geometry_is 800x600+1024+0 || fail "F11 on the second monitor gave $(geometry)"
wait_for 3 sh -c "grep -qx 'monitor xinerama-1' '$run/KZ DATA/display.dat'" || fail "the second monitor was remembered as $(grep monitor "$run/KZ DATA/display.dat")"
xdotool mousemove 1400 300 key F11
wait_for 5 size_is 640x480 || fail "F11 back gave $(geometry)"
g=$(geometry); g=${g#*+}
[ "${g%+*}" -ge 1024 ] || fail "back from full screen the window $(geometry) left the second monitor"
kill "$game_pid"
wait_game_exit 10
export DISPLAY=$host_display
echo "PASS"
