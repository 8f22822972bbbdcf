// Requests a minute from one address, for each kind of request: enough for anyone playing,
// too few for a flood.
// The HTTP pool threads count their requests here; the table of counts is shared between
// them, under its lock.
#pragma once

#include <array>
#include <map>
#include <mutex>
#include <string>

enum class limited { tickets = 0, notices = 1, rounds = 2 };

struct limits_per_minute {
    int tickets = 30;
    int notices = 300;
    int rounds = 30;
};

class request_limits {
public:
    explicit request_limits(limits_per_minute per_minute, bool waived) : per_minute_(per_minute), waived_(waived) {}
    // Counts the request; false once the address has had its share this minute.
    bool allow(const std::string& address, limited kind, long long now_ms);

private:
    limits_per_minute per_minute_;
    bool waived_;
    std::mutex m_;
    long long minute_ = -1;
    std::map<std::string, std::array<int, 3>> counts_;
};
