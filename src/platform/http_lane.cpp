// One thread and one libcurl handle per lane, so its connection is kept from request to
// request and nothing of another lane waits in front of it.
#include "platform/http_lane.h"

#include <curl/curl.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace {

std::once_flag curl_ready;

bool is_loopback(std::string host) {
    for (char& c : host) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (host == "localhost" || host == "[::1]" || host == "::1") return true;
    // 127.0.0.0/8, written as four plain numbers
    if (host.compare(0, 4, "127.") != 0) return false;
    int dots = 0;
    for (char c : host) {
        if (c == '.') ++dots;
        else if (c < '0' || c > '9') return false;
    }
    return dots == 3;
}

struct answer_sink {
    std::string* body;
    size_t limit;
    bool too_long = false;
};

size_t keep_answer(char* data, size_t size, size_t count, void* user) {
    answer_sink* sink = static_cast<answer_sink*>(user);
    const size_t n = size * count;
    if (sink->body->size() + n > sink->limit) {
        sink->too_long = true;
        return 0;  // ends the transfer
    }
    sink->body->append(data, n);
    return n;
}

int stop_if_asked(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<std::atomic<bool>*>(user)->load() ? 1 : 0;
}

}  // namespace

bool http_url_allowed(const std::string& url, std::string* why) {
    CURLU* u = curl_url();
    char* scheme = nullptr;
    char* host = nullptr;
    bool ok = false;
    if (curl_url_set(u, CURLUPART_URL, url.c_str(), 0) != CURLUE_OK ||
        curl_url_get(u, CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK ||
        curl_url_get(u, CURLUPART_HOST, &host, 0) != CURLUE_OK) {
        *why = "not a web address";
    } else if (std::strcmp(scheme, "https") == 0) {
        ok = true;
    } else if (std::strcmp(scheme, "http") == 0) {
        ok = is_loopback(host);
        if (!ok) *why = "plain http is only for this machine (127.0.0.1, localhost); use https";
    } else {
        *why = "only https (or http on this machine)";
    }
    curl_free(scheme);
    curl_free(host);
    curl_url_cleanup(u);
    return ok;
}

http_lane::http_lane(http_limits limits) : limits_(limits) {
    std::call_once(curl_ready, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    thread_ = std::thread([this] { run(); });
}

http_lane::~http_lane() {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void http_lane::send(http_request request) {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        waiting_.push_back(std::move(request));
    }
    wake_.notify_one();
}

bool http_lane::take(http_answer* answer) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (answered_.empty()) return false;
    *answer = std::move(answered_.front());
    answered_.pop_front();
    return true;
}

bool http_lane::idle() {
    std::lock_guard<std::mutex> hold(mutex_);
    return waiting_.empty() && !busy_;
}

int http_lane::drop_waiting() {
    std::lock_guard<std::mutex> hold(mutex_);
    const int n = static_cast<int>(waiting_.size());
    waiting_.clear();
    return n;
}

void http_lane::run() {
    CURL* curl = curl_easy_init();
    for (;;) {
        http_request request;
        {
            std::unique_lock<std::mutex> hold(mutex_);
            wake_.wait(hold, [this] { return stopping_ || !waiting_.empty(); });
            if (stopping_) break;
            request = std::move(waiting_.front());
            waiting_.pop_front();
            busy_ = true;
        }
        http_answer answer;
        int pause_ms = request.retry_pause_ms;
        for (int attempt = 1;; ++attempt) {
            answer = perform(curl, request);
            const bool worth_again = answer.status == 0 || answer.status >= 500;
            if (!worth_again || attempt >= request.tries || stopping_) break;
            std::unique_lock<std::mutex> hold(mutex_);
            if (wake_.wait_for(hold, std::chrono::milliseconds(pause_ms), [this] { return stopping_.load(); }))
                break;
            pause_ms *= 2;
        }
        std::lock_guard<std::mutex> hold(mutex_);
        answered_.push_back(std::move(answer));
        busy_ = false;
    }
    curl_easy_cleanup(curl);
}

http_answer http_lane::perform(void* handle, const http_request& request) {
    CURL* curl = static_cast<CURL*>(handle);
    http_answer answer;
    answer.id = request.id;
    std::string why;
    if (!curl || !http_url_allowed(request.url, &why)) {
        answer.error = curl ? why : "no network library";
        return answer;
    }
    curl_easy_reset(curl);
    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits_.connect_ms));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(limits_.transfer_ms));
    // Another authority than the system's, for a private board or a test.
    if (const char* ca = std::getenv("BLOCKDASH_BOARD_CA"); ca && *ca) curl_easy_setopt(curl, CURLOPT_CAINFO, ca);
    answer_sink sink{&answer.body, request.answer_limit};
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, keep_answer);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, stop_if_asked);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &stopping_);
    curl_slist* headers = nullptr;
    for (const std::string& h : request.headers) headers = curl_slist_append(headers, h.c_str());
    headers = curl_slist_append(headers, "Expect:");  // no wait for a 100 before the body
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    if (request.method == "POST") {
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
    }
    const CURLcode done = curl_easy_perform(curl);
    curl_slist_free_all(headers);
    long status = 0;
    if (done == CURLE_OK) {
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        answer.status = static_cast<int>(status);
    } else {
        answer.error = sink.too_long ? "the answer was too long" : curl_easy_strerror(done);
        answer.body.clear();
    }
    return answer;
}
