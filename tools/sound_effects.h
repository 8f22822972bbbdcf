// The five sound effects, synthesised from a few oscillators and seeded noise.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int sound_rate = 22050;

struct SoundEffect {
    std::string file;  // name inside "KZ SOUND"
    std::vector<std::int16_t> samples;
};

// In the game's slot order: dash, penalty, powerup, stage, break.
std::vector<SoundEffect> sound_effects();
