// The ten best scores with their initials.
#pragma once

#include <cstdint>

struct record {
    char name[3];
    int32_t score;  // ten times the round's internal score, as shown
    int32_t extra;  // 1 for entries the game makes; kept with the entry
};

constexpr int highscore_rows = 10;
extern record highscore[highscore_rows];

// The table of a run that finds no file: something to beat on the first run.
extern const record default_highscore[highscore_rows];

// Inserts `entry` above every equal or lower score and returns its row, or 10 when it
// does not enter the table. The end screen calls it after its qualification test.
int add_highscore(record entry);

// The score as shown and stored: ten times the internal units, clamped to 32 bits.
int32_t shown_score(int32_t internal);
