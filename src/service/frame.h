// The compressed frame that carries a scan document to the update service and
// a reply back: a 16-byte header followed by one complete zlib stream.
//
//   offset 0   4 bytes  adler32 of the uncompressed body, started from 0 (not 1)
//   offset 4   4 bytes  length of the uncompressed body
//   offset 8   8 bytes  zero
//   offset 16  rest     output of zlib's compress()
//
// Every number is big-endian. The agent and the reference service both use
// this code, so the two ends cannot drift apart.
//
// A frame comes from the network, so Unpack bounds the length it states
// before allocating anything: a broken or hostile peer must not be able to
// make the reader reserve gigabytes with a 20-byte message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vnxml {

inline constexpr size_t kFrameHeaderSize = 16;
// The largest body a frame may carry. Scan documents with icons run to a few
// megabytes; anything near this size is a broken frame.
inline constexpr uint32_t kFrameMaxBody = 64u * 1024u * 1024u;
// Deflate cannot expand data by more than about 1032:1 (a 258-byte match in
// two bits), so a stated length above that multiple of the stream size is a lie.
inline constexpr uint32_t kFrameMaxRatio = 1032;

// adler32 of the body with the sums started from 0, as the frame carries it.
uint32_t FrameChecksum(std::string_view body);

// The frame of a body, or nothing when it cannot be built (the body is larger
// than a frame may carry, or zlib failed); the caller then sends the body as
// it is, uncompressed.
std::optional<std::string> PackFrame(std::string_view body);

enum class FrameError {
    None,
    TooShort,           // fewer bytes than the header
    ImplausibleLength,  // stated length above kFrameMaxBody or kFrameMaxRatio times the stream
    BadStream,          // zlib could not inflate the stream into the stated length
    LengthMismatch,     // the stream inflated to fewer bytes than the header states
    ChecksumMismatch,   // the body does not have the checksum of the header
};

// A short English text for the error ("frame checksum does not match", ...).
const char* FrameErrorText(FrameError error);

struct UnpackedFrame {
    FrameError error = FrameError::None;
    std::string body;  // the uncompressed body when error is None, else empty
    bool ok() const { return error == FrameError::None; }
};

// The body of a frame, or the reason it cannot be read. Never allocates more
// than the bounded stated length. The checksum is verified unless
// verifyChecksum is false (for a peer whose checksums cannot be relied on);
// the stated length is always checked against the inflated body.
UnpackedFrame UnpackFrame(std::string_view frame, bool verifyChecksum = true);

}  // namespace vnxml
