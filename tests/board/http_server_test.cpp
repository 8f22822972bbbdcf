// The server on real sockets on 127.0.0.1: routing, framing, and the clients a public
// server meets (tricklers, floods from one address, a full queue), each answered in time.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "board/http_server.h"
#include "http_test_client.h"

namespace {

std::string get(const std::string& target, const std::string& extra = "") {
    return "GET " + target + " HTTP/1.1\r\nHost: t\r\n" + extra + "\r\n";
}

// A server on 127.0.0.1 with the routes the tests use, run on its own thread.
struct running_server {
    http_server server;
    std::thread io;
    std::mutex m;
    std::condition_variable cv;
    bool released = false;
    int blocked = 0;
    std::vector<http_log_entry> log;

    explicit running_server(http_limits limits) : server(limits) {
        server.route("GET", std::regex("/healthz"), [](const http_request_in&, http_response_out& res) { res.body = "ok"; });
        server.route("GET", std::regex("/players/([0-9a-f]+)/rounds"), [](const http_request_in& req, http_response_out& res) {
            res.body = req.matches.at(1) + "|" + req.param("period") + "|" + req.param("name") + "|" + req.remote;
        });
        server.route("POST", std::regex("/echo"), [](const http_request_in& req, http_response_out& res) {
            res.status = 201;
            res.body = "[" + req.body + "]";
        }, route_options{8, true});
        server.route("POST", std::regex("/empty"), [](const http_request_in& req, http_response_out& res) {
            res.status = 201;
            res.body = "[" + req.body + "]";
        });
        server.route("GET", std::regex("/big"), [](const http_request_in& req, http_response_out& res) {
            res.body.assign(std::stoul(req.param("mb")) << 20, 'x');
        });
        server.route("GET", std::regex("/throw"), [](const http_request_in&, http_response_out&) { throw std::runtime_error("x"); });
        server.route("GET", std::regex("/block"), [this](const http_request_in&, http_response_out& res) {
            std::unique_lock<std::mutex> lock(m);
            blocked++;
            cv.notify_all();
            cv.wait(lock, [&] { return released; });
            res.body = "released";
        });
        server.on_log([this](const http_log_entry& e) {
            std::lock_guard<std::mutex> lock(m);
            log.push_back(e);
        });
        std::string why;
        EXPECT_TRUE(server.bind("127.0.0.1", 0, &why)) << why;
        io = std::thread([this] { server.run(); });
    }
    ~running_server() {
        release();
        server.stop();
        io.join();
    }
    bool wait_blocked(int n) {
        std::unique_lock<std::mutex> lock(m);
        return cv.wait_for(lock, std::chrono::seconds(3), [&] { return blocked >= n; });
    }
    void release() {
        std::lock_guard<std::mutex> lock(m);
        released = true;
        cv.notify_all();
    }
};

}  // namespace

TEST(http_server, RoutesParamsBodiesAndKeepAlive) {
    running_server s({});
    client c(s.server.port());
    c.send_text(get("/players/00ff/rounds?period=week&name=J+D%21"));
    auto r = c.get_reply();
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, "00ff|week|J D!|127.0.0.1");
    // same connection: a POST with a body; one with no length at all has an empty body,
    // which a route that needs a body refuses, leaving the connection in step
    c.send_text("POST /echo HTTP/1.1\r\nHost: t\r\nContent-Length: 3\r\n\r\nabc");
    EXPECT_EQ(c.get_reply().body, "[abc]");
    c.send_text("POST /echo HTTP/1.1\r\nHost: t\r\n\r\n");
    EXPECT_EQ(c.get_reply().status, 411);
    c.send_text("POST /empty HTTP/1.1\r\nHost: t\r\n\r\n");
    r = c.get_reply();
    EXPECT_EQ(r.status, 201);
    EXPECT_EQ(r.body, "[]");
    c.send_text("HEAD /healthz HTTP/1.1\r\nHost: t\r\n\r\n" + get("/healthz", "Connection: close\r\n"));
    r = c.get_reply(2000, true);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.headers["content-length"], "2");
    r = c.get_reply();
    EXPECT_EQ(r.body, "ok");
    EXPECT_EQ(r.headers["connection"], "close");
    EXPECT_TRUE(c.closed_within(1000));

    client big(s.server.port());  // more than one write's worth, for a reader that keeps up
    big.send_text(get("/big?mb=4"));
    EXPECT_EQ(big.get_reply(5000).body.size(), size_t{4} << 20);

    client old(s.server.port());
    old.send_text("GET /healthz HTTP/1.0\r\nConnection: keep-alive\r\n\r\nGET /healthz HTTP/1.0\r\n\r\n");
    EXPECT_EQ(old.get_reply().headers["connection"], "keep-alive");
    EXPECT_EQ(old.get_reply().headers["connection"], "close");
    EXPECT_TRUE(old.closed_within(1000));

    // chunks it never reads: served with an empty body, then closed to stay in step
    client chunks(s.server.port());
    chunks.send_text("GET /healthz HTTP/1.1\r\nHost: t\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nGET\r\n0\r\n\r\n");
    r = chunks.get_reply();
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.headers["connection"], "close");
    EXPECT_TRUE(chunks.closed_within(1000));
}

