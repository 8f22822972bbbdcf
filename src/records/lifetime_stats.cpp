// The lifetime figures and how a finished round adds to them.
#include "records/lifetime_stats.h"


int32_t t_blocks_cut = 0;
int32_t t_games = 0;
int32_t m_combo = 0;
int32_t m_score = 0;
int32_t t_play_time[3] = {};
bool finished_round_waiting = false;

int32_t add_clamped(int32_t total, int64_t amount) {
    const int64_t sum = total + amount;
    return sum > INT32_MAX ? INT32_MAX : sum < INT32_MIN ? INT32_MIN : static_cast<int32_t>(sum);
}

void update_long_timer(int32_t* hours, int32_t* minutes, int32_t* seconds) {
    if (*seconds > 59) {
        *minutes = add_clamped(*minutes, *seconds / 60);
        *seconds %= 60;
    }
    if (*minutes > 59) {
        *hours = add_clamped(*hours, *minutes / 60);
        *minutes %= 60;
    }
}

lifetime_figures current_figures() {
    return {t_blocks_cut, t_games, m_combo, m_score, {t_play_time[0], t_play_time[1], t_play_time[2]}};
}

void use_figures(const lifetime_figures& f) {
    t_blocks_cut = f.blocks_cut;
    t_games = f.games;
    m_combo = f.combo;
    m_score = f.score;
    for (int i = 0; i < 3; ++i) t_play_time[i] = f.play_time[i];
}

void add_finished_round(const round_figures& round) {
    t_blocks_cut = add_clamped(t_blocks_cut, round.blocks_cut);
    t_play_time[0] = add_clamped(t_play_time[0], round.seconds);
    t_play_time[1] = add_clamped(t_play_time[1], round.minutes);
    update_long_timer(&t_play_time[2], &t_play_time[1], &t_play_time[0]);
    t_games = add_clamped(t_games, 1);
    if (round.score > m_score) m_score = round.score;
    finished_round_waiting = true;
}
