// The X server going away (a logout, a crashed or killed server) ends the game in order.
#pragma once

#include <mutex>

// Start-up calls this once the display is open, on the main thread. From then on a loss of
// the connection is handled on the main thread, the only one that writes the records: it
// runs `save` (true when all was saved), says so and ends the process through `end` with
// status 3. A thread other than the main one that finds the loss only notes it and stops.
void end_in_order_on_display_loss(bool (*save)(), void (*end)(int status) = nullptr);

// What Xlib's I/O error handler does on the thread that found the loss. Never returns
// on the main thread or once noted elsewhere, except in tests (`stop_there` false).
void note_display_lost(bool stop_there = true);

// True once any thread noted the loss.
bool display_lost();

// The main thread's checkpoint between frames (the real host's wait calls it): ends the
// game in order when the display is gone.
void finish_if_display_lost();

// Takes `lock` on the main thread without ever waiting for good on a thread that stopped
// on a lost display while holding it.
void lock_unless_display_lost(std::timed_mutex& lock);
