// The looping background music of a round, written as General MIDI.
#pragma once

#include "midi_writer.h"

MidiFile compose_music();
