// Ranking of the highscore table; no files here.
#include "records/highscore_table.h"

// Ten modest rows for a first run with no file, so the first good round earns a place.
const record default_highscore[highscore_rows] = {
    {{'A', 'C', 'E'}, 1000, 1}, {{'B', 'O', 'B'}, 900, 1}, {{'C', 'A', 'T'}, 800, 1},
    {{'D', 'A', 'N'}, 700, 1},  {{'E', 'V', 'E'}, 600, 1}, {{'F', 'O', 'X'}, 500, 1},
    {{'G', 'U', 'S'}, 400, 1},  {{'H', 'A', 'L'}, 300, 1}, {{'I', 'V', 'Y'}, 200, 1},
    {{'J', 'A', 'Y'}, 100, 1},
};

// All zero until the file is read: rows a short file does not supply stay so.
record highscore[highscore_rows] = {};

int add_highscore(record entry) {
    // Every row is compared, so on a table out of order the first row at or below wins.
    int position = highscore_rows;
    for (int i = highscore_rows - 1; i >= 0; --i)
        if (entry.score >= highscore[i].score) position = i;
    if (position == highscore_rows) return highscore_rows;
    for (int j = highscore_rows - 2; j >= position; --j) highscore[j + 1] = highscore[j];
    highscore[position] = entry;
    return position;
}

int32_t shown_score(int32_t internal) {
    const int64_t shown = int64_t{internal} * 10;
    return shown > INT32_MAX ? INT32_MAX : shown < INT32_MIN ? INT32_MIN : static_cast<int32_t>(shown);
}
