// The clock counts microseconds like the real one; a wait moves it to its deadline at once,
// so the banners' holds cost nothing and the readings are the round's own.
#include "play/headless_replay.h"

#include "platform/host.h"

namespace {

long long virtual_now_us = 0;
long long virtual_clock_us() { return virtual_now_us; }
void virtual_wait_until_us(long long when) { virtual_now_us = when > virtual_now_us ? when : virtual_now_us; }
void no_sound(int) {}
void no_music() {}

std::vector<int32_t>* clock_readings = nullptr;
void read_clock(int32_t frames) {
    if (clock_readings && frames >= 0 && static_cast<size_t>(frames) < clock_readings->size())
        (*clock_readings)[static_cast<size_t>(frames)] = static_cast<int32_t>(virtual_now_us / 1000);
}

}  // namespace

void prepare_headless_replay() {
    virtual_now_us = 0;
    host = {virtual_clock_us, virtual_wait_until_us, no_sound, no_music, no_music};
}

replay_outcome replay_headless(const replay& r, std::vector<int32_t>* clock_after_ms) {
    virtual_now_us = 0;
    if (!clock_after_ms) return verify_replay(r);
    clock_after_ms->assign(static_cast<size_t>(r.frames) + 1, 0);
    clock_readings = clock_after_ms;
    const replay_outcome o = verify_replay(r, read_clock);
    clock_readings = nullptr;
    return o;
}
