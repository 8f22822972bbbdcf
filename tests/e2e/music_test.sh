#!/bin/bash
# The music is heard: ALSA's default device is written to a file, so the real game plays
# through Allegro's software synthesiser with the patch set beside it. The title menu is
# silent, a round plays the music without clipping, and leaving the round stops it.
. "$(dirname "$0")/lib.sh"

[ -f "$(dirname "$GAME")/patches.dat" ] || fail "no patches.dat beside the game"
command -v sox >/dev/null || fail "sox is not installed"

# A private HOME whose .asoundrc sends the default device to a raw file.
audio="$work/audio.raw"
export HOME="$work/home"
mkdir -p "$HOME"
cat >"$HOME/.asoundrc" <<EOF
pcm.!default {
    type plug
    slave.pcm {
        type file
        slave.pcm "null"
        file "$audio"
        format "raw"
    }
    slave.format S16_LE
    slave.rate 44100
    slave.channels 2
}
EOF
second=$((44100 * 4))   # bytes of audio; the null device takes it faster than real time

audio_size() { stat -c %s "$audio" 2>/dev/null || echo 0; }
audio_now() { echo $(($(audio_size) / 4 * 4)); }   # on a whole stereo frame
audio_reaches() { [ "$(audio_size)" -ge "$1" ]; }
# level <from byte> <to byte> <"Pk"|"RMS">: sox's figure in dBFS for that stretch.
level() {
    tail -c +$(($1 + 1)) "$audio" | head -c $(($2 - $1)) |
        sox -t raw -r 44100 -e signed -b 16 -c 2 - -n stats 2>&1 | awk -v k="$3" '$1 == k && $2 == "lev" {print $4}'
}
# below <dB> <limit>: true when the level is under the limit; sox says -inf for silence.
below() {
    [ -n "$1" ] || fail "sox could not measure the recording"
    awk -v v="$1" -v l="$2" 'BEGIN { exit !(v == "-inf" || v + 0 < l) }'
}

# The pause menu over the round: its two buttons, and the round's black panel behind.
pause_menu_is_shown() {
    shot && [ "$(pixel 5 5)" = "$black" ] && [ "$(pixel 272 234)" = "$white" ] &&
        [ "$(pixel 272 284)" = "$white" ]
}

start_display
make_run_dir
start_game

wait_for 10 on_title_menu || fail "the title menu did not appear"
wait_for 10 audio_reaches $((second / 2)) || fail "the game sends no audio to ALSA"
from=$(audio_now)
wait_for 10 audio_reaches $((from + 2 * second)) || fail "the audio stopped flowing"
title_peak=$(level "$from" "$((from + 2 * second))" Pk)
echo "title menu: peak $title_peak dBFS"
below "$title_peak" -60 || fail "the title menu is not silent (peak $title_peak dBFS)"

# The round starts its music before it draws its first frame.
press_until 5 320 250 in_round || fail "Start Game did not start a round"
from=$(audio_now)
wait_for 20 audio_reaches $((from + 8 * second)) || fail "the audio stopped flowing in the round"
round_rms=$(level "$from" "$((from + 8 * second))" RMS)
round_peak=$(level "$from" "$((from + 8 * second))" Pk)
echo "round: RMS $round_rms dBFS, peak $round_peak dBFS"
below "$round_rms" -40 && fail "the round is too quiet (RMS $round_rms dBFS)"
below "$round_peak" -1 || fail "the music reaches full scale (peak $round_peak dBFS)"

# Right click pauses; Return to Title ends the round and the music with it.
xdotool mousemove 320 200 mousedown 3
wait_for 5 pause_menu_is_shown || fail "the pause menu did not open"
xdotool mouseup 3
# A tap: a button held into the title menu would press Highscores, which sits in the same place.
tap_at 320 300
wait_for 5 on_title_menu || fail "Return to Title did not reach the title menu"
# Released notes fade out within a second.
from=$(($(audio_now) + second))
wait_for 10 audio_reaches $((from + 2 * second)) || fail "the audio stopped flowing"
after_peak=$(level "$from" "$((from + 2 * second))" Pk)
echo "title menu after the round: peak $after_peak dBFS"
below "$after_peak" -60 || fail "the music goes on after the round (peak $after_peak dBFS)"
echo "PASS"
