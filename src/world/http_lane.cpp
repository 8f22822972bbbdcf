// Threads: an http_client runs on whichever thread calls it (the sender's); each
// http_lane runs its client on a thread of its own, and its send, take and drop_waiting
// may be called from any thread. Nothing of another lane waits in front of a request.
#include "world/http_lane.h"

#include <curl/curl.h>

#include <cctype>
#include <chrono>
#include <thread>
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
    return static_cast<const std::atomic<bool>*>(user)->load() ? 1 : 0;
}

http_failure failure_of(CURLcode code, bool too_long) {
    if (too_long) return http_failure::too_long;
    switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY: return http_failure::name;
        case CURLE_COULDNT_CONNECT:
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_GOT_NOTHING: return http_failure::connection;
        case CURLE_OPERATION_TIMEDOUT: return http_failure::timeout;
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH: return http_failure::certificate;
        default: return http_failure::other;
    }
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

const char* failure_words(http_failure failure) {
    switch (failure) {
        case http_failure::none: return "";
        case http_failure::refused_address: return "an address the game will not use";
        case http_failure::name: return "its name is not found";
        case http_failure::connection: return "no connection";
        case http_failure::timeout: return "no answer in time";
        case http_failure::certificate: return "its certificate is not trusted";
        case http_failure::too_long: return "an answer too long to read";
        case http_failure::other: return "the connection failed";
    }
    return "";
}

http_client::http_client(http_limits limits) : limits_(limits) {
    std::call_once(curl_ready, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    curl_ = curl_easy_init();
}

http_client::~http_client() { curl_easy_cleanup(static_cast<CURL*>(curl_)); }

http_answer http_client::perform(const http_request& request, const std::atomic<bool>& stop) {
    http_answer answer;
    int pause_ms = request.retry_pause_ms;
    for (int attempt = 1;; ++attempt) {
        answer = perform_once(request, stop);
        const bool worth_again = answer.status == 0 || answer.status >= 500;
        if (!worth_again || attempt >= request.tries || stop) break;
        // A short pause that a stop still cuts: slices of 10 ms.
        for (int waited = 0; waited < pause_ms && !stop; waited += 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (stop) break;
        pause_ms *= 2;
    }
    return answer;
}

http_answer http_client::perform_once(const http_request& request, const std::atomic<bool>& stop) {
    CURL* curl = static_cast<CURL*>(curl_);
    http_answer answer;
    answer.id = request.id;
    std::string why;
    if (!curl) {
        answer.failure = http_failure::other;
        answer.error = "no network library";
        return answer;
    }
    if (!http_url_allowed(request.url, &why)) {
        answer.failure = http_failure::refused_address;
        answer.error = why;
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
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(&stop));
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
        answer.failure = failure_of(done, sink.too_long);
        answer.error = sink.too_long ? "the answer was too long" : curl_easy_strerror(done);
        answer.body.clear();
    }
    return answer;
}

http_lane::http_lane(http_limits limits) : client_(limits) { thread_ = std::thread([this] { run(); }); }

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

int http_lane::drop_waiting() {
    std::lock_guard<std::mutex> hold(mutex_);
    const int n = static_cast<int>(waiting_.size());
    waiting_.clear();
    return n;
}

void http_lane::run() {
    for (;;) {
        http_request request;
        {
            std::unique_lock<std::mutex> hold(mutex_);
            wake_.wait(hold, [this] { return stopping_ || !waiting_.empty(); });
            if (stopping_) break;
            request = std::move(waiting_.front());
            waiting_.pop_front();
        }
        http_answer answer = client_.perform(request, stopping_);
        if (request.on_arrival && !stopping_) request.on_arrival(answer);
        std::lock_guard<std::mutex> hold(mutex_);
        answered_.push_back(std::move(answer));
    }
}
