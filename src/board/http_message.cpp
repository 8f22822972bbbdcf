// Reading request heads and writing responses; nothing here touches a socket.
// Threads: the IO thread parses heads and writes its own answers; workers serialize theirs.
#include "board/http_message.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

const std::string no_value;

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool is_tchar(unsigned char c) {
    return std::isalnum(c) || std::string("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string::npos;
}

bool is_token(const std::string& s) {
    if (s.empty()) return false;
    for (unsigned char c : s)
        if (!is_tchar(c)) return false;
    return true;
}

std::string trim_ows(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) b++;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) e--;
    return s.substr(b, e - b);
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Splits the head into lines, each without its LF or CRLF; a bare CR inside a line is refused.
bool split_lines(const std::string& in, size_t end, std::vector<std::string>& lines) {
    size_t pos = 0;
    while (pos < end) {
        size_t nl = in.find('\n', pos);
        if (nl == std::string::npos || nl >= end) nl = end;
        size_t stop = nl;
        if (stop > pos && in[stop - 1] == '\r') stop--;
        std::string line = in.substr(pos, stop - pos);
        if (line.find('\r') != std::string::npos || line.find('\0') != std::string::npos) return false;
        lines.push_back(std::move(line));
        pos = nl + 1;
    }
    return true;
}

// Only digits, and no more than fits: a Content-Length is read before anything is trusted.
bool read_length(const std::string& s, size_t& out) {
    if (s.empty() || s.size() > 15) return false;
    size_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<size_t>(c - '0');
    }
    out = v;
    return true;
}

}  // namespace

const std::string& http_request_in::header(const std::string& name) const {
    const std::string key = lower(name);
    for (const auto& h : headers)
        if (h.first == key) return h.second;
    return no_value;
}

bool http_request_in::has_header(const std::string& name) const {
    const std::string key = lower(name);
    for (const auto& h : headers)
        if (h.first == key) return true;
    return false;
}

const std::string& http_request_in::param(const std::string& name) const {
    auto it = params.find(name);
    return it == params.end() ? no_value : it->second;
}

size_t find_head_end(const std::string& in, size_t scanned) {
    // Blank lines before the request line are allowed (a client's stray CRLF after a body).
    size_t start = 0;
    while (start < in.size() && (in[start] == '\r' || in[start] == '\n')) start++;
    // A blank line may have begun in the last three bytes seen.
    start = std::max(start, scanned >= 3 ? scanned - 3 : 0);
    for (size_t i = in.find('\n', start); i != std::string::npos; i = in.find('\n', i + 1)) {
        if (i + 1 < in.size() && in[i + 1] == '\n') return i + 2;
        if (i + 2 < in.size() && in[i + 1] == '\r' && in[i + 2] == '\n') return i + 3;
    }
    return 0;
}

http_head parse_head(const std::string& in, size_t head_end) {
    http_head h;
    std::vector<std::string> lines;
    if (!split_lines(in, head_end, lines)) return h.status = 400, h;
    size_t first = 0;
    while (first < lines.size() && lines[first].empty()) first++;
    if (first == lines.size()) return h.status = 400, h;

    const std::string& rl = lines[first];
    size_t sp1 = rl.find(' ');
    size_t sp2 = sp1 == std::string::npos ? sp1 : rl.find(' ', sp1 + 1);
    if (sp2 == std::string::npos || rl.find(' ', sp2 + 1) != std::string::npos) return h.status = 400, h;
    h.method = rl.substr(0, sp1);
    h.target = rl.substr(sp1 + 1, sp2 - sp1 - 1);
    h.version = rl.substr(sp2 + 1);
    if (!is_token(h.method) || h.target.empty()) return h.status = 400, h;
    if (h.version.size() != 8 || h.version.compare(0, 5, "HTTP/") != 0 || !std::isdigit(static_cast<unsigned char>(h.version[5])) ||
        h.version[6] != '.' || !std::isdigit(static_cast<unsigned char>(h.version[7])))
        return h.status = 400, h;
    if (h.version != "HTTP/1.1" && h.version != "HTTP/1.0") return h.status = 505, h;
    for (unsigned char c : h.target)
        if (c <= 0x20 || c >= 0x7f) return h.status = 400, h;
    // A proxy may send the absolute form; the path is what follows the authority.
    std::string origin = h.target;
    std::string scheme = lower(h.target.substr(0, 8));
    if (scheme.rfind("http://", 0) == 0 || scheme.rfind("https://", 0) == 0) {
        size_t slash = h.target.find('/', h.target.find("//") + 2);
        origin = slash == std::string::npos ? "/" : h.target.substr(slash);
    }
    if (origin[0] != '/') return h.status = 400, h;

    size_t q = origin.find('?');
    std::string raw_path = origin.substr(0, q);
    size_t hash = raw_path.find('#');
    if (hash != std::string::npos) return h.status = 400, h;
    if (!percent_decode(raw_path, h.path, false)) return h.status = 400, h;
    if (q != std::string::npos && !parse_query(origin.substr(q + 1), h.params)) return h.status = 400, h;

    bool has_length = false, has_host = false;
    std::string connection, te;
    for (size_t i = first + 1; i < lines.size(); i++) {
        const std::string& line = lines[i];
        if (line.empty()) break;
        if (line[0] == ' ' || line[0] == '\t') return h.status = 400, h;  // folded lines are obsolete
        size_t colon = line.find(':');
        if (colon == std::string::npos) return h.status = 400, h;
        std::string name = line.substr(0, colon);
        if (!is_token(name)) return h.status = 400, h;  // also refuses "Name :"
        name = lower(name);
        std::string value = trim_ows(line.substr(colon + 1));
        if (name == "content-length") {
            size_t n = 0;
            if (!read_length(value, n) || (has_length && n != h.content_length)) return h.status = 400, h;
            has_length = true;
            h.content_length = n;
        } else if (name == "transfer-encoding") {
            te += (te.empty() ? "" : ",") + lower(value);
        } else if (name == "connection") {
            connection += "," + lower(value);
        } else if (name == "host") {
            if (has_host) return h.status = 400, h;
            has_host = true;
        } else if (name == "expect" && lower(value) == "100-continue") {
            h.expects_continue = true;
        }
        h.headers.emplace_back(std::move(name), std::move(value));
    }
    if (h.version == "HTTP/1.1" && !has_host) return h.status = 400, h;
    if (!te.empty()) {
        // Both framings at once is how requests are smuggled past a proxy.
        if (has_length) return h.status = 400, h;
        if (te != "chunked") return h.status = 501, h;
        h.chunked = true;
    }
    auto says = [&](const std::string& word) {
        size_t pos = 0;
        while (pos < connection.size()) {
            size_t comma = connection.find(',', pos);
            if (comma == std::string::npos) comma = connection.size();
            if (trim_ows(connection.substr(pos, comma - pos)) == word) return true;
            pos = comma + 1;
        }
        return false;
    };
    h.keep_alive = h.version == "HTTP/1.1" ? !says("close") : says("keep-alive") && !says("close");
    if (h.method != "GET" && h.method != "POST" && h.method != "HEAD") return h.status = 501, h;
    return h;
}