TEST(http_server, AnswersWhatItCannotServe) {
    running_server s({});
    client c(s.server.port());
    c.send_text(get("/nothing"));
    EXPECT_EQ(c.get_reply().status, 404);
    c.send_text("POST /healthz HTTP/1.1\r\nHost: t\r\n\r\n");
    auto r = c.get_reply();
    EXPECT_EQ(r.status, 405);
    EXPECT_EQ(r.headers["allow"], "GET");
    c.send_text(get("/healthz"));  // both left the connection usable
    EXPECT_EQ(c.get_reply().status, 200);

    // Over the route's 8 bytes: refused from the length alone, before a byte of body.
    client big(s.server.port());
    big.send_text("POST /echo HTTP/1.1\r\nHost: t\r\nContent-Length: 9\r\n\r\n");
    EXPECT_EQ(big.get_reply().status, 413);
    EXPECT_TRUE(big.closed_within(2000));

    client chunked(s.server.port());
    chunked.send_text("POST /echo HTTP/1.1\r\nHost: t\r\nTransfer-Encoding: chunked\r\n\r\n");
    EXPECT_EQ(chunked.get_reply().status, 411);

    client huge(s.server.port());
    huge.send_text("GET /healthz HTTP/1.1\r\nHost: t\r\nX-Pad: " + std::string(20000, 'a') + "\r\n\r\n");
    EXPECT_EQ(huge.get_reply().status, 431);
    EXPECT_TRUE(huge.closed_within(2000));

    client bad(s.server.port());
    bad.send_text("GET /healthz HTTP/1.1\r\nHost: t\r\nbroken header\r\n\r\n");
    auto b = bad.get_reply();
    EXPECT_EQ(b.status, 400);
    EXPECT_EQ(b.headers["connection"], "close");
    EXPECT_TRUE(bad.closed_within(2000));
}

TEST(http_server, AThrowingHandlerIs500AndTheServerGoesOn) {
    running_server s({});
    client c(s.server.port());
    c.send_text("GET /throw HTTP/1.1\r\nHost: t\r\nX-Forwarded-For: 198.51.100.7\r\n\r\n");
    EXPECT_EQ(c.get_reply().status, 500);
    c.send_text(get("/healthz"));
    EXPECT_EQ(c.get_reply().body, "ok");
    c.send_text("GET /nowhere HTTP/1.1\r\nHost: t\r\nX-Forwarded-For: 198.51.100.8\r\n\r\n");
    EXPECT_EQ(c.get_reply().status, 404);
    std::lock_guard<std::mutex> lock(s.m);
    ASSERT_EQ(s.log.size(), 3u);
    EXPECT_EQ(s.log[0].path, "/throw");
    EXPECT_EQ(s.log[0].status, 500);
    EXPECT_EQ(s.log[0].remote, "127.0.0.1");
    // The proxy's client reaches the log from a worker and from the IO thread alike.
    EXPECT_EQ(s.log[0].forwarded_for, "198.51.100.7");
    EXPECT_EQ(s.log[1].forwarded_for, "");
    EXPECT_EQ(s.log[2].forwarded_for, "198.51.100.8");
}

