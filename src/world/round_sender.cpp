// The sender's thread: jobs the main thread hands over (files to write) first, then the
// queued round that is due soonest. Only this thread touches `queue`; the main thread
// reaches the rest through `shared`, under `mutex`.
// Thread: the sender's own, but for the calls the main thread makes at the bottom.
#include "world/round_sender.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/monotonic_clock.h"
#include "world/board_answer.h"
#include "world/board_queue.h"
#include "world/http_lane.h"

using json = nlohmann::json;

namespace {

constexpr long long first_retry_ms = 5000;
constexpr long long last_retry_ms = 5 * 60 * 1000;

struct queue_entry {
    std::string path;
    std::string url;
    std::string ticket;
    long long queued_at_ns = 0;
    int tries = 0;
    long long next_try_ms = 0;
    bool unreached = false;  // its last try found no board at all
    bool held = false;
};

// The sender's own: what it was given, and the queue as it knows it.
board_settings board;
std::string data_path;
std::vector<queue_entry> queue;

// Shared with the main thread.
std::mutex mutex;
std::condition_variable wake;
std::deque<std::function<void()>> jobs;
std::deque<sent_round_news> news;
sender_view view;
bool round_playing = false;
unsigned nudges = 0;  // every change the thread should look at
std::atomic<bool> stopping{false};

// Stopped at the latest when the program ends, so a test that fails before its stop
// does not end the process with a thread still running.
struct sender_thread_slot {
    std::thread thread;
    ~sender_thread_slot();
} sender;

sent_round_news news_of(const std::string& ticket, send_outcome outcome, const std::string& why = "") {
    sent_round_news n;
    n.ticket = ticket;
    n.outcome = outcome;
    n.why = why;
    return n;
}

void tell(sent_round_news n) {
    std::lock_guard<std::mutex> hold(mutex);
    news.push_back(std::move(n));
}

void count_waiting() {
    int n = 0;
    for (const queue_entry& e : queue) n += e.url == board.url;
    std::lock_guard<std::mutex> hold(mutex);
    view.waiting = n;
}

void note_away(bool away, const std::string& why) {
    std::lock_guard<std::mutex> hold(mutex);
    if (away && why != view.away_why)
        std::fprintf(stderr, "blockdash: the world table at %s is away (%s); its rounds are kept for later\n",
                     board.url.c_str(), why.c_str());
    view.away = away;
    view.away_why = away ? why : "";
}

queue_entry entry_of(const queued_round& q) {
    queue_entry e;
    e.path = q.path;
    e.url = q.url;
    e.ticket = q.ticket;
    e.queued_at_ns = q.queued_at_ns;
    return e;
}

std::vector<queue_entry>::iterator entry_for(const std::string& ticket) {
    return std::find_if(queue.begin(), queue.end(), [&](const queue_entry& e) { return e.ticket == ticket; });
}

void read_queue_from_disk() {
    queue.clear();
    for (const queued_round& q : waiting_board_rounds(data_path.c_str())) queue.push_back(entry_of(q));
    const std::string refusal = last_board_refusal(data_path.c_str());
    {
        std::lock_guard<std::mutex> hold(mutex);
        view.last_refusal = refusal;
    }
    count_waiting();
}

void write_round(const std::string& ticket, const replay& named, bool held) {
    std::string path;
    if (!queue_board_round(data_path.c_str(), board.url, ticket, named, &path)) {
        tell(news_of(ticket, send_outcome::not_kept));
        return;
    }
    queued_round q;
    if (entry_for(ticket) != queue.end() || !read_queued_round(path, &q)) return;
    queue_entry e = entry_of(q);
    e.held = held;
    queue.push_back(e);
    count_waiting();
}

void put_aside(const std::string& ticket, const std::string& reason, send_outcome outcome) {
    const auto e = entry_for(ticket);
    if (e == queue.end()) return;
    queued_round q;
    if (read_queued_round(e->path, &q)) set_board_round_aside(data_path.c_str(), q, reason);
    queue.erase(e);
    count_waiting();
    tell(news_of(ticket, outcome, reason));
}

// The oldest round for this board that is due, not held; none while a round is played.
std::vector<queue_entry>::iterator next_due(long long now, long long* wait_ms) {
    auto due = queue.end();
    *wait_ms = 60 * 1000;
    for (auto e = queue.begin(); e != queue.end(); ++e) {
        if (e->url != board.url || e->held) continue;
        if (e->next_try_ms > now) {
            *wait_ms = std::min(*wait_ms, e->next_try_ms - now);
            continue;
        }
        if (due == queue.end() || e->queued_at_ns < due->queued_at_ns) due = e;
    }
    return due;
}

sent_round_news taken_news(const std::string& ticket, const http_answer& a) {
    sent_round_news n = news_of(ticket, send_outcome::taken);
    const json body = json::parse(a.body, nullptr, false);
    if (!body.is_object()) return n;
    if (body.contains("rank") && body["rank"].is_number_integer()) n.rank = body["rank"].get<int>();
    if (body.contains("id") && body["id"].is_string()) n.id = body["id"].get<std::string>().substr(0, 64);
    if (body.contains("stands") && body["stands"].is_boolean()) n.stands = body["stands"].get<bool>();
    if (body.contains("best_rank") && body["best_rank"].is_number_integer()) n.best_rank = body["best_rank"].get<int>();
    if (body.contains("best_score") && body["best_score"].is_number_integer())
        n.best_score = body["best_score"].get<int>();
    return n;
}

void take_answer(queue_entry entry, const http_answer& a) {
    const long long now = monotonic_ms();
    bool away = false;
    const auto kept = entry_for(entry.ticket);
    if (kept == queue.end()) return;
    if (a.status == 201 || a.status == 200 || a.status == 409) {
        remove_board_round(data_path.c_str(), entry.path);
        queue.erase(kept);
        for (queue_entry& e : queue)  // the board is back: what found none is due now
            if (e.unreached) e.next_try_ms = std::min(e.next_try_ms, now);
        tell(a.status == 409 ? news_of(entry.ticket, send_outcome::taken_before) : taken_news(entry.ticket, a));
    } else if (board_refused_for_good(a)) {
        const std::string why = board_error_words(a);
        std::fprintf(stderr, "blockdash: the world table refused a round: %s\n", why.c_str());
        put_aside(entry.ticket, why, send_outcome::refused);
        std::lock_guard<std::mutex> hold(mutex);  // told once its file is aside
        view.last_refusal = why;
    } else {
        // Kept for later, this round alone pausing longer each time.
        ++kept->tries;
        kept->unreached = a.status == 0;
        away = true;
        kept->next_try_ms = now + std::min(last_retry_ms, first_retry_ms << std::min(kept->tries - 1, 10));
        tell(news_of(entry.ticket, send_outcome::waiting));
    }
    note_away(away, away ? board_error_words(a) : "");
    count_waiting();
}

void send_round(http_client& client, const queue_entry& entry) {
    queued_round q;
    if (!read_queued_round(entry.path, &q)) {  // gone, or no longer one of ours
        if (const auto e = entry_for(entry.ticket); e != queue.end()) queue.erase(e);
        count_waiting();
        return;
    }
    http_request r = ticketed_post(q.url + "/api/v1/rounds", board.key, q.ticket, "application/octet-stream");
    r.body.assign(q.replay_bytes.begin(), q.replay_bytes.end());
    const http_answer a = client.perform(r, stopping);
    if (stopping) return;  // cut short: it stays queued
    take_answer(entry, a);
}

void run_sender() {
    http_client client;
    read_queue_from_disk();
    std::unique_lock<std::mutex> hold(mutex);
    for (;;) {
        if (!jobs.empty()) {
            std::function<void()> job = std::move(jobs.front());
            jobs.pop_front();
            hold.unlock();
            job();
            hold.lock();
            continue;
        }
        if (stopping) return;
        const bool playing = round_playing;
        const unsigned seen = nudges;
        hold.unlock();
        long long wait_ms = 1000;
        const auto due = playing ? queue.end() : next_due(monotonic_ms(), &wait_ms);
        if (due != queue.end()) send_round(client, queue_entry(*due));
        hold.lock();
        if (due == queue.end())
            wake.wait_for(hold, std::chrono::milliseconds(wait_ms), [seen] { return nudges != seen; });
    }
}

void nudge() {
    {
        std::lock_guard<std::mutex> hold(mutex);
        ++nudges;
    }
    wake.notify_one();
}

void hand_over(std::function<void()> job) {
    {
        std::lock_guard<std::mutex> hold(mutex);
        jobs.push_back(std::move(job));
    }
    nudge();
}

}  // namespace

