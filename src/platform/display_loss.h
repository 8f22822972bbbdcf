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
// Elsewhere the thread stays parked, and ends the game itself within 3 s when the main
// thread has not.
void note_display_lost(bool stop_there = true);

// True once any thread noted the loss.
bool display_lost();

// The main thread's checkpoint between frames (the real host's wait calls it): ends the
// game in order when the display is gone.
void finish_if_display_lost();

// Takes `lock` on the main thread without ever waiting for good on a thread that stopped
// on a lost display while holding it.
void lock_unless_display_lost(std::timed_mutex& lock);

// Around every write of the records (the data folder's lock takes it): a thread that ends
// the game for a main thread stuck on the dead display saves only when no save is under way.
void begin_writing_records();
void end_writing_records();

// Shut-down, once its save is done: from here a lost display ends the game at once with
// status 3, saving nothing again, wherever the main thread then waits (the library's
// exit, the timer, the music).
void records_saved_for_good(bool saved);
