// The board's store on a real SQLite file (or PostgreSQL): the life of a ticket, one round
// per ticket and per input, where a round stands, the boards' order and periods, and the
// operator's remove, ban and retention.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "board/board_api.h"
#include "board/board_store.h"
#include "board/round_draws.h"
#include "board/tickets.h"
#include "platform/monotonic_clock.h"
#include "http_test_client.h"
#include "support/headless.h"

namespace {

const std::string alice(32, 'a'), bob(32, 'b'), carol(32, 'c');
constexpr int64_t monday_noon = 1796644800000;  // 2026-12-07T12:00:00Z, a Monday

notice_body notice(int64_t seq, int32_t frame, notice_event e, const std::string& digest = "") {
    notice_body n;
    n.seq = seq;
    n.frame = frame;
    n.event = e;
    n.digest = digest;
    return n;
}

struct StoreTest : ::testing::Test {
    std::unique_ptr<board_store> store;
    std::string database, dir;
    int tickets = 0;

    // On a fresh SQLite file, or on the PostgreSQL in BOARD_TEST_DATABASE (board_test.sh
    // postgres runs them so), its tables dropped first.
    void SetUp() override {
        dir = testing_support::scratch_dir("board_store");
        const char* given = std::getenv("BOARD_TEST_DATABASE");
        database = given ? given : "";
        if (database.empty()) {
            std::remove((dir + "/board.sqlite").c_str());
        } else {
            const std::unique_ptr<sql_connection> c = open_sql(database, dir);
            for (const char* table : {"notices", "rounds", "bests", "bans", "tickets", "round_draws", "refused_rounds",
                                      "open_rounds", "abandons"})
                c->run(std::string("DROP TABLE IF EXISTS ") + table);
        }
        store = std::make_unique<board_store>(database, dir, 1);
    }

    // A ticket taken, started and ended: its id and seed.
    std::string ended_ticket(const std::string& player, uint32_t& seed, int32_t frames = 900) {
        const std::string id = random_hex(32);
        store->add_ticket(id, player, store->wall_ms());
        seed = store->add_notice(id, player, store->wall_ms(), notice(0, 0, notice_event::start)).seed;
        EXPECT_EQ(store->add_notice(id, player, 0, notice(1, frames, notice_event::end)).status, 204);
        return id;
    }

    board_store::keep_result keep_round_of(const std::string& player, int32_t score, int64_t played_ms,
                                  std::string* round_id = nullptr,
                                  board_store::round_standing* standing = nullptr) {
        uint32_t seed = 0;
        accepted_round r;
        r.ticket = ended_ticket(player, seed);
        r.id = random_hex(16);
        r.player = player;
        r.name = player == alice ? "ALI" : player == bob ? "BOB" : "CAR";
        r.score = score;
        r.played_ms = played_ms;
        r.seed = seed;
        r.fingerprint = "input " + std::to_string(++tickets);
        r.replay_bytes = std::string("\0\1replay", 8);
        if (round_id) *round_id = r.id;
        board_store::round_standing kept_standing;
        const board_store::keep_result kept = store->keep_round(r, kept_standing);
        if (standing) *standing = kept_standing;
        return kept;
    }

