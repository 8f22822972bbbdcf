// The ticket for the next board round: asked for at start-up and after each round, kept
// in hand for most of a day, asked again after a growing pause when the board gives none.
// Thread: the main thread; the requests go on the notice lane's thread.
#pragma once

#include <string>

#include "world/board_settings.h"
#include "world/http_lane.h"

void start_tickets(const board_settings& settings, http_lane* lane);
void stop_tickets();

// Asks for one unless one is in hand or on its way (or the pause after a failure runs).
void ask_for_ticket();
// Forgets the pause after a failure, so the next round's ticket is asked for at once.
void ask_for_ticket_now();
// An answer of the ticket kind, taken from the lane; false for another kind.
bool take_ticket_answer(const http_answer& a);
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
