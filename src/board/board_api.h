// The board's routes: the JSON API under /api/v1, /healthz and the web page.
#pragma once

#include "board/board_options.h"
#include "board/board_store.h"
#include "board/http_server.h"
#include "board/request_limits.h"
#include "board/tickets.h"

constexpr size_t round_body_most = 512 * 1024;
constexpr size_t other_body_most = 4096;

struct board_context {
    board_store& store;
    ticket_secret secret;
    board_options options;
    request_limits limits;
};

// The address a request stands for: the proxy's X-Forwarded-For when it came from the
// trusted proxy, else the peer.
std::string client_address(const http_request_in& req, const std::string& trusted_proxy);

void add_board_routes(http_server& server, board_context& board);

