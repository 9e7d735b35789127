// What the talker decides without WinInet: address parts and flags, the
// framed request's headers, reading a framed reply, the reply cap and the
// choice of a failure's text.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "service/frame.h"
#include "service/talker.h"

using namespace vnxml;

TEST(TalkerRules, SecureAndPlainAddressesDifferInSchemePortAndFlag) {
    const TalkAddress secure = AddressFromParts("update.example", "/cgi-bin/vncheck.fcgi", true);
    EXPECT_EQ(secure.scheme, kSchemeHttps);
    EXPECT_EQ(secure.port, 443);
    EXPECT_EQ(secure.host, "update.example");
    EXPECT_EQ(secure.path, "/cgi-bin/vncheck.fcgi");
    EXPECT_TRUE(secure.userName.empty() && secure.password.empty() && secure.extra.empty());
    EXPECT_EQ(RequestFlags(secure.scheme), kFlagNoCacheWrite | kFlagNoCookies | kFlagSecure);

    const TalkAddress plain = AddressFromParts("update.example", "/x", false);
    EXPECT_EQ(plain.scheme, kSchemeHttp);
    EXPECT_EQ(plain.port, 80);
    EXPECT_EQ(RequestFlags(plain.scheme) & kFlagSecure, 0u);
    EXPECT_EQ(RequestFlags(plain.scheme), kFlagNoCacheWrite | kFlagNoCookies);

    // Parts are bounded as the cracking buffers are.
    const TalkAddress longHost = AddressFromParts(std::string(500, 'h'), std::string(600, 'p'), true);
    EXPECT_EQ(longHost.host.size(), kAddressPartMax);
    EXPECT_EQ(longHost.path.size(), kAddressPartMax);
}

TEST(TalkerRules, FramedRequestHeadersEndInTheLiteralSlashRSlashN) {
    const std::string headers = kCompressedRequestHeaders;
    // One real line break between the two headers, none at the end: the
    // service has always seen the Accept value ending in "/r/n".
    EXPECT_EQ(headers.find("\r\n"), headers.find("Accept:") - 2);
    EXPECT_EQ(headers.find("\r\n", headers.find("\r\n") + 1), std::string::npos);
    EXPECT_EQ(headers.substr(headers.size() - 4), "/r/n");
    EXPECT_EQ(headers.rfind("Content-type: text/xml-compressed", 0), 0u);
}

TEST(TalkerRules, ProgressTextsCoverTheTenStatusCodesOnly) {
    std::set<std::string> texts;
    for (uint32_t code : {10u, 11u, 20u, 21u, 30u, 31u, 40u, 41u, 50u, 51u}) {
        const char* text = TalkProgressText(code);
        ASSERT_NE(text, nullptr) << code;
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), 10u);
    EXPECT_STREQ(TalkProgressText(31), "Request sent to Internet host, waiting for reply.");
    // Cookie, redirect, handle and state notices say nothing to the user.
    for (uint32_t code : {0u, 12u, 32u, 60u, 70u, 71u, 100u, 110u, 320u})
        EXPECT_EQ(TalkProgressText(code), nullptr) << code;
}

TEST(TalkerRules, OnlyACompressedContentTypeIsUnpackedAndABadFrameStaysRaw) {
    EXPECT_TRUE(IsCompressedContentType("text/xml-compressed"));
    EXPECT_TRUE(IsCompressedContentType("Text/XML-Compressed; charset=UTF-8"));
    EXPECT_FALSE(IsCompressedContentType("text/xml"));
    EXPECT_FALSE(IsCompressedContentType(""));

    const std::string body = "<?xml version=\"1.0\"?>\r\n<meridox><status code=\"0\"/></meridox>\r\n";
    std::string frame = *PackFrame(body);
    EXPECT_EQ(UnpackReply(frame), body);
    // The frame's own checksum is not relied on (zlib checks its stream).
    frame[0] = static_cast<char>(frame[0] ^ 0x40);
    EXPECT_EQ(UnpackReply(frame), body);

    // Plain XML under a compressed type, and a frame stating 4 GB.
    EXPECT_FALSE(UnpackReply(body));
    std::string hostile(16, '\0');
    hostile[4] = hostile[5] = hostile[6] = hostile[7] = static_cast<char>(0xFF);
    hostile += std::string("\x78\x9c\x03\x00\x00\x00\x00\x01", 8);
    EXPECT_FALSE(UnpackReply(hostile));
    EXPECT_FALSE(UnpackReply(""));
}

