// Signing and reading tickets, and the board's random numbers, with OpenSSL's libcrypto.
// Any number of pool threads call in at once; these libcrypto calls keep no shared state of ours.
#include "board/tickets.h"

#include <fcntl.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <openssl/sha.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/hex_text.h"

namespace {

std::string signature(const ticket_secret& secret, const std::string& player_key, const std::string& body) {
    const std::string message = "blockdash ticket " + body + " " + player_key;
    unsigned char mac[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    HMAC(EVP_sha256(), secret.key, sizeof secret.key, reinterpret_cast<const unsigned char*>(message.data()),
         message.size(), mac, &size);
    return hex_of(mac, 16);
}

}  // namespace

bool load_ticket_secret(const std::string& dir, ticket_secret& secret, std::string& problem) {
    if (const char* given = std::getenv("BLOCKDASH_BOARD_SECRET"); given && *given) {
        if (bytes_of_hex(given, secret.key, sizeof secret.key)) return true;
        problem = "BLOCKDASH_BOARD_SECRET is not 64 hex digits";
        return false;
    }
    const std::string path = dir + "/ticket-secret";
    char text[65] = {};
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        // Made once; O_EXCL so two boards starting together cannot each write their own.
        unsigned char fresh[32];
        if (RAND_bytes(fresh, sizeof fresh) != 1) {
            problem = "the system's random source gave nothing";
            return false;
        }
        const std::string hex = hex_of(fresh, sizeof fresh) + "\n";
        const std::string temporary = path + ".new";
        unlink(temporary.c_str());
        const int out = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        const bool written = out >= 0 && write(out, hex.data(), hex.size()) == static_cast<ssize_t>(hex.size()) &&
                             fsync(out) == 0;
        if (out >= 0) close(out);
        if (!written || link(temporary.c_str(), path.c_str()) != 0) {
            const int saved = errno;
            unlink(temporary.c_str());
            if (saved != EEXIST) {
                problem = "cannot make " + path + ": " + std::strerror(saved);
                return false;
            }
        }
        unlink(temporary.c_str());
        fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if (fd < 0) {
        problem = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    const ssize_t got = read(fd, text, 64);
    close(fd);
    if (got != 64 || !bytes_of_hex(std::string(text, 64), secret.key, sizeof secret.key)) {
        problem = path + " does not hold 64 hex digits";
        return false;
    }
    return true;
}

std::string make_ticket(const ticket_secret& secret, const std::string& player_key, const ticket_fields& t) {
    char issued[17];
    std::snprintf(issued, sizeof issued, "%016llx", static_cast<unsigned long long>(t.issued_ms));
    const std::string body = t.id + issued;
    return body + signature(secret, player_key, body);
}

bool read_ticket(const ticket_secret& secret, const std::string& text, const std::string& player_key,
                 ticket_fields& t) {
    if (!is_hex_text(text, 80, true)) return false;
    const std::string body = text.substr(0, 48);
    const std::string expected = signature(secret, player_key, body);
    if (CRYPTO_memcmp(expected.data(), text.data() + 48, 32) != 0) return false;
    t.id = text.substr(0, 32);
    t.issued_ms = static_cast<int64_t>(std::strtoull(text.substr(32, 16).c_str(), nullptr, 16));
    return true;
}

std::string random_hex(size_t digits) {
    unsigned char bytes[64];
    const size_t size = (digits + 1) / 2;
    if (size > sizeof bytes || RAND_bytes(bytes, static_cast<int>(size)) != 1) std::abort();
    return hex_of(bytes, size).substr(0, digits);
}

uint32_t random_seed() {
    unsigned char bytes[4];
    if (RAND_bytes(bytes, sizeof bytes) != 1) std::abort();
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
}

std::string sha256_hex(const std::string& bytes) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
    return hex_of(digest, sizeof digest);
}
