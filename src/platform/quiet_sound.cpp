// Runs on the main thread at start-up; ALSA's error handler stays ours afterwards, since
// the library may complain from any thread that plays.
#include "platform/quiet_sound.h"

#include <allegro.h>
#include <alsa/asoundlib.h>

#include <cstdio>

namespace {

// ALSA says each thing it tried and failed on its own line; the player needs none of them.
void keep_alsa_quiet(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

void start_sound(int midi_driver) {
    snd_lib_error_set_handler(keep_alsa_quiet);
    install_sound(DIGI_AUTODETECT, midi_driver, "");
    if (!digi_driver || digi_driver->id == DIGI_NONE)
        std::fputs("blockdash: no sound card answered; the game plays without sound\n", stderr);
}
