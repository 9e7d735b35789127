// Builds version resources (VS_VERSIONINFO, 32-bit layout) and minimal PE
// images holding them, so that the tests can describe a resource as data and
// get the bytes a resource compiler would write.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testdata {

struct VersionBlock {
    std::u16string key;
    uint16_t type = 0;               // 1: text, 0: binary
    std::string value;               // stored bytes
    int declaredValueLength = -1;    // wValueLength; -1: computed from the value
    int declaredLength = -1;         // wLength; -1: computed
    std::vector<VersionBlock> children;
};

inline void Put16(std::string& out, size_t at, uint16_t v) {
    out[at] = static_cast<char>(v & 0xFF);
    out[at + 1] = static_cast<char>(v >> 8);
}

inline void Append16(std::string& out, uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

inline void Append32(std::string& out, uint32_t v) {
    Append16(out, static_cast<uint16_t>(v & 0xFFFF));
    Append16(out, static_cast<uint16_t>(v >> 16));
}

inline void Pad4(std::string& out) {
    while (out.size() % 4) out += '\0';
}

inline std::string EncodeBlock(const VersionBlock& block) {
    std::string out(6, '\0');
    for (char16_t c : block.key) Append16(out, c);
    Append16(out, 0);
    Pad4(out);
    out += block.value;
    for (size_t i = 0; i < block.children.size(); ++i) {
        Pad4(out);
        out += EncodeBlock(block.children[i]);
    }
    const size_t valueLength = block.type != 0 ? block.value.size() / 2 : block.value.size();
    Put16(out, 0, static_cast<uint16_t>(block.declaredLength >= 0 ? block.declaredLength : out.size()));
    Put16(out, 2, static_cast<uint16_t>(block.declaredValueLength >= 0 ? block.declaredValueLength : valueLength));
    Put16(out, 4, block.type);
    return out;
}

inline std::u16string U16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// A String block: the text (UTF-16 units given as the string's characters) with its terminator.
inline VersionBlock StringValue(const std::string& key, const std::u16string& text) {
    VersionBlock b;
    b.key = U16(key);
    b.type = 1;
    for (char16_t c : text) Append16(b.value, c);
    Append16(b.value, 0);
    return b;
}

inline VersionBlock Table(const std::string& name, std::vector<VersionBlock> strings) {
    VersionBlock b;
    b.key = U16(name);
    b.type = 1;
    b.children = std::move(strings);
    return b;
}

inline VersionBlock StringFileInfo(std::vector<VersionBlock> tables) {
    VersionBlock b;
    b.key = u"StringFileInfo";
    b.type = 1;
    b.children = std::move(tables);
    return b;
}

// VarFileInfo with a Translation value of (language, code page) pairs.
inline VersionBlock VarFileInfo(const std::vector<std::pair<uint16_t, uint16_t>>& pairs) {
    VersionBlock translation;
    translation.key = u"Translation";
    for (const auto& p : pairs) {
        Append16(translation.value, p.first);
        Append16(translation.value, p.second);
    }
    VersionBlock b;
    b.key = u"VarFileInfo";
    b.type = 1;
    b.children.push_back(translation);
    return b;
}

inline std::string FixedInfo(uint32_t fileMS, uint32_t fileLS, uint32_t productMS, uint32_t productLS) {
    std::string v;
    Append32(v, 0xFEEF04BDu);
    Append32(v, 0x00010000u);
    Append32(v, fileMS);
    Append32(v, fileLS);
    Append32(v, productMS);
    Append32(v, productLS);
    for (int i = 0; i < 7; ++i) Append32(v, 0);
    return v;
}

inline VersionBlock Root(std::string fixed, std::vector<VersionBlock> children) {
    VersionBlock b;
    b.key = u"VS_VERSION_INFO";
    b.value = std::move(fixed);
    b.children = std::move(children);
    return b;
}

inline uint32_t Version(uint16_t high, uint16_t low) { return uint32_t{high} << 16 | low; }

// A minimal PE image whose resource section holds one resource of type
// `type`, name `name`, language 0x409 with the given data. `pe32Plus` chooses
// the 64-bit optional header.
inline std::string PeImage(const std::string& data, uint16_t type = 16, uint16_t name = 1, bool pe32Plus = true) {
    constexpr uint32_t kSectionRva = 0x1000, kSectionOffset = 0x200;
    // Resource section: three directories of one entry each, a data entry, the data.
    std::string rsrc;
    auto directory = [&rsrc](uint32_t id, uint32_t target) {
        for (int i = 0; i < 3; ++i) Append32(rsrc, 0);  // characteristics, time stamp, versions
        Append16(rsrc, 0);                              // named entries
        Append16(rsrc, 1);                              // id entries
        Append32(rsrc, id);
        Append32(rsrc, target);
    };
    directory(type, 0x80000000u | 0x18);
    directory(name, 0x80000000u | 0x30);
    directory(0x409, 0x48);
    Append32(rsrc, kSectionRva + 0x58);
    Append32(rsrc, static_cast<uint32_t>(data.size()));
    Append32(rsrc, 0);
    Append32(rsrc, 0);
    rsrc.resize(0x58, '\0');
    rsrc += data;
    Pad4(rsrc);

    std::string image(0x40, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    image[0x3C] = 0x40;
    image += std::string("PE\0\0", 4);
    const uint16_t optionalSize = pe32Plus ? 240 : 224;
    Append16(image, pe32Plus ? 0x8664 : 0x14c);  // machine
    Append16(image, 1);                            // sections
    Append32(image, 0);
    Append32(image, 0);
    Append32(image, 0);
    Append16(image, optionalSize);
    Append16(image, 0x22);
    std::string optional(optionalSize, '\0');
    Put16(optional, 0, pe32Plus ? 0x20b : 0x10b);
    const size_t countAt = pe32Plus ? 108 : 92, directories = pe32Plus ? 112 : 96;
    Put16(optional, countAt, 16);
    Put16(optional, directories + 16, static_cast<uint16_t>(kSectionRva & 0xFFFF));
    Put16(optional, directories + 18, static_cast<uint16_t>(kSectionRva >> 16));
    Put16(optional, directories + 20, static_cast<uint16_t>(rsrc.size()));
    image += optional;
    // Section header.
    image += std::string(".rsrc\0\0\0", 8);
    Append32(image, static_cast<uint32_t>(rsrc.size()));  // virtual size
    Append32(image, kSectionRva);
    Append32(image, static_cast<uint32_t>(rsrc.size()));  // raw size
    Append32(image, kSectionOffset);
    for (int i = 0; i < 4; ++i) Append32(image, 0);
    image.resize(kSectionOffset, '\0');
    image += rsrc;
    return image;
}

}  // namespace testdata
