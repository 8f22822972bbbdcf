// The ten best scores with their initials.
#pragma once

struct record {
    char name[3];
    int score;  // ten times the round's internal score, as shown
    int extra;  // 1 for entries the game makes; kept with the entry
};

constexpr int highscore_rows = 10;
extern record highscore[highscore_rows];

// Inserts `entry` above every equal or lower score and returns its row, or 10 when it
// does not enter the table.
int add_highscore(record entry);
