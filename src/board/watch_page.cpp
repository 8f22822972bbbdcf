// The watch page: the round's figures as plain HTML, and a canvas the page's script plays
// the round in with the round's own module. The script and the module are tagged with
// their content in their addresses, so a browser keeps them until a new board brings others.
#include "board/watch_page.h"

#include "board/board_page.h"
#include "board/request_input.h"

const char watch_page_policy[] =
    "default-src 'self'; script-src 'self' 'wasm-unsafe-eval'; style-src 'self' 'unsafe-inline'; "
    "img-src 'self' data: blob:; base-uri 'none'; form-action 'none'; frame-ancestors 'self'";

namespace {

const char style[] = R"(
body { margin: 0 auto; padding: 0.75rem; font: 16px/1.4 system-ui, sans-serif; background: #282828; color: #f0f0f0; }
h1 { font-size: 1.4rem; margin: 0.25rem 0; }
a { color: #8cf; }
dl { display: flex; flex-wrap: wrap; gap: 0.25rem 1.25rem; margin: 0.5rem 0; }
dt { color: #aaa; }
dd { margin: 0 0 0 0.4rem; font-weight: bold; }
dl div { display: flex; }
#stage { display: flex; justify-content: center; }
#stage canvas { display: block; image-rendering: pixelated; image-rendering: crisp-edges; }
#controls { display: flex; flex-wrap: wrap; align-items: center; gap: 0.5rem; margin: 0.5rem 0; }
#controls button { font: inherit; min-width: 5.5rem; padding: 0.3rem 0.6rem; }
#controls input[type=range] { flex: 1 1 12rem; }
#clock, #score { font-family: monospace; white-space: nowrap; }
p.note { color: #ccc; font-size: 0.9rem; }
[hidden] { display: none !important; }
)";

std::string minutes_seconds(int64_t frames) {
    const int64_t seconds = frames / 50;
    std::string s = std::to_string(seconds % 60);
    return std::to_string(seconds / 60) + ":" + (s.size() < 2 ? "0" : "") + s;
}

void add_figure(std::string& page, const char* label, const std::string& value) {
    page += "<div><dt>" + std::string(label) + "</dt><dd>" + value + "</dd></div>";
}

// Each file the script may load, by name, with its tagged address.
std::string file_list(const watch_files& files) {
    std::string list;
    for (const auto& [name, f] : files)
        list += (list.empty() ? "" : " ") + html_escaped(name) + "=/watch/files/" + html_escaped(name) + "?v=" + f.tag;
    return list;
}

}  // namespace

std::string watch_page(const board_row& r, int32_t frames, const watch_files& files) {
    const std::string name = html_escaped(r.name), id = html_escaped(r.round);
    std::string when = iso_utc(r.played_ms);
    when[10] = ' ';
    when.pop_back();
    std::string page = page_head(name + " " + std::to_string(r.score) + " - Blockdash world table", style) + "<body>\n";
    page += "<p><a href=\"/\">&larr; The world table</a></p>\n<h1>" + name + "'s round: " + std::to_string(r.score) +
            "</h1>\n<dl>";
    add_figure(page, "Name", name);
    add_figure(page, "Score", std::to_string(r.score));
    add_figure(page, "Blocks", std::to_string(r.blocks));
    add_figure(page, "Best combo", std::to_string(r.best_combo));
    add_figure(page, "Played (UTC)", when);
    add_figure(page, "Length", minutes_seconds(frames) + " (" + std::to_string(frames) + " frames)");
    page += "</dl>\n";
    const bool playable = watch_player_present(files);
    if (playable) {
        // Hidden until the script has the round ready; without a script it never shows.
        page += "<div id=\"player\" hidden data-round=\"" + id + "\" data-name=\"" + name + "\" data-frames=\"" + std::to_string(frames) +
                "\" data-score=\"" + std::to_string(r.score) + "\" data-files=\"" + file_list(files) + "\">\n"
                "<div id=\"stage\"><canvas id=\"picture\" width=\"640\" height=\"480\"></canvas></div>\n"
                "<div id=\"controls\">"
                "<button id=\"play\" type=\"button\">Play</button>"
                "<button id=\"speed\" type=\"button\" title=\"Speed\">1x</button>"
                "<input id=\"slider\" type=\"range\" min=\"1\" max=\"" + std::to_string(frames) +
                "\" value=\"1\" aria-label=\"Frame\">"
                "<span id=\"clock\">0:00</span><span id=\"score\"></span>"
                "<a id=\"moment\" href=\"/watch/" + id + "\">Link to this moment</a>"
                "</div>\n"
                "<p class=\"note\">Space plays and pauses; &larr; and &rarr; step a frame, &uarr; and &darr; a second.</p>\n"
                "</div>\n<p id=\"status\" class=\"note\"></p>\n";
    }
    page += "<p><a href=\"/api/v1/replays/" + id + "\" download=\"board-" + id +
            ".rpl\">Download the replay</a> and watch it in the game: <code>blockdash --replay FILE</code>, or "
            "<code>blockdash --replay</code> with this page's address.</p>\n";
    if (playable) page += "<script src=\"/watch/files/watch.js?v=" + files.at("watch.js").tag + "\"></script>\n";
    page += "</body>\n</html>\n";
    return page;
}

bool watch_player_present(const watch_files& files) {
    for (const char* name : {"watch.js", "blockdash-round.js", "blockdash-round.wasm", "player.bmp", "text.bmp",
                             "background.bmp"})
        if (files.count(name) == 0) return false;
    return true;
}

void add_watch_routes(http_server& server, board_store& store, const watch_files& files) {
    const route_options small{4096, false};
    server.route("GET", std::regex("/watch/([^/]+)"), [&store, &files](const http_request_in& req, http_response_out& res) {
        board_row row;
        int32_t frames = 0;
        const std::string id = req.matches[1];
        if (!read_round_id(id) || !store.round_figures(id, row, frames)) {
            res.status = 404;
            res.body = "No such round on this board.\n";
            return;
        }
        res.body = watch_page(row, frames, files);
        res.content_type = "text/html; charset=utf-8";
        res.set_header("Content-Security-Policy", watch_page_policy);
        res.set_header("Cache-Control", "no-cache");
    }, small);
    server.route("GET", std::regex("/watch/files/([^/]+)"), [&files](const http_request_in& req, http_response_out& res) {
        const auto it = files.find(req.matches[1]);
        if (it == files.end()) {
            res.status = 404;
            res.body = "No such file.\n";
            return;
        }
        const watch_file& f = it->second;
        const std::string etag = "\"" + f.tag + "\"";
        res.set_header("ETag", etag);
        // The page names each file with its tag: that address always holds these bytes.
        res.set_header("Cache-Control", req.param("v") == f.tag ? "public, max-age=31536000, immutable" : "no-cache");
        res.set_header("X-Content-Type-Options", "nosniff");
        if (req.header("If-None-Match") == etag) {
            res.status = 304;
            res.content_type.clear();
            return;
        }
        res.body = f.bytes;
        res.content_type = f.content_type;
    }, small);
}
