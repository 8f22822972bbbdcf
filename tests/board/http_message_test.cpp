// The request head reader and the log escaper, on strings alone: what a stranger can send
// and what the server makes of it.
#include <gtest/gtest.h>

#include "board/http_message.h"

namespace {

http_head head_of(const std::string& text) {
    size_t end = find_head_end(text);
    EXPECT_NE(end, 0u) << text;
    return parse_head(text, end);
}

}  // namespace

TEST(http_head_reader, ReadsPathQueryAndHeaders) {
    http_head h = head_of("GET /board/a%20b?period=week&name=J+D%26co&empty&x=1&x=2 HTTP/1.1\r\n"
                          "hOsT: here\r\nX-Thing:  spaced value \t\r\n\r\n");
    ASSERT_EQ(h.status, 0);
    EXPECT_EQ(h.method, "GET");
    EXPECT_EQ(h.path, "/board/a b");
    EXPECT_EQ(h.target, "/board/a%20b?period=week&name=J+D%26co&empty&x=1&x=2");
    EXPECT_EQ(h.params.find("name")->second, "J D&co");
    EXPECT_EQ(h.params.count("empty"), 1u);
    EXPECT_EQ(h.params.count("x"), 2u);
    EXPECT_EQ(h.params.find("x")->second, "1");
    http_request_in r;
    r.headers = h.headers;
    EXPECT_EQ(r.header("x-thing"), "spaced value");
    EXPECT_EQ(r.header("HOST"), "here");
    EXPECT_FALSE(r.has_header("content-length"));
    EXPECT_EQ(h.content_length, 0u);
    EXPECT_FALSE(h.chunked);
}

TEST(http_head_reader, TakesThePathOutOfAnAbsoluteTarget) {
    http_head h = head_of("GET http://board.example:8080/board?limit=5 HTTP/1.1\r\nHost: board.example\r\n\r\n");
    ASSERT_EQ(h.status, 0);
    EXPECT_EQ(h.path, "/board");
    EXPECT_EQ(h.params.find("limit")->second, "5");
    EXPECT_EQ(head_of("GET HTTPS://board.example HTTP/1.1\r\nHost: a\r\n\r\n").path, "/");
    EXPECT_EQ(head_of("GET ftp://board.example/ HTTP/1.1\r\nHost: a\r\n\r\n").status, 400);
}

TEST(http_head_reader, FindsTheEndWithCrlfOrBareLf) {
    EXPECT_EQ(find_head_end("GET / HTTP/1.1\r\nHost: a\r\n"), 0u);
    EXPECT_EQ(find_head_end("GET / HTTP/1.1\r\nHost: a\r\n\r\nbody"), 27u);
    EXPECT_EQ(find_head_end("GET / HTTP/1.1\nHost: a\n\nbody"), 24u);
    // picked up again where the last look stopped, also when the blank line straddles it
    const std::string whole = "GET / HTTP/1.1\r\nHost: a\r\n\r\n";
    for (size_t seen = 0; seen <= whole.size(); seen++) {
        EXPECT_EQ(find_head_end(whole.substr(0, seen), 0), seen == whole.size() ? 27u : 0u);
        EXPECT_EQ(find_head_end(whole, seen), 27u) << seen;
    }
    // a stray CRLF after the last body is not an empty request
    EXPECT_EQ(head_of("\r\nGET / HTTP/1.1\r\nHost: a\r\n\r\n").status, 0);
}

TEST(http_head_reader, KeepAliveFollowsTheVersion) {
    EXPECT_TRUE(head_of("GET / HTTP/1.1\r\nHost: a\r\n\r\n").keep_alive);
    EXPECT_FALSE(head_of("GET / HTTP/1.1\r\nHost: a\r\nConnection: Close\r\n\r\n").keep_alive);
    EXPECT_FALSE(head_of("GET / HTTP/1.0\r\n\r\n").keep_alive);
    EXPECT_TRUE(head_of("GET / HTTP/1.0\r\nConnection: keep-alive\r\n\r\n").keep_alive);
    EXPECT_TRUE(head_of("GET / HTTP/1.1\r\nHost: a\r\nConnection: closed-ish\r\n\r\n").keep_alive);
}

TEST(http_head_reader, RefusesWhatCouldBeReadTwoWays) {
    struct bad {
        const char* text;
        int status;
    };
    const bad cases[] = {
        {"GET / HTTP/1.1\r\n\r\n", 400},                                        // no Host
        {"GET /  HTTP/1.1\r\nHost: a\r\n\r\n", 400},                            // two spaces
        {"GET / HTTP/1.1 x\r\nHost: a\r\n\r\n", 400},
        {"GET noslash HTTP/1.1\r\nHost: a\r\n\r\n", 400},
        {"GET /a%zz HTTP/1.1\r\nHost: a\r\n\r\n", 400},                         // broken escape
        {"GET /a%00 HTTP/1.1\r\nHost: a\r\n\r\n", 400},
        {"GET /a% HTTP/1.1\r\nHost: a\r\n\r\n", 400},
        {"GET /?q=%4 HTTP/1.1\r\nHost: a\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nHost: a\r\nX: 1\r\n folded\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nHost : a\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nHost: a\r\nno colon\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nHost: a\rb\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 1x\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nHost: a\r\nContent-Length: -1\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 99999999999999999999\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: gzip\r\n\r\n", 501},
        {"PUT / HTTP/1.1\r\nHost: a\r\n\r\n", 501},
        {"GET / HTTP/2.0\r\nHost: a\r\n\r\n", 505},
        {"GET / HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n", 400},
    };
    for (const bad& b : cases) EXPECT_EQ(head_of(b.text).status, b.status) << b.text;
    http_head same = head_of("POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 2\r\ncontent-length: 2\r\n\r\n");
    EXPECT_EQ(same.status, 0);
    EXPECT_EQ(same.content_length, 2u);
    EXPECT_TRUE(head_of("POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: Chunked\r\n\r\n").chunked);
}

TEST(http_response_writer, FramesTheBodyAndKeepsHandlersOutOfTheFraming) {
    http_response_out r;
    r.status = 201;
    r.body = "hello";
    r.set_header("X-Note", "a\r\nSet-Cookie: evil");
    r.set_header("Content-Length", "999");
    std::string out = serialize_response(r, false, true);
    EXPECT_EQ(out.rfind("HTTP/1.1 201 Created\r\n", 0), 0u);
    EXPECT_NE(out.find("Content-Length: 5\r\n"), std::string::npos);
    EXPECT_EQ(out.find("999"), std::string::npos);
    EXPECT_NE(out.find("Connection: close\r\n"), std::string::npos);
    EXPECT_EQ(out.find("\r\nSet-Cookie"), std::string::npos);
    EXPECT_EQ(out.substr(out.size() - 9), "\r\n\r\nhello");
    std::string head_only = serialize_response(r, true, false);
    EXPECT_NE(head_only.find("Content-Length: 5\r\n"), std::string::npos);
    EXPECT_EQ(head_only.substr(head_only.size() - 4), "\r\n\r\n");
    EXPECT_EQ(head_only.find("Connection"), std::string::npos);
}

TEST(printable_for_log, EscapesWhatCouldForgeALine) {
    EXPECT_EQ(printable_for_log("/board?x=1"), "/board?x=1");
    EXPECT_EQ(printable_for_log("/a\nGET /forged"), "/a\\x0aGET /forged");
    EXPECT_EQ(printable_for_log(std::string("\r\t\0\x7f\xff", 5)), "\\x0d\\x09\\x00\\x7f\\xff");
    EXPECT_EQ(printable_for_log("back\\x0a"), "back\\\\x0a");
}