    std::vector<std::string> names(board_period p, int64_t now = monday_noon) {
        std::vector<std::string> out;
        for (const board_row& r : store->board(p, now, 100, 0)) out.push_back(r.name + std::to_string(r.score));
        return out;
    }
};

TEST_F(StoreTest, ATicketStartsOnceEndsOnceAndIsUsedOnce) {
    const std::string id = random_hex(32);
    store->add_ticket(id, alice, store->wall_ms());
    // "final" only where the round can never be accepted: not for notices out of order.
    const notice_answer early = store->add_notice(id, alice, 0, notice(1, 250, notice_event::tick, std::string(64, 'a')));
    EXPECT_EQ(early.status, 409) << "not started";
    EXPECT_FALSE(early.final);
    const notice_answer stranger = store->add_notice(id, bob, 0, notice(0, 0, notice_event::start));
    EXPECT_EQ(stranger.status, 403) << "another player";
    EXPECT_TRUE(stranger.final);
    const notice_answer unknown = store->add_notice(random_hex(32), alice, 0, notice(0, 0, notice_event::start));
    EXPECT_EQ(unknown.status, 404) << "a ticket no longer kept";
    EXPECT_TRUE(unknown.final);
    const notice_answer old = store->add_notice(id, alice, store->wall_ms() - 2 * day_ms, notice(0, 0, notice_event::start));
    EXPECT_EQ(old.status, 410) << "a ticket a day old";
    EXPECT_TRUE(old.final);
    const notice_answer start = store->add_notice(id, alice, store->wall_ms(), notice(0, 0, notice_event::start));
    ASSERT_EQ(start.status, 200);
    // Sent again after a lost answer: the same seed, nothing new.
    const notice_answer again = store->add_notice(id, alice, store->wall_ms(), notice(0, 0, notice_event::start));
    EXPECT_EQ(again.status, 200);
    EXPECT_EQ(again.seed, start.seed);
    EXPECT_EQ(store->add_notice(id, alice, 0, notice(1, 0, notice_event::start)).status, 409);
    EXPECT_EQ(store->add_notice(id, alice, 0, notice(1, 250, notice_event::tick, std::string(64, 'a'))).status, 204);
    EXPECT_EQ(store->add_notice(id, alice, 0, notice(1, 250, notice_event::tick, std::string(64, 'a'))).status, 204);
    EXPECT_EQ(store->add_notice(id, alice, 0, notice(2, 500, notice_event::end)).status, 204);
    const notice_answer late = store->add_notice(id, alice, 0, notice(3, 750, notice_event::tick, std::string(64, 'a')));
    EXPECT_EQ(late.status, 409) << "after the end";
    EXPECT_FALSE(late.final) << "the round itself may still be sent";
    const std::vector<stamped_notice> kept = store->notices(id);
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_LE(kept[0].at_ms, kept[2].at_ms);
    const stored_ticket t = store->find_ticket(id);
    EXPECT_EQ(t.state, ticket_state::ended);
    EXPECT_EQ(t.end_frame, 500);
    EXPECT_EQ(t.seed, start.seed);

    // A newer ticket replaces an unstarted one, not a started one.
    const std::string first = random_hex(32), second = random_hex(32);
    store->add_ticket(first, bob, store->wall_ms());
    store->add_ticket(second, bob, store->wall_ms());
    EXPECT_EQ(store->add_notice(first, bob, store->wall_ms(), notice(0, 0, notice_event::start)).status, 410);
    EXPECT_EQ(store->add_notice(second, bob, store->wall_ms(), notice(0, 0, notice_event::start)).status, 200);
}

// A tick's value is drawn once for its frame, however often or under whatever seq the tick
// comes; a tick sooner than the round could have reached its frame gets none, and the round
// is refused from then on.
TEST_F(StoreTest, EachTickHasOneValueAndATickTooSoonRefusesTheRound) {
    const std::string id = random_hex(32), a(64, 'a'), b(64, 'b');
    store->add_ticket(id, alice, store->wall_ms());
    ASSERT_EQ(store->add_notice(id, alice, store->wall_ms(), notice(0, 0, notice_event::start)).status, 200);
    const notice_body first = notice(1, frames_between_ticks, notice_event::tick, a);
    ASSERT_EQ(store->add_notice(id, alice, 0, first).status, 204);
    const tick_answer drawn = answer_tick(*store, id, first, false);
    ASSERT_EQ(drawn.status, 200) << drawn.error;
    EXPECT_EQ(answer_tick(*store, id, first, false).value, drawn.value) << "sent again";
    const tick_answer other_seq = answer_tick(*store, id, notice(2, frames_between_ticks, notice_event::tick, b), false);
    EXPECT_EQ(other_seq.value, drawn.value) << "the same tick under another seq";
    const tick_answer off_beat = answer_tick(*store, id, notice(2, frames_between_ticks + 1, notice_event::tick, b), false);
    EXPECT_EQ(off_beat.status, 400);
    EXPECT_TRUE(off_beat.final);
    keep_end_digest(*store, id, notice(3, 300, notice_event::end, b));
    const std::vector<round_commitment> kept = round_commitments(*store, id);
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].frame, frames_between_ticks);
    EXPECT_EQ(kept[0].digest, a) << "the first digest for the frame is the one committed";
    EXPECT_EQ(kept[0].value, drawn.value);
    EXPECT_TRUE(kept[1].end);
    EXPECT_EQ(kept[1].digest, b);
    EXPECT_EQ(round_refusal(*store, id), "");

    // Values are fresh for every round.
    const std::string next = random_hex(32);
    store->add_ticket(next, bob, store->wall_ms());
    ASSERT_EQ(store->add_notice(next, bob, store->wall_ms(), notice(0, 0, notice_event::start)).status, 200);
    const notice_body soon = notice(1, frames_between_ticks, notice_event::tick, a);
    ASSERT_EQ(store->add_notice(next, bob, 0, soon).status, 204);
    const tick_answer too_soon = answer_tick(*store, next, soon, true);
    EXPECT_EQ(too_soon.status, 422);
    EXPECT_TRUE(too_soon.final);
    EXPECT_NE(too_soon.error.find("too fast: the tick at frame 250"), std::string::npos) << too_soon.error;
    EXPECT_TRUE(round_commitments(*store, next).empty()) << "no value drawn for it";
    EXPECT_EQ(round_refusal(*store, next), too_soon.error);

    // The housekeeper drops them with their tickets, in its batches: the one round left
    // days ago, not the other.
    const std::unique_ptr<sql_connection> c = open_sql(std::getenv("BOARD_TEST_DATABASE") ? std::getenv("BOARD_TEST_DATABASE") : "",
                                                       testing_support::scratch_dir("board_store"));
    c->run("UPDATE tickets SET issued_ms = 0 WHERE id = $1", {next});
    store->forget_old(store->wall_ms(), 0);
    EXPECT_EQ(round_refusal(*store, next), "");
    EXPECT_EQ(round_commitments(*store, id).size(), 2u);
}