TEST(http_server, TricklersAreCutOffAtTheirDeadlineWhileOthersAreServed) {
    http_limits limits;
    limits.header_ms = 1000;
    limits.request_ms = 1000;
    running_server s(limits);
    client slow_head(s.server.port()), slow_body(s.server.port());
    auto start = test_clock::now();
    slow_head.send_text("GET /healthz HTTP/1.1\r\n");
    slow_body.send_text("POST /echo HTTP/1.1\r\nHost: t\r\nContent-Length: 8\r\n\r\n");
    std::thread trickle([&] {
        // a byte every 200 ms to each, until the server stops taking them
        bool head_on = true, body_on = true;
        for (int i = 0; i < 20 && (head_on || body_on); i++) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            head_on = head_on && send(slow_head.fd, "X", 1, MSG_NOSIGNAL) == 1;
            body_on = body_on && send(slow_body.fd, "x", 1, MSG_NOSIGNAL) == 1;
        }
    });
    long long worst = 0;
    while (ms_since(start) < 800) {
        auto asked = test_clock::now();
        client other(s.server.port());
        other.send_text(get("/healthz"));
        EXPECT_EQ(other.get_reply().status, 200);
        worst = std::max(worst, ms_since(asked));
    }
    EXPECT_LT(worst, 200);
    for (client* slow : {&slow_head, &slow_body}) {
        EXPECT_EQ(slow->get_reply(3000).status, 408);
        EXPECT_TRUE(slow->closed_within(1000));
        long long cut = ms_since(start);
        EXPECT_GE(cut, 900);
        EXPECT_LT(cut, 1600);
    }
    trickle.join();
}

TEST(http_server, SilentAndIdleConnectionsAreClosed) {
    http_limits limits;
    limits.first_byte_ms = 300;
    limits.idle_ms = 300;
    running_server s(limits);
    client silent(s.server.port());
    EXPECT_TRUE(silent.closed_within(1500));
    client idle(s.server.port());
    idle.send_text(get("/healthz"));
    EXPECT_EQ(idle.get_reply().status, 200);
    EXPECT_TRUE(idle.closed_within(1500));
}

