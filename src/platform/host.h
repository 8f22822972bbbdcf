// The outside world as the game sees it: the millisecond clock, waiting and sound.
// The game calls these and nothing else for time and audio, so tests can swap in a
// fake clock (a 2000 ms banner hold costs no real time) and a recording sound hook.
// Input stays Allegro's own mouse_x, mouse_y, mouse_b and key; tests write those directly.
// The pointer is read through pointer_x() and pointer_y(), which map the window's pixels
// onto the 640x480 picture however it is scaled (one to one in headless tests).
#pragma once

struct host_seam {
    int (*now_ms)();                    // elapsed wall time in milliseconds
    void (*wait_ms)(int ms);            // block the main thread
    void (*sound_requested)(int slot);  // a game event asked for sound effect `slot`
    void (*music_start)();
    void (*music_stop)();
};

extern host_seam host;

// The real machine: a monotonic clock, Allegro's rest() with the display's own work done
// between frames, silent effects, MIDI music.
void use_real_host();

inline int now_ms() { return host.now_ms(); }
inline void wait_ms(int ms) { host.wait_ms(ms); }

// Sound hooks named by the game's events.
void playsound(int slot);
void startmusic();
void stopmusic();

// The pointer on the 640x480 picture.
int pointer_x();
int pointer_y();