TEST_F(StoreTest, OneRoundATicketAndNoCopies) {
    uint32_t seed = 0;
    accepted_round r;
    r.ticket = ended_ticket(alice, seed);
    r.id = random_hex(16);
    r.player = alice;
    r.name = "ALI";
    r.score = 50;
    r.fingerprint = "same input";
    r.replay_bytes = std::string("\0\xff bytes", 8);
    board_store::round_standing standing;
    ASSERT_EQ(store->keep_round(r, standing), board_store::keep_result::kept);
    EXPECT_EQ(standing.rank, 1);
    EXPECT_TRUE(standing.stands);
    r.id = random_hex(16);
    EXPECT_EQ(store->keep_round(r, standing), board_store::keep_result::ticket_used) << "sent again, as to a second board";
    r.fingerprint = "other input";
    EXPECT_EQ(store->keep_round(r, standing), board_store::keep_result::ticket_used);
    r.ticket = ended_ticket(bob, seed);
    r.fingerprint = "same input";
    EXPECT_EQ(store->keep_round(r, standing), board_store::keep_result::copy) << "the same round through another ticket";
    EXPECT_EQ(store->find_ticket(r.ticket).state, ticket_state::ended) << "a refused round leaves its ticket";

    std::string bytes;
    ASSERT_TRUE(store->replay(store->board(board_period::all, 0, 1, 0).at(0).round, bytes));
    EXPECT_EQ(bytes, std::string("\0\xff bytes", 8)) << "bytes come back as stored";
}

