// Each frame is five bytes: x and y as little-endian 16-bit, then one byte of flags (left,
// pressed, any button, pause closed); the right button is no part of the round's input.
#include "play/input_digest.h"

#include <openssl/evp.h>

#include <new>

#include "platform/hex_text.h"

namespace {

void add_frame(EVP_MD_CTX* ctx, const round_input& in) {
    const uint8_t bytes[5] = {static_cast<uint8_t>(in.x), static_cast<uint8_t>(in.x >> 8), static_cast<uint8_t>(in.y),
                              static_cast<uint8_t>(in.y >> 8),
                              static_cast<uint8_t>(in.left | in.pressed << 1 | in.any_button << 2 |
                                                   in.pause_closed << 3)};
    EVP_DigestUpdate(ctx, bytes, sizeof bytes);
}

}  // namespace

input_digest::input_digest() : running_(EVP_MD_CTX_new()), reading_(EVP_MD_CTX_new()) {
    if (!running_ || !reading_ || EVP_DigestInit_ex(running_, EVP_sha256(), nullptr) != 1) throw std::bad_alloc();
}

input_digest::~input_digest() {
    EVP_MD_CTX_free(running_);
    EVP_MD_CTX_free(reading_);
}

void input_digest::add(const round_input& in) {
    add_frame(running_, in);
    ++frames_;
}

std::string input_digest::hex() const {
    unsigned char sum[EVP_MAX_MD_SIZE];
    unsigned size = 0;
    if (EVP_MD_CTX_copy_ex(reading_, running_) != 1 || EVP_DigestFinal_ex(reading_, sum, &size) != 1) return "";
    return hex_of(sum, size);
}

std::vector<std::string> replay_input_digests(const replay& r, const std::vector<int32_t>& frames) {
    std::vector<std::string> out(frames.size());
    input_digest d;
    replay_input_reader reader(r);
    for (size_t i = 0; i < frames.size(); ++i) {
        if (frames[i] > r.frames || frames[i] < d.frames()) continue;
        while (d.frames() < frames[i]) d.add(reader.next());
        out[i] = d.hex();
    }
    return out;
}

bool looks_like_digest(const std::string& text) { return is_hex_text(text, 64, true); }
