// Fixed one-minute windows; the counts are forgotten when the minute turns, so the table
// holds at most one minute's addresses.
// Any pool thread calls in; one lock guards the whole table.
#include "board/request_limits.h"

bool request_limits::allow(const std::string& address, limited kind, long long now_ms) {
    if (waived_) return true;
    std::lock_guard<std::mutex> hold(m_);
    const long long minute = now_ms / 60000;
    if (minute != minute_ || counts_.size() > 200000) {
        counts_.clear();
        minute_ = minute;
    }
    auto it = counts_.try_emplace(address, std::array<int, 3>{}).first;
    const int most = kind == limited::tickets ? per_minute_.tickets
                     : kind == limited::notices ? per_minute_.notices
                                                : per_minute_.rounds;
    int& count = it->second[static_cast<int>(kind)];
    if (count >= most) return false;
    ++count;
    return true;
}
