// Combo resolution, popup ageing and the time-out.
#include "play/scoring.h"

#include "platform/host.h"
#include "play/round_events.h"
#include "play/round_shell.h"
#include "play/round_tape.h"
#include "play/round_state.h"
#include "records/lifetime_stats.h"
#include "ui/screen_state.h"

// Runs in every frame with no walk under way; with no hits it changes nothing.
void resolve_combo() {
    if (!can_dash) return;
    const int n = player.combo;
    blocks_cut += n;
    if (!got_power) {
        player.score += n * n;
    } else {
        player.score += n * n * n;
        power_factor = n;
        power_popup = {320, 60, 50};
        got_power = false;
        playsound(2);
    }
    if (got_time) {
        time_left += n * n;
        time_bonus = n * n;
        time_popup = {320, 60, 50};
        got_time = false;
        playsound(2);
    }
    if (n > best_combo) best_combo = n;
    if (n > m_combo && !replaying) m_combo = n;
    player.combo = 0;
}

namespace {
void age(popup& p, int rise) {
    p.timer -= 1;
    p.y -= rise;
}
}  // namespace

void age_popups() {
    for (popup& p : got_combo) age(p, 1);
    age(lost_time, -1);  // the penalty sinks, everything else rises
    age(time_popup, 1);
    age(power_popup, 1);
}

// The rest of the frame still runs; its hand-over replaces the banner. The round counts
// from this frame on: a game ended during the banner (a signal, the window's close, a
// lost display) keeps its figures, and its row goes in as the name entry's would.
void check_time_out() {
    if (time_left >= 0) return;
    if (!replaying) tell_round_ended(recorded_round.frames);
    shell.time_out_banner();
    playsound(3);
    if (!replaying) {
        seal_recording();
        add_finished_round(finished_round_figures());
        shell.save_totals();  // a later crash or kill costs at most the round in progress
    }
    wait_ms(2000);
    round_over = true;
    if (replaying) return;
    game_state = state_end_of_game;
}
