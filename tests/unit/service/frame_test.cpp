#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "service/frame.h"

using namespace vnxml;

namespace {

std::string RandomBytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen() & 0xFF);
    return s;
}

std::string Header(uint32_t checksum, uint32_t length) {
    std::string h(kFrameHeaderSize, '\0');
    for (int i = 0; i < 4; ++i) {
        h[static_cast<size_t>(i)] = static_cast<char>(checksum >> (24 - 8 * i));
        h[static_cast<size_t>(4 + i)] = static_cast<char>(length >> (24 - 8 * i));
    }
    return h;
}

std::string Deflate(const std::string& body) {
    uLongf len = compressBound(body.size());
    std::string out(len, '\0');
    EXPECT_EQ(compress(reinterpret_cast<Bytef*>(&out[0]), &len, reinterpret_cast<const Bytef*>(body.data()),
                       body.size()),
              Z_OK);
    out.resize(len);
    return out;
}

}  // namespace

TEST(Frame, ChecksumStartsFromZero) {
    // a = 97+98+99 = 294, b = 97 + 195 + 294 = 586; the usual start value 1
    // would give 0x024D0127.
    EXPECT_EQ(FrameChecksum("abc"), 0x024A0126u);
    EXPECT_EQ(FrameChecksum(""), 0u);
}

TEST(Frame, HeaderLayoutOfAThousandByteBody) {
    const std::string body(1000, 'x');
    const auto frame = PackFrame(body);
    ASSERT_TRUE(frame);
    ASSERT_GT(frame->size(), kFrameHeaderSize);
    const auto at = [&](size_t i) { return static_cast<unsigned char>((*frame)[i]); };
    const uint32_t sum = FrameChecksum(body);
    EXPECT_EQ(at(0), sum >> 24);
    EXPECT_EQ(at(1), (sum >> 16) & 0xFF);
    EXPECT_EQ(at(2), (sum >> 8) & 0xFF);
    EXPECT_EQ(at(3), sum & 0xFF);
    EXPECT_EQ(at(4), 0x00);
    EXPECT_EQ(at(5), 0x00);
    EXPECT_EQ(at(6), 0x03);
    EXPECT_EQ(at(7), 0xE8);
    for (size_t i = 8; i < 16; ++i) EXPECT_EQ(at(i), 0) << "byte " << i;

    // The rest is one plain zlib stream that any zlib can inflate.
    std::string out(1000, '\0');
    uLongf len = out.size();
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(&out[0]), &len,
                         reinterpret_cast<const Bytef*>(frame->data() + 16), frame->size() - 16),
              Z_OK);
    EXPECT_EQ(out, body);
}

TEST(Frame, RoundTripsBodiesOfEveryShape) {
    const std::string xml =
        "<?xml version=\"1.0\"?>\r\n<meridox revision=\"0\">\r\n<item>\r\n\t<Sequence>1</Sequence>\r\n</item>\r\n"
        "</meridox>\r\n";
    const std::string bodies[] = {"", "a", xml, RandomBytes(70000, 1), std::string(1 << 20, '\0')};
    for (const std::string& body : bodies) {
        const auto frame = PackFrame(body);
        ASSERT_TRUE(frame) << body.size();
        const UnpackedFrame back = UnpackFrame(*frame);
        ASSERT_TRUE(back.ok()) << FrameErrorText(back.error) << " for " << body.size() << " bytes";
        EXPECT_EQ(back.body, body);
    }
}

TEST(Frame, LargestBodyPacksAndUnpacks) {
    // Zeros compress close to deflate's limit ratio; the plausibility bound
    // must still accept the largest body that may be framed.
    const std::string body(kFrameMaxBody, '\0');
    const auto frame = PackFrame(body);
    ASSERT_TRUE(frame);
    const UnpackedFrame back = UnpackFrame(*frame);
    ASSERT_TRUE(back.ok()) << FrameErrorText(back.error);
    EXPECT_EQ(back.body.size(), body.size());

    // One byte more is not framed: the caller sends it uncompressed.
    EXPECT_FALSE(PackFrame(std::string(kFrameMaxBody + 1, '\0')));
}

TEST(Frame, RefusesImplausibleLengthsBeforeAllocating) {
    const std::string stream = Deflate("hello");
    // 4 GB stated in a tiny frame.
    EXPECT_EQ(UnpackFrame(Header(0, 0xFFFFFFFFu) + stream).error, FrameError::ImplausibleLength);
    // Above the absolute cap even with a stream long enough for the ratio.
    EXPECT_EQ(UnpackFrame(Header(0, kFrameMaxBody + 1) + std::string(70000, 'x')).error,
              FrameError::ImplausibleLength);
    // Above the deflate ratio for this stream size, and just within it.
    const uint32_t limit = static_cast<uint32_t>(stream.size()) * kFrameMaxRatio;
    EXPECT_EQ(UnpackFrame(Header(0, limit + 1) + stream).error, FrameError::ImplausibleLength);
    EXPECT_EQ(UnpackFrame(Header(0, limit) + stream).error, FrameError::LengthMismatch);
}

TEST(Frame, DamagedFramesAreRefusedWithTheirReason) {
    const std::string body = RandomBytes(5000, 7) + std::string(5000, 'z');
    const std::string good = *PackFrame(body);

    EXPECT_EQ(UnpackFrame("").error, FrameError::TooShort);
    EXPECT_EQ(UnpackFrame(good.substr(0, 15)).error, FrameError::TooShort);
    // Header only, or a truncated stream.
    EXPECT_EQ(UnpackFrame(good.substr(0, 16)).error, FrameError::ImplausibleLength);
    EXPECT_EQ(UnpackFrame(good.substr(0, good.size() - 10)).error, FrameError::BadStream);
    // Plain XML sent with a frame's content type.
    EXPECT_EQ(UnpackFrame(std::string(200, '<')).error, FrameError::ImplausibleLength);
    EXPECT_EQ(UnpackFrame(Header(0, 100) + std::string(200, '<')).error, FrameError::BadStream);

    std::string flipped = good;
    flipped[0] = static_cast<char>(flipped[0] ^ 0x01);
    EXPECT_EQ(UnpackFrame(flipped).error, FrameError::ChecksumMismatch);
    // A reader that does not rely on the peer's checksum still gets the body.
    EXPECT_EQ(UnpackFrame(flipped, false).body, body);

    // A header that states more or fewer bytes than the stream holds.
    const std::string stream = good.substr(16);
    const uint32_t sum = FrameChecksum(body);
    EXPECT_EQ(UnpackFrame(Header(sum, 10001) + stream).error, FrameError::LengthMismatch);
    EXPECT_EQ(UnpackFrame(Header(sum, 9999) + stream).error, FrameError::BadStream);

    // A failed unpack hands back nothing.
    EXPECT_TRUE(UnpackFrame(flipped).body.empty());
}
