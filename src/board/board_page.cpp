// The page: three tables, styled inline so it reads on a phone and on a desktop alike. On a
// narrow screen each row stands as a little card of labelled lines, so nothing scrolls sideways.
#include "board/board_page.h"

#include <ctime>

namespace {

const char style[] = R"(
body { margin: 0 auto; max-width: 52rem; padding: 0.75rem; font: 16px/1.4 system-ui, sans-serif;
       background: #282828; color: #f0f0f0; }
h1 { font-size: 1.5rem; margin: 0.5rem 0; }
h2 { font-size: 1.2rem; margin: 1.25rem 0 0.25rem; }
.scroll { overflow-x: auto; }
table { border-collapse: collapse; width: 100%; }
th, td { padding: 0.3rem 0.5rem; text-align: right; white-space: nowrap; border-bottom: 1px solid #444; }
th { font: inherit; font-weight: bold; }
th:nth-child(2) { text-align: left; }
td:nth-child(2) { text-align: left; font-family: monospace; font-size: 1.1rem; }
td.empty { text-align: center; color: #aaa; }
a { color: #8cf; }
p.note { color: #ccc; font-size: 0.9rem; }
.waiver { background: #a33; padding: 0.5rem; }
@media (max-width: 40rem) {
  thead { display: none; }
  table, tbody, tr, td { display: block; }
  tr { border-bottom: 1px solid #444; padding: 0.25rem 0; }
  td { display: flex; justify-content: space-between; gap: 1rem; border: 0; padding: 0.1rem 0.25rem;
       white-space: normal; overflow-wrap: anywhere; text-align: right; }
  td::before { content: attr(data-label); color: #aaa; font: 16px/1.4 system-ui, sans-serif; text-align: left; }
  td.empty::before { content: none; }
  td.empty { justify-content: center; }
}
)";

const char* const titles[] = {"All time", "This week", "Today"};
const char* const anchors[] = {"all", "week", "day"};
// "Abandoned": rounds the player started and left for a newer one, all of them, ever.
const char* const labels[] = {"#",        "Name",       "Score",  "Blocks",   "Best combo",
                              "Paused s", "Abandoned", "When (UTC)", "Replay"};
constexpr int columns = sizeof labels / sizeof labels[0];

void add_table(std::string& page, int which, const std::vector<board_row>& rows) {
    page += "<h2 id=\"";
    page += anchors[which];
    page += "\">";
    page += titles[which];
    page += "</h2>\n<div class=\"scroll\"><table>\n<thead><tr>";
    for (const char* label : labels) page += std::string("<th>") + label + "</th>";
    page += "</tr></thead>\n<tbody>\n";
    if (rows.empty())
        page += "<tr><td class=\"empty\" colspan=\"" + std::to_string(columns) + "\">No rounds yet</td></tr>\n";
    for (const board_row& r : rows) {
        std::string when = iso_utc(r.played_ms);
        when[10] = ' ';
        when.pop_back();
        const std::string cells[] = {std::to_string(r.rank),
                                     html_escaped(r.name),
                                     std::to_string(r.score),
                                     std::to_string(r.blocks),
                                     std::to_string(r.best_combo),
                                     std::to_string(r.paused_ms / 1000),
                                     std::to_string(r.abandoned),
                                     when,
                                     "<a href=\"/watch/" + html_escaped(r.round) + "\">watch</a> <a href=\"/api/v1/replays/" +
                                         html_escaped(r.round) + "\" download=\"board-" + html_escaped(r.round) +
                                         ".rpl\">download</a>"};
        page += "<tr>";
        // Each cell names its column, for the narrow screen's cards.
        for (int c = 0; c < columns; ++c) page += std::string("<td data-label=\"") + labels[c] + "\">" + cells[c] + "</td>";
        page += "</tr>\n";
    }
    page += "</tbody></table></div>\n";
}

}  // namespace

std::string iso_utc(int64_t wall_ms) {
    const time_t seconds = static_cast<time_t>(wall_ms / 1000);
    tm t{};
    gmtime_r(&seconds, &t);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &t);
    return text;
}

std::string page_head(const std::string& title, const char* style) {
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
           title + "</title>\n<style>" + style + "</style>\n</head>\n";
}

std::string html_escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string board_page(const std::vector<board_row> boards[3], int64_t now_ms, bool testing_waiver) {
    std::string page = page_head("Blockdash world table", style) + "<body>\n<h1>Blockdash world table</h1>\n";
    if (testing_waiver)
        page += "<p class=\"waiver\">This board runs with the testing waiver: rounds are not timed.</p>\n";
    page += "<p>Every round here was replayed and timed by the board before it was accepted.</p>\n";
    for (int p = 0; p < 3; ++p) add_table(page, p, boards[p]);
    std::string now = iso_utc(now_ms);
    page += "<p class=\"note\">Watch a round here, or download its replay and run "
            "<code>blockdash --replay FILE</code>.</p>\n"
            "<p class=\"note\">What the board keeps about a player: the player key the game made, the initials, "
            "the replay of every accepted round, the times the game's notices arrived during each round, and the "
            "address of each request in the server's log.</p>\n"
            "<p class=\"note\">As of " + now.substr(0, 10) + " " + now.substr(11, 8) + " UTC.</p>\n</body>\n</html>\n";
    return page;
}
