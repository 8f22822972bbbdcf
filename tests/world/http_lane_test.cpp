// Requests on their own thread: the caller never waits, and a board that hangs, fails or
// floods is cut off by the lane's bounds, not by luck.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "fixture/scripted_board.h"
#include "world/http_lane.h"

using namespace testing_support;
using clock_type = std::chrono::steady_clock;

namespace {

// The answer, waiting for it at most `ms` of real time.
bool answer_within(http_lane& lane, http_answer* a, int ms) {
    const auto deadline = clock_type::now() + std::chrono::milliseconds(ms);
    while (clock_type::now() < deadline) {
        if (lane.take(a)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

http_request get(const scripted_board& board, const std::string& path) {
    http_request r;
    r.url = board.url() + path;
    return r;
}

}  // namespace

TEST(HttpLane, PlainHttpOnlyToThisMachine) {
    std::string why;
    for (const char* fine : {"https://board.example.org", "https://board.example.org:8443/x", "http://127.0.0.1:8640",
                             "http://localhost:1", "http://[::1]:8640/", "http://127.1.2.3"})
        EXPECT_TRUE(http_url_allowed(fine, &why)) << fine;
    for (const char* refused : {"http://board.example.org", "http://127.0.0.1.example.org", "http://10.0.0.1",
                                "ftp://127.0.0.1", "file:///etc/passwd", "board.example.org", "", "http://"})
        EXPECT_FALSE(http_url_allowed(refused, &why)) << refused;
}

TEST(HttpLane, AnswersComeBackInOrderWithTheirBodies) {
    scripted_board board([](const seen_request& r) {
        return scripted_answer{scripted_answer::reply, r.method == "POST" ? 201 : 200, "[" + r.body + "]"};
    });
    http_lane lane;
    http_request post = get(board, "/a");
    post.id = 1;
    post.method = "POST";
    post.body = "one";
    post.headers.push_back("X-Player-Key: 00112233445566778899aabbccddeeff");
    lane.send(post);
    http_request plain = get(board, "/b");
    plain.id = 2;
    lane.send(plain);
    http_answer a;
    ASSERT_TRUE(answer_within(lane, &a, 5000));
    EXPECT_EQ(a.id, 1);
    EXPECT_EQ(a.status, 201);
    EXPECT_EQ(a.body, "[one]");
    ASSERT_TRUE(answer_within(lane, &a, 5000));
    EXPECT_EQ(a.id, 2);
    EXPECT_EQ(a.status, 200);
    EXPECT_EQ(board.connections(), 1);  // the connection is kept for the next request
}

TEST(HttpLane, HangingGarbageAndFailingBoardsAreBounded) {
    scripted_board board([](const seen_request& r) {
        if (r.path == "/hang") return hanging_answer();
        if (r.path == "/garbage") return garbage_answer();
        return scripted_answer{scripted_answer::reply, 500, "{}"};
    });
    http_limits limits;
    limits.transfer_ms = 300;
    http_lane lane(limits);

    const auto before = clock_type::now();
    lane.send(get(board, "/hang"));
    EXPECT_LT(clock_type::now() - before, std::chrono::milliseconds(50)) << "handing a request over must not wait";
    http_answer a;
    ASSERT_TRUE(answer_within(lane, &a, 5000));
    EXPECT_EQ(a.status, 0);
    EXPECT_FALSE(a.error.empty());

    lane.send(get(board, "/garbage"));  // a megabyte against a bound of 64 KB
    ASSERT_TRUE(answer_within(lane, &a, 5000));
    EXPECT_EQ(a.status, 0);
    EXPECT_TRUE(a.body.empty());
    EXPECT_EQ(a.error, "the answer was too long");

    http_request failing = get(board, "/fail");
    failing.tries = 3;
    failing.retry_pause_ms = 10;
    lane.send(failing);
    ASSERT_TRUE(answer_within(lane, &a, 5000));
    EXPECT_EQ(a.status, 500);
    int tries = 0;
    for (const seen_request& r : board.requests()) tries += r.path == "/fail";
    EXPECT_EQ(tries, 3);
}

TEST(HttpLane, RefusedAddressesAreNeverContacted) {
    http_lane lane;
    http_request r;
    r.url = "http://192.0.2.1/api";  // not this machine: refused before any connection
    lane.send(r);
    http_answer a;
    ASSERT_TRUE(answer_within(lane, &a, 2000));
    EXPECT_EQ(a.status, 0);
    EXPECT_NE(a.error.find("plain http"), std::string::npos);
}

TEST(HttpLane, StoppingCutsAHangingRequestShort) {
    scripted_board board([](const seen_request&) { return hanging_answer(); });
    const auto before = clock_type::now();
    {
        http_lane lane;  // transfers may take 15 s; stopping must not wait for that
        lane.send(get(board, "/hang"));
        while (board.connections() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_LT(clock_type::now() - before, std::chrono::milliseconds(3000));
}
