// The frame built by the Windows agent (MinGW zlib, 32-bit zlib lengths) must
// be byte-for-byte what the service reads.
#include <gtest/gtest.h>

#include "service/frame.h"

TEST(FrameWin, SameHeaderAndRoundTripAsOnTheService) {
    const std::string body(1000, 'x');
    const auto frame = vnxml::PackFrame(body);
    ASSERT_TRUE(frame);
    const std::string header = frame->substr(0, 16);
    const uint32_t sum = vnxml::FrameChecksum(body);
    const std::string expected{static_cast<char>(sum >> 24), static_cast<char>(sum >> 16),
                               static_cast<char>(sum >> 8),  static_cast<char>(sum),
                               0, 0, 3, static_cast<char>(0xE8), 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(header, expected);
    EXPECT_EQ(vnxml::FrameChecksum("abc"), 0x024A0126u);

    const vnxml::UnpackedFrame back = vnxml::UnpackFrame(*frame);
    ASSERT_TRUE(back.ok()) << vnxml::FrameErrorText(back.error);
    EXPECT_EQ(back.body, body);

    std::string hostile = *frame;
    hostile[4] = static_cast<char>(0xFF);
    EXPECT_EQ(vnxml::UnpackFrame(hostile).error, vnxml::FrameError::ImplausibleLength);
}
