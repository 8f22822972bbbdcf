// The board's routes: the JSON API under /api/v1, /healthz and the web page.
#pragma once

#include <httplib.h>

#include "board/board_options.h"
#include "board/board_store.h"
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
std::string client_address(const httplib::Request& req, const std::string& trusted_proxy);

void add_board_routes(httplib::Server& server, board_context& board);

// Refuses, before its body is read, a POST whose body is too long or has no length.
bool body_too_long(const httplib::Request& req, httplib::Response& res);
