// The outside world as the game sees it: the clock, waiting and sound.
// The game calls these and nothing else for time and audio, so tests can swap in a
// fake clock (a 2000 ms banner hold costs no real time) and a recording sound hook.
// Input stays Allegro's own mouse_x, mouse_y, mouse_b and key; tests write those directly.
// The pointer is read through pointer_x() and pointer_y(), which map the window's pixels
// onto the 640x480 picture however it is scaled (one to one in headless tests).
#pragma once

struct host_seam {
    long long (*now_us)();                   // elapsed wall time in microseconds
    void (*wait_until_us)(long long when);   // block the main thread until now_us() >= when
    void (*sound_requested)(int slot);  // a game event asked for sound effect `slot`
    void (*music_start)();
    void (*music_stop)();
};

extern host_seam host;

// The real machine: the monotonic clock (counted from the first reading), sleeps that end
// on their deadline with the display's own work done between frames, silent effects, MIDI
// music.
void use_real_host();

inline long long now_us() { return host.now_us(); }
inline int now_ms() { return static_cast<int>(host.now_us() / 1000); }
inline void wait_ms(int ms) { host.wait_until_us(host.now_us() + ms * 1000LL); }

// Sound hooks named by the game's events.
void playsound(int slot);
void startmusic();
void stopmusic();

// The pointer on the 640x480 picture.
int pointer_x();
int pointer_y();
