#include "scanners/version_resource.h"

#include <algorithm>
#include <cstring>

#include "platform/codepage.h"

namespace fileid {

namespace {

uint16_t Rd16(std::string_view b, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}

uint32_t Rd32(std::string_view b, size_t at) {
    return static_cast<uint32_t>(Rd16(b, at)) | static_cast<uint32_t>(Rd16(b, at + 2)) << 16;
}

size_t Align4(size_t n) { return (n + 3) & ~size_t{3}; }

// Reads the block whose header starts at `pos` and that must end by `end`
// (its parent's end). Returns the block's declared length, or 0 when no block
// is there (too little room, or a length too small for a header), which ends
// the parent's list of children. Offsets are aligned relative to the block's
// start, as the version API aligns them.
size_t ParseBlock(std::string_view bytes, size_t pos, size_t end, int depth, CVersionResource::Block& out) {
    if (end <= pos || end - pos < 6) return 0;
    const size_t length = Rd16(bytes, pos);
    if (length < 6) return 0;
    const size_t blockEnd = std::min(end, pos + length);
    const size_t valueLength = Rd16(bytes, pos + 2);
    out.type = Rd16(bytes, pos + 4);

    size_t at = pos + 6;
    while (blockEnd - at >= 2) {
        const char16_t c = Rd16(bytes, at);
        at += 2;
        if (c == 0) break;
        out.key += c;
    }

    // A text value counts UTF-16 units, a binary one bytes.
    const size_t valueBytes = out.type != 0 ? valueLength * 2 : valueLength;
    const size_t valueStart = pos + Align4(at - pos);
    if (valueStart < blockEnd) {
        const size_t take = std::min(valueBytes, blockEnd - valueStart);
        out.value.assign(bytes.data() + valueStart, take);
    }

    if (depth < CVersionResource::kMaxDepth) {
        size_t child = pos + Align4(valueStart - pos + valueBytes);
        while (child < blockEnd) {
            CVersionResource::Block block;
            const size_t n = ParseBlock(bytes, child, blockEnd, depth + 1, block);
            if (n == 0) break;
            out.children.push_back(std::move(block));
            child += Align4(n);
        }
    }
    return length;
}

char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool KeyEquals(const std::u16string& key, const std::u16string& part) {
    if (key.size() != part.size()) return false;
    for (size_t i = 0; i < key.size(); ++i) {
        if (FoldAscii(key[i]) != FoldAscii(part[i])) return false;
    }
    return true;
}

std::string Utf16ValueText(const std::string& value) {
    std::u16string wide;
    for (size_t i = 0; i + 1 < value.size(); i += 2) {
        const char16_t c = Rd16(value, i);
        if (c == 0) break;
        wide += c;
    }
    return platform::Utf16ToAnsi(wide);
}

}  // namespace

std::unique_ptr<CVersionResource> CVersionResource::Parse(std::string_view bytes) {
    auto resource = std::make_unique<CVersionResource>();
    if (ParseBlock(bytes, 0, bytes.size(), 0, resource->root_) == 0) return nullptr;
    return resource;
}

const CVersionResource::Block* CVersionResource::Find(std::string_view subBlock) const {
    const Block* block = &root_;
    size_t at = 0;
    while (at < subBlock.size()) {
        if (subBlock[at] == '\\') {
            ++at;
            continue;
        }
        size_t next = subBlock.find('\\', at);
        if (next == std::string_view::npos) next = subBlock.size();
        const std::u16string part = platform::AnsiToUtf16(subBlock.substr(at, next - at));
        const Block* found = nullptr;
        for (const Block& child : block->children) {
            if (KeyEquals(child.key, part)) {
                found = &child;
                break;
            }
        }
        if (!found) return nullptr;
        block = found;
        at = next;
    }
    return block;
}

std::optional<std::string> CVersionResource::Value(std::string_view subBlock) const {
    const Block* block = Find(subBlock);
    if (!block) return std::nullopt;
    return block->value;
}

std::optional<FixedFileInfo> CVersionResource::Fixed() const {
    // VS_FIXEDFILEINFO is 13 double words; the version numbers follow the
    // signature and the structure version.
    if (root_.value.size() < 52) return std::nullopt;
    FixedFileInfo fixed;
    fixed.fileVersionMS = Rd32(root_.value, 8);
    fixed.fileVersionLS = Rd32(root_.value, 12);
    fixed.productVersionMS = Rd32(root_.value, 16);
    fixed.productVersionLS = Rd32(root_.value, 20);
    return fixed;
}

std::optional<Translation> CVersionResource::FirstTranslation() const {
    const Block* block = Find("\\VarFileInfo\\Translation");
    if (!block || block->value.size() < 4) return std::nullopt;
    return Translation{Rd16(block->value, 0), Rd16(block->value, 2)};
}

bool CVersionResource::HasBlock(std::string_view subBlock) const { return Find(subBlock) != nullptr; }

std::optional<std::string> CVersionResource::FirstChildKey(std::string_view subBlock) const {
    const Block* block = Find(subBlock);
    if (!block || block->children.empty()) return std::nullopt;
    return platform::Utf16ToAnsi(block->children.front().key);
}

std::optional<std::string> CVersionResource::Text(std::string_view subBlock) const {
    const Block* block = Find(subBlock);
    if (!block) return std::nullopt;
    return Utf16ValueText(block->value);
}

// ---------------------------------------------------------------- PE images

namespace {

constexpr uint32_t kResourceTypeVersion = 16;  // RT_VERSION
constexpr uint32_t kVersionResourceName = 1;   // VS_VERSION_INFO
constexpr uint32_t kHighBit = 0x80000000u;

struct Section {
    uint32_t virtualAddress;
    uint32_t rawSize;
    uint32_t rawOffset;
};

class PeImage {
public:
    explicit PeImage(std::string_view image) : image_(image) {}

