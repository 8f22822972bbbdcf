// The WAV writer: a RIFF header whose sizes agree with the samples it carries.
#include <gtest/gtest.h>

#include <string>

#include "wav_writer.h"

namespace {

std::uint32_t le32(const std::vector<std::uint8_t>& b, size_t at) {
    return std::uint32_t(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24);
}

std::uint16_t le16(const std::vector<std::uint8_t>& b, size_t at) { return std::uint16_t(b[at] | b[at + 1] << 8); }

std::string tag(const std::vector<std::uint8_t>& b, size_t at) { return std::string(b.begin() + long(at), b.begin() + long(at) + 4); }

}  // namespace

TEST(WavWriter, HeaderDescribesSixteenBitMonoPcm) {
    std::vector<std::int16_t> samples = {0, 1, -1, 32767, -32768};
    auto b = encode_wav(samples, 22050);
    ASSERT_EQ(b.size(), 44u + 2 * samples.size());
    EXPECT_EQ(tag(b, 0), "RIFF");
    EXPECT_EQ(le32(b, 4), b.size() - 8);
    EXPECT_EQ(tag(b, 8), "WAVE");
    EXPECT_EQ(tag(b, 12), "fmt ");
    EXPECT_EQ(le32(b, 16), 16u);
    EXPECT_EQ(le16(b, 20), 1);      // PCM
    EXPECT_EQ(le16(b, 22), 1);      // mono
    EXPECT_EQ(le32(b, 24), 22050u);
    EXPECT_EQ(le32(b, 28), 44100u);  // bytes per second
    EXPECT_EQ(le16(b, 32), 2);      // bytes per frame
    EXPECT_EQ(le16(b, 34), 16);
    EXPECT_EQ(tag(b, 36), "data");
    EXPECT_EQ(le32(b, 40), 2 * samples.size());
}

TEST(WavWriter, SamplesAreLittleEndianTwosComplement) {
    auto b = encode_wav({0x1234, -2, -32768}, 8000);
    EXPECT_EQ(b[44], 0x34);
    EXPECT_EQ(b[45], 0x12);
    EXPECT_EQ(b[46], 0xfe);
    EXPECT_EQ(b[47], 0xff);
    EXPECT_EQ(b[48], 0x00);
    EXPECT_EQ(b[49], 0x80);
}

TEST(WavWriter, EmptySoundIsStillAValidFile) {
    auto b = encode_wav({}, 22050);
    ASSERT_EQ(b.size(), 44u);
    EXPECT_EQ(le32(b, 4), 36u);
    EXPECT_EQ(le32(b, 40), 0u);
}