TEST_F(StoreTest, BoardsHoldEachPlayersBestOfThePeriodBestFirst) {
    ASSERT_EQ(keep_round_of(alice, 300, monday_noon - 8 * day_ms), board_store::keep_result::kept);  // last week
    // A lower round after a higher one: "rank" counts only the others, the best is told apart.
    board_store::round_standing standing;
    keep_round_of(alice, 100, monday_noon - 3600000, nullptr, &standing);
    EXPECT_EQ(standing.rank, 1);
    EXPECT_FALSE(standing.stands);
    EXPECT_EQ(standing.best_rank, 1);
    EXPECT_EQ(standing.best_score, 300);
    keep_round_of(bob, 200, monday_noon - day_ms / 2 - 3600000, nullptr, &standing);  // Sunday
    EXPECT_TRUE(standing.stands);
    EXPECT_EQ(standing.rank, 2);
    keep_round_of(carol, 200, monday_noon - 7200000);  // today, later than bob's equal score
    keep_round_of(carol, 150, monday_noon - 60000, nullptr, &standing);
    EXPECT_EQ(standing.rank, 3);
    EXPECT_FALSE(standing.stands);
    EXPECT_EQ(standing.best_rank, 3) << "carol's 200 came after bob's";
    EXPECT_EQ(standing.best_score, 200);
    keep_round_of(alice, 300, monday_noon - 8 * day_ms + 3600000, nullptr, &standing);
    EXPECT_FALSE(standing.stands) << "an equal score played later leaves the earlier best";
    EXPECT_EQ(standing.best_rank, 1);
    EXPECT_EQ(names(board_period::all), (std::vector<std::string>{"ALI300", "BOB200", "CAR200"}));
    EXPECT_EQ(names(board_period::week), (std::vector<std::string>{"CAR200", "ALI100"}));
    EXPECT_EQ(names(board_period::day), (std::vector<std::string>{"CAR200", "ALI100"}));
    EXPECT_EQ(names(board_period::day, monday_noon - day_ms), (std::vector<std::string>{"BOB200"}));
    const std::vector<board_row> page = store->board(board_period::all, monday_noon, 2, 1);
    ASSERT_EQ(page.size(), 2u);
    EXPECT_EQ(page[0].rank, 2);
    EXPECT_EQ(page[0].name, "BOB");

    EXPECT_EQ(period_start(board_period::week, monday_noon), monday_noon - 12 * 3600000);
    EXPECT_EQ(period_start(board_period::week, monday_noon - day_ms), monday_noon - 12 * 3600000 - 7 * day_ms);
}

TEST_F(StoreTest, RemoveBanAndRetention) {
    std::string best, old;
    keep_round_of(alice, 300, monday_noon - 40 * day_ms, &best);
    keep_round_of(alice, 100, monday_noon - 35 * day_ms, &old);
    keep_round_of(bob, 200, monday_noon - 3600000);
    // Removing the best brings back the next best.
    ASSERT_TRUE(store->remove_round(best));
    EXPECT_FALSE(store->remove_round(best));
    EXPECT_EQ(names(board_period::all), (std::vector<std::string>{"BOB200", "ALI100"}));
    store->ban(bob);
    EXPECT_TRUE(store->banned(bob));
    EXPECT_EQ(names(board_period::all), (std::vector<std::string>{"ALI100"}));
    EXPECT_EQ(names(board_period::day), (std::vector<std::string>{}));

    // Retention drops old rounds on no board, never a board's round.
    std::string older;
    keep_round_of(carol, 10, monday_noon - 50 * day_ms, &older);
    keep_round_of(carol, 20, monday_noon - 45 * day_ms);
    EXPECT_EQ(store->forget_old(monday_noon, 30), 1);
    std::string bytes;
    EXPECT_FALSE(store->replay(older, bytes));
    EXPECT_TRUE(store->replay(old, bytes)) << "alice's best of all time stays";
    store->rebuild_bests(monday_noon);
    EXPECT_EQ(names(board_period::all), (std::vector<std::string>{"ALI100", "CAR20"}));
}

