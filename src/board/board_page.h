// The world table as one web page: no script, nothing loaded from elsewhere.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/board_store.h"

// `boards`: all time, this week, today.
std::string board_page(const std::vector<board_row> boards[3], int64_t now_ms, bool testing_waiver);

// Text made safe to stand in HTML.
std::string html_escaped(const std::string& text);

// A page's doctype and head, to its </head>: `title` already escaped, `style` the sheet.
std::string page_head(const std::string& title, const char* style);

// "2026-05-04T03:02:01Z"
std::string iso_utc(int64_t wall_ms);
