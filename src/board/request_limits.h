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
    // Round starts: each draws a seed and abandons the round before it. A round lasts a
    // minute or more; a player who gives up at once starts a few a minute.
    int starts_per_key = 6;
    int starts_per_address = 12;
};

// The address a player is held to: an IPv6 one by its /64 (one household's or one
// machine's whole network), an IPv4 one as it is. "" for the loopback: the machine itself,
// or a proxy nobody said to trust, behind which everyone would look the same.
std::string address_group(const std::string& address);

class request_limits {
public:
    explicit request_limits(limits_per_minute per_minute, bool waived) : per_minute_(per_minute), waived_(waived) {}
    // Counts the request; false once the address has had its share this minute.
    bool allow(const std::string& address, limited kind, long long now_ms);
    // Counts a round's start for the player and for address_group's group ("" for none).
    bool allow_start(const std::string& player, const std::string& group, long long now_ms);

private:
    void turn_minute(long long now_ms);  // under m_
    limits_per_minute per_minute_;
    bool waived_;
    std::mutex m_;
    long long minute_ = -1;
    std::map<std::string, std::array<int, 3>> counts_;
    std::map<std::string, int> starts_;  // "key ..." and "address ..."
};