// A start ends the round its key, or its address, still holds open; that round is refused
// from then on and counted against its player, and the boards show the count.
TEST_F(StoreTest, ANewStartAbandonsTheRoundStillOpen) {
    const std::string home = "2001:db8:5:6::/64";
    auto start = [&](const std::string& player, const std::string& address) {
        const std::string id = random_hex(32);
        store->add_ticket(id, player, store->wall_ms());
        EXPECT_EQ(store->add_notice(id, player, store->wall_ms(), notice(0, 0, notice_event::start), 0, address).status, 200);
        return id;
    };
    const std::string first = start(alice, home);
    const std::string second = start(alice, "198.51.100.1");  // the same key elsewhere
    const notice_answer refused = store->add_notice(first, alice, 0, notice(1, 390, notice_event::tick));
    EXPECT_EQ(refused.status, 410);
    EXPECT_TRUE(refused.final);
    EXPECT_EQ(store->find_ticket(first).state, ticket_state::abandoned);
    EXPECT_EQ(store->add_notice(second, alice, 0, notice(1, 390, notice_event::tick)).status, 204);

    // Another key from the same /64 takes the address's hold; alice's open round ends.
    const std::string bobs = start(bob, home);
    EXPECT_EQ(store->find_ticket(bobs).state, ticket_state::started);
    EXPECT_EQ(store->find_ticket(second).state, ticket_state::started) << "her second came from another address";
    const std::string third = start(bob, "198.51.100.1");
    EXPECT_EQ(store->find_ticket(second).state, ticket_state::abandoned) << "its address started another round";
    EXPECT_EQ(store->find_ticket(bobs).state, ticket_state::abandoned);

    // A round that ended is not abandoned by the next; a start sent again abandons nothing.
    EXPECT_EQ(store->add_notice(third, bob, 0, notice(1, 900, notice_event::end)).status, 204);
    const std::string fourth = start(bob, home);
    EXPECT_EQ(store->find_ticket(third).state, ticket_state::ended);
    EXPECT_EQ(store->add_notice(fourth, bob, store->wall_ms(), notice(0, 0, notice_event::start), 0, home).status, 200);
    EXPECT_EQ(store->find_ticket(fourth).state, ticket_state::started);
    EXPECT_EQ(store->add_notice(fourth, bob, 0, notice(1, 900, notice_event::end)).status, 204);

    keep_round_of(alice, 100, monday_noon);
    keep_round_of(bob, 90, monday_noon);
    keep_round_of(carol, 80, monday_noon);
    std::vector<int64_t> counts;
    for (const board_row& r : store->board(board_period::all, monday_noon, 10, 0)) counts.push_back(r.abandoned);
    EXPECT_EQ(counts, (std::vector<int64_t>{2, 1, 0}));
}

// The hourly clean-up goes in batches; every batch is done, and nothing that is still
// needed goes with them.
TEST_F(StoreTest, CleanUpClearsMoreThanOneBatch) {
    const int64_t now = store->wall_ms();
    {
        const std::unique_ptr<sql_connection> c = open_sql(database, dir);
        c->begin_write();
        for (int64_t i = 0; i < forget_batch * 2 + 7; ++i) {
            const std::string id = random_hex(32);
            c->run("INSERT INTO tickets (id, player, issued_ms, state) VALUES ($1, $2, $3, 5)", {id, alice, now - 3 * day_ms});
            c->run("INSERT INTO notices (ticket, seq, frame, event, at_ms) VALUES ($1, 0, 0, 0, 0)", {id});
        }
        c->commit();
    }
    const std::string fresh = random_hex(32);
    store->add_ticket(fresh, bob, now);
    EXPECT_EQ(store->forget_old(now, 0), 0);
    const std::unique_ptr<sql_connection> c = open_sql(database, dir);
    EXPECT_EQ(c->run("SELECT count(*) FROM tickets").rows.at(0).integer(0), 1);
    EXPECT_EQ(c->run("SELECT count(*) FROM notices").rows.at(0).integer(0), 0);
    EXPECT_TRUE(store->find_ticket(fresh).found);
}