    bool Open() {
        if (image_.size() < 0x40 || image_[0] != 'M' || image_[1] != 'Z') return false;
        const size_t pe = Rd32(image_, 0x3C);
        if (pe > image_.size() || image_.size() - pe < 24) return false;
        if (std::memcmp(image_.data() + pe, "PE\0\0", 4) != 0) return false;
        const size_t coff = pe + 4;
        const size_t sectionCount = Rd16(image_, coff + 2);
        const size_t optionalSize = Rd16(image_, coff + 16);
        const size_t optional = coff + 20;
        if (image_.size() - optional < optionalSize || optionalSize < 2) return false;

        // The data directories follow the fields that differ between PE32 and PE32+.
        size_t countAt, directories;
        switch (Rd16(image_, optional)) {
        case 0x10b: countAt = 92; directories = 96; break;
        case 0x20b: countAt = 108; directories = 112; break;
        default: return false;
        }
        constexpr size_t kResourceDirectory = 2;
        if (optionalSize < directories + (kResourceDirectory + 1) * 8) return false;
        if (Rd32(image_, optional + countAt) <= kResourceDirectory) return false;
        resourceRva_ = Rd32(image_, optional + directories + kResourceDirectory * 8);
        if (resourceRva_ == 0) return false;

        const size_t table = optional + optionalSize;
        if ((image_.size() - table) / 40 < sectionCount) return false;
        for (size_t i = 0; i < sectionCount; ++i) {
            const size_t s = table + i * 40;
            sections_.push_back(Section{Rd32(image_, s + 12), Rd32(image_, s + 16), Rd32(image_, s + 20)});
        }
        return true;
    }

    // The file bytes of [rva, rva + size), when they lie inside one section's raw data.
    std::optional<std::string_view> At(uint32_t rva, uint32_t size) const {
        for (const Section& s : sections_) {
            if (rva < s.virtualAddress) continue;
            const uint64_t inSection = uint64_t{rva} - s.virtualAddress;
            if (inSection + size > s.rawSize) continue;
            const uint64_t offset = uint64_t{s.rawOffset} + inSection;
            if (offset + size > image_.size()) return std::nullopt;
            return image_.substr(static_cast<size_t>(offset), size);
        }
        return std::nullopt;
    }

    // The resource section from the resource directory's start to the end of
    // its section's raw data: directory offsets are relative to its start.
    std::optional<std::string_view> Resources() const {
        for (const Section& s : sections_) {
            if (resourceRva_ < s.virtualAddress) continue;
            const uint64_t inSection = uint64_t{resourceRva_} - s.virtualAddress;
            if (inSection >= s.rawSize) continue;
            const uint64_t offset = uint64_t{s.rawOffset} + inSection;
            if (offset >= image_.size()) return std::nullopt;
            const uint64_t size = std::min<uint64_t>(s.rawSize - inSection, image_.size() - offset);
            return image_.substr(static_cast<size_t>(offset), static_cast<size_t>(size));
        }
        return std::nullopt;
    }

private:
    std::string_view image_;
    std::vector<Section> sections_;
    uint32_t resourceRva_ = 0;
};

// The offset field of a resource directory entry: the one with the numeric
// name `id`, or, when there is none and `firstOtherwise`, the first entry.
std::optional<uint32_t> DirectoryEntry(std::string_view rsrc, size_t directory, std::optional<uint32_t> id,
                                       bool firstOtherwise) {
    if (directory > rsrc.size() || rsrc.size() - directory < 16) return std::nullopt;
    const size_t count = size_t{Rd16(rsrc, directory + 12)} + Rd16(rsrc, directory + 14);
    const size_t entries = directory + 16;
    const size_t available = std::min(count, (rsrc.size() - entries) / 8);
    if (id) {
        for (size_t i = 0; i < available; ++i) {
            const uint32_t name = Rd32(rsrc, entries + i * 8);
            if ((name & kHighBit) == 0 && name == *id) return Rd32(rsrc, entries + i * 8 + 4);
        }
    }
    if (firstOtherwise && available > 0) return Rd32(rsrc, entries + 4);
    return std::nullopt;
}

}  // namespace

std::optional<std::string_view> FindVersionResource(std::string_view image) {
    PeImage pe(image);
    if (!pe.Open()) return std::nullopt;
    const std::optional<std::string_view> rsrc = pe.Resources();
    if (!rsrc) return std::nullopt;

    // Three levels: type, name, language; the first two lead to directories,
    // the last to a data entry.
    const std::optional<uint32_t> byType = DirectoryEntry(*rsrc, 0, kResourceTypeVersion, false);
    if (!byType || (*byType & kHighBit) == 0) return std::nullopt;
    const std::optional<uint32_t> byName = DirectoryEntry(*rsrc, *byType & ~kHighBit, kVersionResourceName, true);
    if (!byName || (*byName & kHighBit) == 0) return std::nullopt;
    const std::optional<uint32_t> byLanguage = DirectoryEntry(*rsrc, *byName & ~kHighBit, std::nullopt, true);
    if (!byLanguage || (*byLanguage & kHighBit) != 0) return std::nullopt;

    const size_t entry = *byLanguage;
    if (entry > rsrc->size() || rsrc->size() - entry < 8) return std::nullopt;
    return pe.At(Rd32(*rsrc, entry), Rd32(*rsrc, entry + 4));
}

}  // namespace fileid
