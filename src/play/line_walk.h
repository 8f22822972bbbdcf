// The points a dash walks from one point to another: every point of the line from the
// first to the last, in order, one step along the longer axis at a time, as the game has
// always walked it (the order Allegro's do_line visits).
#pragma once

// Calls visit(x, y, context) for each point; a line of no length visits its one point.
void walk_line(int x1, int y1, int x2, int y2, void (*visit)(int x, int y, void* context), void* context);
