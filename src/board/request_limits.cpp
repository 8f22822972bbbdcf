// Fixed one-minute windows; the counts are forgotten when the minute turns, so the table
// holds at most one minute's addresses.
// Any pool thread calls in; one lock guards the whole table.
#include "board/request_limits.h"

#include <arpa/inet.h>

#include <cstring>

std::string address_group(const std::string& address) {
    unsigned char a[16];
    if (inet_pton(AF_INET, address.c_str(), a) == 1) return a[0] == 127 ? "" : address;
    if (inet_pton(AF_INET6, address.c_str(), a) != 1) return address;
    static const unsigned char loopback[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    if (std::memcmp(a, loopback, 16) == 0) return "";
    std::memset(a + 8, 0, 8);
    char text[INET6_ADDRSTRLEN];
    inet_ntop(AF_INET6, a, text, sizeof text);
    return std::string(text) + "/64";
}

bool request_limits::allow(const std::string& address, limited kind, long long now_ms) {
    if (waived_) return true;
    std::lock_guard<std::mutex> hold(m_);
    turn_minute(now_ms);
    auto it = counts_.try_emplace(address, std::array<int, 3>{}).first;
    const int most = kind == limited::tickets ? per_minute_.tickets
                     : kind == limited::notices ? per_minute_.notices
                                                : per_minute_.rounds;
    int& count = it->second[static_cast<int>(kind)];
    if (count >= most) return false;
    ++count;
    return true;
}

bool request_limits::allow_start(const std::string& player, const std::string& group, long long now_ms) {
    if (waived_) return true;
    std::lock_guard<std::mutex> hold(m_);
    turn_minute(now_ms);
    int& by_key = starts_["key " + player];
    if (by_key >= per_minute_.starts_per_key) return false;
    if (!group.empty()) {
        int& by_address = starts_["address " + group];
        if (by_address >= per_minute_.starts_per_address) return false;
        ++by_address;
    }
    ++by_key;
    return true;
}

void request_limits::turn_minute(long long now_ms) {
    const long long minute = now_ms / 60000;
    if (minute == minute_ && counts_.size() + starts_.size() <= 200000) return;
    counts_.clear();
    starts_.clear();
    minute_ = minute;
}