bool percent_decode(const std::string& in, std::string& out, bool plus_is_space) {
    out.clear();
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); i++) {
        char c = in[i];
        if (c == '%') {
            if (i + 2 >= in.size()) return false;
            int hi = hex_value(in[i + 1]), lo = hex_value(in[i + 2]);
            if (hi < 0 || lo < 0) return false;
            c = static_cast<char>(hi * 16 + lo);
            if (c == '\0') return false;
            i += 2;
        } else if (c == '+' && plus_is_space) {
            c = ' ';
        }
        out.push_back(c);
    }
    return true;
}

bool parse_query(const std::string& query, std::multimap<std::string, std::string>& out) {
    size_t pos = 0;
    while (pos <= query.size()) {
        size_t amp = query.find('&', pos);
        if (amp == std::string::npos) amp = query.size();
        std::string part = query.substr(pos, amp - pos);
        if (!part.empty()) {
            size_t eq = part.find('=');
            std::string name, value;
            if (!percent_decode(part.substr(0, eq), name, true)) return false;
            if (eq != std::string::npos && !percent_decode(part.substr(eq + 1), value, true)) return false;
            out.emplace(std::move(name), std::move(value));
        }
        pos = amp + 1;
    }
    return true;
}

const char* reason_phrase(int status) {
    switch (status) {
        case 100: return "Continue";
        case 200: return "OK";
        case 201: return "Created";
        case 202: return "Accepted";
        case 204: return "No Content";
        case 301: return "Moved Permanently";
        case 302: return "Found";
        case 304: return "Not Modified";
        case 400: return "Bad Request";
        case 401: return "Unauthorized";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        case 408: return "Request Timeout";
        case 409: return "Conflict";
        case 411: return "Length Required";
        case 413: return "Content Too Large";
        case 422: return "Unprocessable Content";
        case 429: return "Too Many Requests";
        case 431: return "Request Header Fields Too Large";
        case 500: return "Internal Server Error";
        case 501: return "Not Implemented";
        case 503: return "Service Unavailable";
        case 505: return "HTTP Version Not Supported";
        default: return "Unknown";
    }
}

std::string serialize_response(const http_response_out& r, bool head_only, bool closing, bool say_keep_alive) {
    auto clean = [](const std::string& s) {
        std::string o;
        for (char c : s)
            if (c != '\r' && c != '\n') o.push_back(c);
        return o;
    };
    int status = r.status >= 100 && r.status <= 999 ? r.status : 500;
    std::string out = "HTTP/1.1 " + std::to_string(status) + " " + reason_phrase(status) + "\r\n";
    if (!r.content_type.empty()) out += "Content-Type: " + clean(r.content_type) + "\r\n";
    // A 304 has no body, and its length would be the one of the body it stands for.
    if (status != 304) out += "Content-Length: " + std::to_string(r.body.size()) + "\r\n";
    if (closing) out += "Connection: close\r\n";
    else if (say_keep_alive) out += "Connection: keep-alive\r\n";
    for (const auto& h : r.headers) {
        std::string name = lower(h.first);
        // The framing is the server's to say; a handler's copy would contradict it.
        if (name == "content-length" || name == "connection" || name == "transfer-encoding" || !is_token(h.first)) continue;
        out += h.first + ": " + clean(h.second) + "\r\n";
    }
    out += "\r\n";
    if (!head_only) out += r.body;
    return out;
}

std::string plain_response(int status, bool closing, const std::vector<std::pair<std::string, std::string>>& extra) {
    http_response_out r;
    r.status = status;
    r.body = std::string(reason_phrase(status)) + "\n";
    r.headers = extra;
    return serialize_response(r, false, closing);
}

std::string printable_for_log(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (unsigned char c : s) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c < 0x20 || c > 0x7e) {
            char buf[5];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}
