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

bool secret_from_environment(ticket_secret& secret, bool& given, std::string& problem) {
    const char* text = std::getenv("BLOCKDASH_BOARD_SECRET");
    given = text != nullptr;
    if (!given) return true;
    // Set but empty is a mistake in a settings file, not a wish for a secret of the board's own.
    if (!*text) {
        problem = "BLOCKDASH_BOARD_SECRET is set but empty: give it 64 hex digits, or unset it";
        return false;
    }
    if (bytes_of_hex(text, secret.key, sizeof secret.key)) return true;
    problem = "BLOCKDASH_BOARD_SECRET is not 64 hex digits";
    return false;
}

bool secret_from_hex(const std::string& hex, ticket_secret& secret) {
    return bytes_of_hex(hex, secret.key, sizeof secret.key);
}

bool load_ticket_secret(const std::string& dir, ticket_secret& secret, std::string& problem) {
    bool given = false;
    if (!secret_from_environment(secret, given, problem)) return false;
    if (given) return true;
    const std::string path = dir + "/ticket-secret";
    char text[65] = {};
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0 && errno == ENOENT) {
        // Made once: written under a name of this board's own, then linked into place, which
        // fails if another board starting beside it got there first; then theirs is read.
        unsigned char fresh[32];
        if (RAND_bytes(fresh, sizeof fresh) != 1) {
            problem = "the system's random source gave nothing";
            return false;
        }
        const std::string hex = hex_of(fresh, sizeof fresh) + "\n";
        const std::string temporary = path + "." + random_hex(16) + ".new";
        const int out = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (out < 0) {
            problem = "cannot make " + temporary + ": " + std::strerror(errno);
            return false;
        }
        const bool written =
            write(out, hex.data(), hex.size()) == static_cast<ssize_t>(hex.size()) && fsync(out) == 0;
        close(out);
        const int saved = !written ? errno : link(temporary.c_str(), path.c_str()) != 0 ? errno : 0;
        unlink(temporary.c_str());
        if (saved != 0 && saved != EEXIST) {
            problem = "cannot make " + path + ": " + std::strerror(saved);
            return false;
        }
        fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    }
    if (fd < 0) {
        problem = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    // Whoever can read the secret can sign tickets for any player.
    struct stat s;
    if (fstat(fd, &s) != 0 || (s.st_mode & 077) != 0) {
        close(fd);
        problem = path + " can be read by others than its owner: chmod 600 it (and make a new one if it leaked)";
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
