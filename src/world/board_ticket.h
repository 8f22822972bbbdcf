// The ticket for the next board round: asked for at start-up and after each round, kept
// in hand for most of a day, asked again after a growing pause when the board gives none.
// Thread: the main thread; the requests go out on a lane of their own, so a ticket never
// waits behind a notice.
#pragma once

#include <string>

#include "world/board_settings.h"

void start_tickets(const board_settings& settings);
void stop_tickets();

// Asks for one unless one is in hand or on its way (or the pause after a failure runs).
void ask_for_ticket();
// Forgets the pause after a failure, so the next round's ticket is asked for at once.
void ask_for_ticket_now();
// Between frames, and while a round's start waits for its ticket: the answer, if it came.
void take_ticket_answers();
// Between frames: a ticket held too long is swapped for a fresh one.
void keep_ticket_fresh();

bool ticket_in_hand();
bool ticket_on_its_way();
// The ticket for the round that starts now: it is spent, whatever comes next.
std::string spend_ticket();
// The rules version the board plays by, from its last ticket.
int ticket_rules();
// Why the last ask gave no ticket, in a player's words; empty when it did.
const std::string& ticket_trouble();