TEST(TalkerRules, ReplyBodyGrowsUpToItsCapAndKeepsAZeroAfterTheData) {
    ReplyBody reply(10);
    EXPECT_TRUE(reply.Empty());
    EXPECT_EQ(reply.Data()[0], '\0');

    char* room = reply.Reserve(6);
    ASSERT_NE(room, nullptr);
    std::memcpy(room, "abc", 3);
    reply.Commit(3);  // fewer bytes arrived than were available
    EXPECT_EQ(reply.View(), "abc");
    EXPECT_EQ(reply.Data()[3], '\0');

    EXPECT_TRUE(reply.Append("defghij"));  // exactly the cap
    EXPECT_EQ(reply.Size(), 10u);
    EXPECT_EQ(reply.Data()[10], '\0');

    // One byte more is refused and the body is left as it was.
    EXPECT_FALSE(reply.Append("k"));
    EXPECT_EQ(reply.Reserve(1), nullptr);
    EXPECT_EQ(reply.View(), "abcdefghij");
    // A size that would wrap around is refused too.
    EXPECT_EQ(reply.Reserve(SIZE_MAX), nullptr);
    EXPECT_EQ(reply.View(), "abcdefghij");

    // Room reserved but never committed is given back by the next reserve.
    ReplyBody other(100);
    ASSERT_NE(other.Reserve(50), nullptr);
    ASSERT_NE(other.Reserve(2), nullptr);
    other.Commit(2);
    EXPECT_EQ(other.Size(), 2u);

    EXPECT_EQ(ReplyBody().Cap(), kReplyMaxBytes);
}

TEST(TalkerRules, ErrorTextComesFromTheStatusThenTheSystemThenWinInetThenAFormat) {
    const ErrorTextSource none = [](uint32_t) { return std::optional<std::string>(); };
    const ErrorTextSource system = [](uint32_t code) {
        return code == 5 ? std::optional<std::string>("Access is denied.\r\n") : std::nullopt;
    };
    const ErrorTextSource wininet = [](uint32_t code) {
        return code == 12029 ? std::optional<std::string>("A connection with the server could not be established\r\n")
                             : std::nullopt;
    };
    std::string text;

    // A received status wins over any error code.
    EXPECT_EQ(ChooseErrorText(404, "Not Found", 5, system, wininet, 260, text), 404u);
    EXPECT_EQ(text, "Not Found");

    EXPECT_EQ(ChooseErrorText(0, "", 5, system, wininet, 260, text), 5u);
    EXPECT_EQ(text, "Access is denied.\r\n");
    EXPECT_EQ(ChooseErrorText(0, "", 12029, system, wininet, 260, text), 12029u);
    EXPECT_EQ(text, "A connection with the server could not be established\r\n");
    EXPECT_EQ(ChooseErrorText(0, "", 12345, system, wininet, 260, text), 12345u);
    EXPECT_EQ(text, "The operation failed, error code 12345");
    EXPECT_EQ(ChooseErrorText(0, "", 7, nullptr, none, 260, text), 7u);
    EXPECT_EQ(text, "The operation failed, error code 7");

    // Cut to the buffer, leaving room for its zero.
    EXPECT_EQ(ChooseErrorText(500, std::string(400, 's'), 0, system, wininet, 260, text), 500u);
    EXPECT_EQ(text.size(), 259u);
    ChooseErrorText(0, "", 12345, none, none, 11, text);
    EXPECT_EQ(text, "The operat");
    EXPECT_EQ(StripLineBreaks("line one\r\nline\rtwo\n"), "line onelinetwo");
}
