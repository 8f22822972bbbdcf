// The X server going away (a logout, a crashed or killed server) ends the game in order.
#pragma once

// Start-up calls this once the display is open. From then on the loss of the connection,
// seen on whichever thread talks to X first, runs `save` (true when all was saved), says
// so and ends the process with status 3: no crash and no signal.
void end_in_order_on_display_loss(bool (*save)());