// A board on loopback over the fixture's store: the request limits waived.
struct served_board {
    ticket_secret secret;
    std::unique_ptr<board_context> board;
    http_server server;
    std::thread io;

    served_board(board_store& store, const std::string& dir) {
        std::string why;
        EXPECT_TRUE(load_ticket_secret(dir, secret, why)) << why;
        board_options o;
        o.testing_waiver = true;
        board.reset(new board_context{store, secret, o, request_limits({}, true)});
        add_board_routes(server, *board);
        EXPECT_TRUE(server.bind("127.0.0.1", 0, &why)) << why;
        io = std::thread([this] { server.run(); });
    }
    ~served_board() {
        server.stop();
        io.join();
    }
    client::reply post(const std::string& path, const std::string& key, const std::string& body,
                       const std::string& ticket = "", int ms = 20000) {
        client c(server.port());
        c.send_text("POST " + path + " HTTP/1.1\r\nHost: t\r\nX-Player-Key: " + key + "\r\n" +
                    (ticket.empty() ? "" : "X-Ticket: " + ticket + "\r\n") +
                    "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
        return c.get_reply(ms);
    }
};

// A notice's time is when it came, not when the store let it in: another writer holds the
// store for 4 s (SQLite: BEGIN IMMEDIATE; PostgreSQL: the tickets table locked), and the
// tick that waited for it is stamped as it arrived.
TEST_F(StoreTest, NoticesAreStampedOnArrivalWhileTheStoreIsHeld) {
    served_board served(*store, dir);
    const client::reply issued = served.post("/api/v1/tickets", alice, "");
    ASSERT_EQ(issued.status, 201);
    const std::string ticket = issued.body.substr(issued.body.find("\"ticket\":\"") + 10, 80);
    const int64_t start_sent = monotonic_ms();
    ASSERT_EQ(served.post("/api/v1/notices", alice, R"({"seq":0,"frame":0,"event":"start"})", ticket).status, 200);

    std::mutex m;
    std::condition_variable held_now;
    bool held = false;
    std::thread other_writer([&] {
        const std::unique_ptr<sql_connection> c = open_sql(database, dir);
        c->begin_write();
        if (c->shared()) c->run("LOCK TABLE tickets IN EXCLUSIVE MODE");
        {
            std::lock_guard<std::mutex> hold(m);
            held = true;
        }
        held_now.notify_one();
        sleep_until_ns(monotonic_ns() + 4000000000LL);  // the hold itself, not a wait for luck
        c->commit();
    });
    {
        std::unique_lock<std::mutex> hold(m);
        held_now.wait(hold, [&] { return held; });
    }
    const int64_t tick_sent = monotonic_ms();
    const client::reply tick = served.post("/api/v1/notices", alice, R"({"seq":1,"frame":250,"event":"tick","digest":")" + std::string(64, '0') + R"("})", ticket);
    const int64_t answered = monotonic_ms();
    other_writer.join();
    EXPECT_EQ(tick.status, 200) << tick.body;
    EXPECT_GE(answered - tick_sent, 3500) << "the tick waited for the other writer";
    ticket_fields t;
    ASSERT_TRUE(read_ticket(served.secret, ticket, alice, t));
    const std::vector<stamped_notice> n = store->notices(t.id);
    ASSERT_EQ(n.size(), 2u);
    EXPECT_NEAR(static_cast<double>(n[1].at_ms - n[0].at_ms), static_cast<double>(tick_sent - start_sent), 50.0)
        << "stamped " << n[1].at_ms - n[0].at_ms << " ms after the start, sent " << tick_sent - start_sent << " ms after";
}

}  // namespace
