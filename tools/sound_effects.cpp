// Sound effects from plain oscillators, a seeded noise source and simple envelopes.
#include "sound_effects.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

namespace {

const float kPi = 3.14159265f;

// Seeded xorshift noise in -1..1, so every build writes the same samples.
class Noise {
public:
    explicit Noise(std::uint32_t seed) : s_(seed) {}
    float next() {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 17;
        s_ ^= s_ << 5;
        return float(s_ & 0xffff) / 32767.5f - 1;
    }

private:
    std::uint32_t s_;
};

// Renders seconds of sound from a function of time; peak scaled to `peak` of full scale.
std::vector<std::int16_t> render(float seconds, float peak, const std::function<float(float)>& at) {
    std::vector<float> v(size_t(seconds * sound_rate));
    for (size_t i = 0; i < v.size(); ++i) v[i] = at(float(i) / sound_rate);
    // Short fade at both ends so the effect never starts or stops with a click.
    const size_t ramp = sound_rate / 500;
    for (size_t i = 0; i < std::min(ramp, v.size()); ++i) {
        v[i] *= float(i) / ramp;
        v[v.size() - 1 - i] *= float(i) / ramp;
    }
    float top = 1e-6f;
    for (float s : v) top = std::max(top, std::fabs(s));
    std::vector<std::int16_t> out(v.size());
    for (size_t i = 0; i < v.size(); ++i) out[i] = std::int16_t(std::lround(v[i] / top * peak * 32767));
    return out;
}

float square(float phase) { return std::fmod(phase, 1.f) < 0.5f ? 1.f : -1.f; }
float triangle(float phase) { return 4 * std::fabs(std::fmod(phase, 1.f) - 0.5f) - 1; }

// A whoosh: noise through a low-pass whose opening rises and falls, over a rising tone.
std::vector<std::int16_t> dash() {
    Noise n(0x0d45a0u);
    float low = 0, phase = 0;
    return render(0.3f, 0.7f, [&](float t) {
        float open = 0.04f + 0.5f * std::sin(std::min(t / 0.3f, 1.f) * kPi);
        low += (n.next() - low) * open;
        phase += (300 + 1800 * t) / sound_rate;
        float env = std::min(t / 0.03f, 1.f) * std::exp(-t * 9);
        return env * (low * 1.2f + 0.18f * std::sin(2 * kPi * phase));
    });
}

// Two falling buzzes: the clock losing time.
std::vector<std::int16_t> penalty() {
    float phase = 0, low = 0;
    return render(0.46f, 0.6f, [&](float t) {
        float f = t < 0.16f ? 392 : 262;
        float local = t < 0.16f ? t : t - 0.16f;
        phase += f * (1 + 0.01f * std::sin(2 * kPi * 7 * t)) / sound_rate;
        low += (square(phase) - low) * 0.25f;
        float env = std::exp(-local * (t < 0.16f ? 6 : 4)) * std::min(local / 0.01f, 1.f);
        return env * low;
    });
}

// A quick rising arpeggio that rings out on the top note.
std::vector<std::int16_t> powerup() {
    const float notes[4] = {523.25f, 659.25f, 783.99f, 1046.5f};
    const float step = 0.075f;
    float phase = 0;
    return render(0.55f, 0.6f, [&](float t) {
        int i = std::min(3, int(t / step));
        float local = t - i * step;
        phase += notes[i] * (1 + 0.004f * std::sin(2 * kPi * 6 * t)) / sound_rate;
        float env = i < 3 ? 1.f : std::exp(-local * 5);
        return env * (0.55f * square(phase) * 0.5f + 0.5f * std::sin(2 * kPi * phase) + 0.2f * std::sin(4 * kPi * phase));
    });
}

// A two-chord fanfare for a new stage, with a bell-like shimmer on the second chord.
std::vector<std::int16_t> stage() {
    const float first[3] = {392.00f, 493.88f, 587.33f}, second[3] = {523.25f, 659.25f, 783.99f};
    float ph[3] = {0, 0, 0};
    return render(0.95f, 0.65f, [&](float t) {
        bool late = t >= 0.22f;
        float local = late ? t - 0.22f : t;
        float sum = 0;
        for (int k = 0; k < 3; ++k) {
            ph[k] += (late ? second[k] : first[k]) / sound_rate;
            sum += triangle(ph[k]) + 0.3f * std::sin(2 * kPi * ph[k] * 3);
        }
        float env = std::min(local / 0.015f, 1.f) * (late ? std::exp(-local * 3.2f) : std::exp(-local * 4));
        return env * sum / 3;
    });
}

// A crunch: a noise crack over a falling thump.
std::vector<std::int16_t> block_break() {
    Noise n(0x0b4ea4u);
    float phase = 0, hold = 0;
    int count = 0;
    return render(0.26f, 0.75f, [&](float t) {
        phase += (140 * std::exp(-t * 10) + 45) / sound_rate;
        // Noise held for a few samples sounds grittier, like splintering.
        if (count++ % 3 == 0) hold = n.next();
        float crack = hold * std::exp(-t * 28);
        float thump = std::sin(2 * kPi * phase) * std::exp(-t * 14);
        return 0.8f * crack + thump;
    });
}

}  // namespace

std::vector<SoundEffect> sound_effects() {
    return {
        {"dash.wav", dash()},       {"penalty.wav", penalty()},      {"powerup.wav", powerup()},
        {"stage.wav", stage()},     {"break.wav", block_break()},
    };
}
