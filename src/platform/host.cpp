// The host before a program chooses one: a still clock and silence, which is all a round
// replayed without pictures needs, on any machine.
#include "platform/host.h"

namespace {

long long still_now_us = 0;
long long still_clock_us() { return still_now_us; }
void still_wait_until_us(long long when) { still_now_us = when > still_now_us ? when : still_now_us; }
void no_sound(int) {}
void no_music() {}

}  // namespace

host_seam host = {still_clock_us, still_wait_until_us, no_sound, no_music, no_music};

void playsound(int slot) { host.sound_requested(slot); }
void startmusic() { host.music_start(); }
void stopmusic() { host.music_stop(); }
