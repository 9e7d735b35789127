#include "service/frame.h"

#include <zlib.h>

namespace vnxml {
namespace {

void PutBigEndian(std::string& out, size_t at, uint32_t value) {
    out[at + 0] = static_cast<char>((value >> 24) & 0xFF);
    out[at + 1] = static_cast<char>((value >> 16) & 0xFF);
    out[at + 2] = static_cast<char>((value >> 8) & 0xFF);
    out[at + 3] = static_cast<char>(value & 0xFF);
}

uint32_t GetBigEndian(std::string_view in, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(in[at + i])); };
    return (byte(0) << 24) | (byte(1) << 16) | (byte(2) << 8) | byte(3);
}

const Bytef* Bytes(std::string_view s) {
    // zlib treats a null buffer as "give me the initial value" in adler32, so an
    // empty body must still be passed as a real (empty) buffer.
    static const Bytef kEmpty = 0;
    return s.empty() ? &kEmpty : reinterpret_cast<const Bytef*>(s.data());
}

}  // namespace

uint32_t FrameChecksum(std::string_view body) {
    uLong sum = 0;
    const Bytef* p = Bytes(body);
    size_t left = body.size();
    // adler32 takes 32-bit lengths; larger bodies are summed in pieces.
    do {
        const uInt chunk = static_cast<uInt>(left > 0x40000000u ? 0x40000000u : left);
        sum = adler32(sum, p, chunk);
        p += chunk;
        left -= chunk;
    } while (left > 0);
    return static_cast<uint32_t>(sum);
}

std::optional<std::string> PackFrame(std::string_view body) {
    if (body.size() > kFrameMaxBody) return std::nullopt;
    const uLong sourceLen = static_cast<uLong>(body.size());
    uLongf destLen = compressBound(sourceLen);
    std::string frame(kFrameHeaderSize + destLen, '\0');
    if (compress(reinterpret_cast<Bytef*>(&frame[kFrameHeaderSize]), &destLen, Bytes(body), sourceLen) != Z_OK)
        return std::nullopt;
    frame.resize(kFrameHeaderSize + destLen);
    PutBigEndian(frame, 0, FrameChecksum(body));
    PutBigEndian(frame, 4, static_cast<uint32_t>(body.size()));
    // Bytes 8-15 stay zero.
    return frame;
}

const char* FrameErrorText(FrameError error) {
    switch (error) {
        case FrameError::None: return "no error";
        case FrameError::TooShort: return "frame shorter than its 16-byte header";
        case FrameError::ImplausibleLength: return "frame states an implausible uncompressed length";
        case FrameError::BadStream: return "frame holds no valid zlib stream of the stated length";
        case FrameError::LengthMismatch: return "frame body is shorter than the stated length";
        case FrameError::ChecksumMismatch: return "frame checksum does not match its body";
    }
    return "unknown frame error";
}

UnpackedFrame UnpackFrame(std::string_view frame, bool verifyChecksum) {
    UnpackedFrame result;
    if (frame.size() < kFrameHeaderSize) {
        result.error = FrameError::TooShort;
        return result;
    }
    const uint32_t checksum = GetBigEndian(frame, 0);
    const uint32_t stated = GetBigEndian(frame, 4);
    const std::string_view stream = frame.substr(kFrameHeaderSize);
    // Bound the allocation before making it.
    // A stream larger than any body a frame may carry is not a frame either
    // (and would not fit zlib's 32-bit lengths on Windows).
    if (stated > kFrameMaxBody || stream.size() > 2ull * kFrameMaxBody ||
        static_cast<uint64_t>(stated) > static_cast<uint64_t>(stream.size()) * kFrameMaxRatio) {
        result.error = FrameError::ImplausibleLength;
        return result;
    }
    std::string body(stated, '\0');
    // A spare byte lets an empty body have a real buffer, and lets a stream that
    // holds more than the stated length be told apart from one that fits.
    body.push_back('\0');
    uLongf destLen = static_cast<uLongf>(body.size());
    const int rc = uncompress(reinterpret_cast<Bytef*>(&body[0]), &destLen, Bytes(stream),
                              static_cast<uLong>(stream.size()));
    if (rc != Z_OK) {
        result.error = FrameError::BadStream;
        return result;
    }
    if (destLen != stated) {
        result.error = destLen < stated ? FrameError::LengthMismatch : FrameError::BadStream;
        return result;
    }
    body.resize(stated);
    if (verifyChecksum && FrameChecksum(body) != checksum) {
        result.error = FrameError::ChecksumMismatch;
        return result;
    }
    result.body = std::move(body);
    return result;
}

}  // namespace vnxml
