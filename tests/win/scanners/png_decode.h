// A small PNG reader for the icon tests, independent of GDI+: it checks the
// signature and every chunk's CRC, inflates the image data with zlib and
// undoes the row filters. Only 8-bit RGB and RGBA images without interlacing,
// the forms an encoder writes for a 32-bit bitmap, are decoded.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

struct DecodedPng {
    bool ok = false;
    std::string error;
    uint32_t width = 0;
    uint32_t height = 0;
    int colorType = 0;
    std::vector<uint8_t> rgba;  // 4 bytes per pixel, rows top-down

    uint32_t Pixel(uint32_t x, uint32_t y) const {  // 0xRRGGBBAA
        const uint8_t* p = &rgba[(size_t{y} * width + x) * 4];
        return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
    }
};

inline std::string DecodeBase64(const std::string& text) {
    auto value = [](char c) -> int {
        if (c >= 'A' && c <= 'Z') return c - 'A';
        if (c >= 'a' && c <= 'z') return c - 'a' + 26;
        if (c >= '0' && c <= '9') return c - '0' + 52;
        if (c == '+') return 62;
        if (c == '/') return 63;
        return -1;
    };
    std::string out;
    uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        if (c == '=') break;
        const int v = value(c);
        if (v < 0) return std::string();  // also rejects line breaks
        bits = bits << 6 | static_cast<uint32_t>(v);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return out;
}

inline DecodedPng DecodePng(const std::string& png) {
    DecodedPng img;
    auto fail = [&img](const std::string& why) {
        img.error = why;
        return img;
    };
    auto be32 = [&png](size_t at) {
        return uint32_t{static_cast<uint8_t>(png[at])} << 24 | uint32_t{static_cast<uint8_t>(png[at + 1])} << 16 |
               uint32_t{static_cast<uint8_t>(png[at + 2])} << 8 | static_cast<uint8_t>(png[at + 3]);
    };
    if (png.size() < 8 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return fail("no PNG signature");
    std::string idat;
    int bitDepth = 0, interlace = 0;
    bool sawEnd = false;
    for (size_t at = 8; at < png.size() && !sawEnd;) {
        if (png.size() - at < 12) return fail("truncated chunk");
        const uint32_t length = be32(at);
        if (png.size() - at - 12 < length) return fail("chunk runs past the end");
        const std::string type = png.substr(at + 4, 4);
        const uint32_t crc = static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(png.data() + at + 4), static_cast<uInt>(length + 4)));
        if (crc != be32(at + 8 + length)) return fail("bad CRC in " + type);
        const std::string data = png.substr(at + 8, length);
        if (type == "IHDR") {
            if (at != 8 || length != 13) return fail("IHDR not first or wrong size");
            img.width = be32(at + 8);
            img.height = be32(at + 12);
            bitDepth = static_cast<uint8_t>(data[8]);
            img.colorType = static_cast<uint8_t>(data[9]);
            interlace = static_cast<uint8_t>(data[12]);
        } else if (type == "IDAT") {
            idat += data;
        } else if (type == "IEND") {
            sawEnd = true;
        }
        at += 12 + length;
    }
    if (!sawEnd) return fail("no IEND");
    if (img.width == 0 || img.height == 0 || img.width > 4096 || img.height > 4096) return fail("bad size");
    if (bitDepth != 8 || interlace != 0 || (img.colorType != 2 && img.colorType != 6))
        return fail("unsupported form: colour type " + std::to_string(img.colorType));

    const size_t channels = img.colorType == 6 ? 4 : 3;
    const size_t stride = img.width * channels;
    std::vector<uint8_t> raw((stride + 1) * img.height);
    uLongf rawSize = static_cast<uLongf>(raw.size());
    if (uncompress(raw.data(), &rawSize, reinterpret_cast<const Bytef*>(idat.data()), static_cast<uLong>(idat.size())) !=
            Z_OK ||
        rawSize != raw.size())
        return fail("image data does not inflate to the image size");

    std::vector<uint8_t> prev(stride, 0), cur(stride);
    img.rgba.resize(size_t{img.width} * img.height * 4);
    for (uint32_t y = 0; y < img.height; ++y) {
        const uint8_t filter = raw[y * (stride + 1)];
        const uint8_t* in = &raw[y * (stride + 1) + 1];
        for (size_t i = 0; i < stride; ++i) {
            const int a = i >= channels ? cur[i - channels] : 0;
            const int b = prev[i];
            const int c = i >= channels ? prev[i - channels] : 0;
            int predicted = 0;
            switch (filter) {
            case 0: predicted = 0; break;
            case 1: predicted = a; break;
            case 2: predicted = b; break;
            case 3: predicted = (a + b) / 2; break;
            case 4: {
                const int p = a + b - c;
                const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
                predicted = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
                break;
            }
            default: return fail("bad filter type");
            }
            cur[i] = static_cast<uint8_t>(in[i] + predicted);
        }
        for (uint32_t x = 0; x < img.width; ++x) {
            uint8_t* out = &img.rgba[(size_t{y} * img.width + x) * 4];
            out[0] = cur[x * channels];
            out[1] = cur[x * channels + 1];
            out[2] = cur[x * channels + 2];
            out[3] = channels == 4 ? cur[x * channels + 3] : 255;
        }
        prev.swap(cur);
    }
    img.ok = true;
    return img;
}
