// The outside world as the game sees it: the clock, waiting and sound.
// The game calls these and nothing else for time and audio, so tests can swap in a
// fake clock (a 2000 ms banner hold costs no real time) and a recording sound hook.
// Until a program puts in the real machine (platform/real_host.h), the clock moves only
// when something waits and nothing is heard: the rules need no more to replay a round.
#pragma once

struct host_seam {
    long long (*now_us)();                   // elapsed wall time in microseconds
    void (*wait_until_us)(long long when);   // block the main thread until now_us() >= when
    void (*sound_requested)(int slot);  // a game event asked for sound effect `slot`
    void (*music_start)();
    void (*music_stop)();
};

extern host_seam host;

inline long long now_us() { return host.now_us(); }
inline int now_ms() { return static_cast<int>(host.now_us() / 1000); }
inline void wait_ms(int ms) { host.wait_until_us(host.now_us() + ms * 1000LL); }

// Sound hooks named by the game's events.
void playsound(int slot);
void startmusic();
void stopmusic();