sender_thread_slot::~sender_thread_slot() { stop_sender(); }

void start_sender(const board_settings& settings, const char* path) {
    stop_sender();
    board = settings;
    data_path = path;
    news.clear();
    view = {};
    round_playing = false;
    stopping = false;
    sender.thread = std::thread(run_sender);
}

void stop_sender() {
    if (!sender.thread.joinable()) return;
    stopping = true;
    nudge();
    sender.thread.join();
    jobs.clear();
}

void queue_round(const std::string& ticket, const replay& named, bool held) {
    std::shared_ptr<const replay> copy(new replay(named));
    hand_over([ticket, copy, held] { write_round(ticket, *copy, held); });
}

void release_round(const std::string& ticket) {
    hand_over([ticket] {
        const auto e = entry_for(ticket);
        if (e != queue.end()) e->held = false;
    });
}

void set_round_aside(const std::string& ticket, const std::string& reason) {
    hand_over([ticket, reason] { put_aside(ticket, reason, send_outcome::set_aside); });
}

void save_initials(const std::string& initials) {
    hand_over([initials] { remember_initials(initials.c_str()); });
}

void sender_round_playing(bool playing) {
    {
        std::lock_guard<std::mutex> hold(mutex);
        round_playing = playing;
    }
    nudge();
}

bool take_sender_news(sent_round_news* n) {
    std::lock_guard<std::mutex> hold(mutex);
    if (news.empty()) return false;
    *n = std::move(news.front());
    news.pop_front();
    return true;
}

sender_view sender_now() {
    std::lock_guard<std::mutex> hold(mutex);
    return view;
}