TEST(http_server, AClientThatStopsReadingItsAnswerIsCutOff) {
    http_limits limits;
    limits.write_ms = 300;
    running_server s(limits);
    client c(s.server.port(), "127.0.0.1", 64 * 1024);
    c.send_text(get("/big?mb=16"));  // far more than the sockets' buffers hold
    pollfd answering{c.fd, POLLIN, 0};
    ASSERT_EQ(poll(&answering, 1, 5000), 1);  // the answer has begun...
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // ...and the reader stalls
    size_t total = 0;
    bool ended = false;
    for (auto start = test_clock::now(); !ended && ms_since(start) < 5000;) {
        pollfd p{c.fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char buf[65536];
        ssize_t n = recv(c.fd, buf, sizeof buf, 0);
        if (n <= 0) ended = true;
        else total += static_cast<size_t>(n);
    }
    EXPECT_TRUE(ended);
    EXPECT_LT(total, size_t{16} << 20);
}

TEST(http_server, CapsConnectionsPerAddressButNotForTrustedProxies) {
    http_limits limits;
    limits.per_address = 4;
    limits.trusted_proxies = {"127.0.0.3"};
    running_server s(limits);
    std::vector<std::unique_ptr<client>> flood;
    for (int i = 0; i < 4; i++) flood.push_back(std::make_unique<client>(s.server.port(), "127.0.0.2"));
    client over(s.server.port(), "127.0.0.2");
    EXPECT_EQ(over.get_reply().status, 503);
    EXPECT_TRUE(over.closed_within(1000));
    // the rest of the flood and everyone else are untouched
    flood[0]->send_text(get("/healthz"));
    EXPECT_EQ(flood[0]->get_reply().status, 200);
    client mine(s.server.port());
    mine.send_text(get("/healthz"));
    EXPECT_EQ(mine.get_reply().status, 200);
    std::vector<std::unique_ptr<client>> proxied;
    for (int i = 0; i < 6; i++) proxied.push_back(std::make_unique<client>(s.server.port(), "127.0.0.3"));
    proxied.back()->send_text(get("/healthz"));
    EXPECT_EQ(proxied.back()->get_reply().status, 200);
    // a closed one frees its place
    flood.pop_back();
    bool served = false;
    for (auto start = test_clock::now(); !served && ms_since(start) < 2000;) {
        client again(s.server.port(), "127.0.0.2");
        again.send_text(get("/healthz"));
        served = again.get_reply().status == 200;
    }
    EXPECT_TRUE(served);
}

TEST(http_server, CapsConnectionsInAll) {
    http_limits limits;
    limits.connections = 3;
    running_server s(limits);
    client a(s.server.port()), b(s.server.port(), "127.0.0.2"), c(s.server.port(), "127.0.0.3");
    client over(s.server.port(), "127.0.0.4");
    auto r = over.get_reply();
    EXPECT_EQ(r.status, 503);
    EXPECT_EQ(r.headers["retry-after"], "1");
    a.send_text(get("/healthz"));
    EXPECT_EQ(a.get_reply().status, 200);
    std::lock_guard<std::mutex> lock(s.m);
    ASSERT_EQ(s.log.size(), 2u);  // the refusal and the request, each once
    EXPECT_EQ(s.log[0].remote, "127.0.0.4");
    EXPECT_EQ(s.log[0].status, 503);
}

TEST(http_server, AFullQueueIsAnswered503AtOnce) {
    http_limits limits;
    limits.workers = 1;
    limits.queue = 1;
    running_server s(limits);
    client first(s.server.port());
    first.send_text(get("/block"));
    ASSERT_TRUE(s.wait_blocked(1));
    // the worker is held: of the next two, one waits in the queue and one is refused
    client a(s.server.port()), b(s.server.port());
    a.send_text(get("/block"));
    b.send_text(get("/block"));
    auto start = test_clock::now();
    client::reply refused;
    client* waiting = nullptr;
    while (refused.status == 0 && ms_since(start) < 2000) {
        if ((refused = a.get_reply(50)).status) waiting = &b;
        else if ((refused = b.get_reply(50)).status) waiting = &a;
    }
    EXPECT_EQ(refused.status, 503);
    EXPECT_EQ(refused.headers["retry-after"], "1");
    ASSERT_NE(waiting, nullptr);
    s.release();
    EXPECT_EQ(first.get_reply().body, "released");
    EXPECT_EQ(waiting->get_reply().body, "released");
}

TEST(http_server, StopFinishesTheRequestInFlight) {
    auto s = std::make_unique<running_server>(http_limits{});
    client busy(s->server.port()), idle(s->server.port());
    busy.send_text(get("/block"));
    ASSERT_TRUE(s->wait_blocked(1));
    s->server.stop();
    EXPECT_TRUE(idle.closed_within(2000));
    s->release();
    auto r = busy.get_reply();
    EXPECT_EQ(r.body, "released");
    EXPECT_EQ(r.headers["connection"], "close");
    s.reset();  // joins the IO thread
}

TEST(http_server, ASecondServerOnAHeldPortFails) {
    running_server s({});
    http_server second;
    std::string why;
    EXPECT_FALSE(second.bind("127.0.0.1", s.server.port(), &why));
    EXPECT_NE(why.find("already in use"), std::string::npos) << why;
    EXPECT_FALSE(second.bind("localhost", 0, &why));
    EXPECT_NE(why.find("not an IPv4 or IPv6 address"), std::string::npos) << why;
    http_server v6;
    if (!v6.bind("::1", 0, &why)) GTEST_SKIP() << "no IPv6 loopback: " << why;
    EXPECT_GT(v6.port(), 0);
}
