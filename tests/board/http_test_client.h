// A plain blocking client for the HTTP server's tests: one connection from a chosen loopback
// address, whole responses read with a deadline.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>

using test_clock = std::chrono::steady_clock;

inline long long ms_since(test_clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(test_clock::now() - t).count();
}

// A connection from `source` (127.0.0.2 to stand for another player) to the server.
struct client {
    int fd = -1;
    std::string pending;
    // `receive_buffer` > 0 fixes the socket's buffer, so a stalled reader stalls soon.
    client(int port, const char* source = "127.0.0.1", int receive_buffer = 0) {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        if (receive_buffer > 0) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        inet_pton(AF_INET, source, &a.sin_addr);
        ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
        a.sin_port = htons(static_cast<uint16_t>(port));
        if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) ADD_FAILURE() << "connect";
    }
    ~client() { close(fd); }
    void send_text(const std::string& s) { ASSERT_EQ(send(fd, s.data(), s.size(), MSG_NOSIGNAL), (ssize_t)s.size()); }
    // Waits up to `ms` for more bytes; false on close, error or time out.
    bool read_more(int ms) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, ms) <= 0) return false;
        char buf[4096];
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) return false;
        pending.append(buf, static_cast<size_t>(n));
        return true;
    }
    // One whole response: status, lower-case headers, body; status 0 when none came in `ms`.
    struct reply {
        int status = 0;
        std::map<std::string, std::string> headers;
        std::string body;
    };
    reply get_reply(int ms = 2000, bool head = false) {
        reply r;
        auto start = test_clock::now();
        size_t end;
        while ((end = pending.find("\r\n\r\n")) == std::string::npos)
            if (!read_more(static_cast<int>(ms - ms_since(start)))) return r;
        std::string head_text = pending.substr(0, end);
        r.status = std::stoi(head_text.substr(9, 3));
        for (size_t pos = head_text.find("\r\n"); pos != std::string::npos;) {
            size_t next = head_text.find("\r\n", pos + 2);
            std::string line = head_text.substr(pos + 2, next == std::string::npos ? std::string::npos : next - pos - 2);
            std::string name = line.substr(0, line.find(':'));
            for (char& c : name) c = static_cast<char>(tolower(c));
            r.headers[name] = line.substr(line.find(':') + 2);
            pos = next;
        }
        size_t len = head ? 0 : std::stoul(r.headers["content-length"]);
        while (pending.size() < end + 4 + len)
            if (!read_more(static_cast<int>(ms - ms_since(start)))) return reply{};
        r.body = pending.substr(end + 4, len);
        pending.erase(0, end + 4 + len);
        return r;
    }
    // True once the server has closed (ignoring any answer it sent first) within `ms`.
    bool closed_within(int ms) {
        auto start = test_clock::now();
        while (ms_since(start) < ms) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            char buf[4096];
            ssize_t n = recv(fd, buf, sizeof buf, 0);
            if (n <= 0) return true;
            pending.append(buf, static_cast<size_t>(n));
        }
        return false;
    }
};
