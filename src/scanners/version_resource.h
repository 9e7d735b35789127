// A portable reader of version resources: the VS_VERSIONINFO block tree
// (32-bit layout: UTF-16 keys, blocks and values aligned to 32 bits) and the
// lookup of the version resource inside a PE image. Both read outside data:
// every length is checked against the bytes that are really there, and a
// damaged block ends its parent's list of children rather than the program.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scanners/version_info.h"

namespace fileid {

class CVersionResource final : public IVersionInfo {
public:
    // Blocks nested deeper than this are not read (a real resource has four levels).
    static constexpr int kMaxDepth = 16;

    // Parses the resource; nothing when the root block's header is not there.
    // The bytes are copied where needed: the result does not refer to them.
    static std::unique_ptr<CVersionResource> Parse(std::string_view bytes);

    std::optional<FixedFileInfo> Fixed() const override;
    std::optional<Translation> FirstTranslation() const override;
    bool HasBlock(std::string_view subBlock) const override;
    std::optional<std::string> FirstChildKey(std::string_view subBlock) const override;
    std::optional<std::string> Text(std::string_view subBlock) const override;

    // The raw value of a block (bytes as stored), or nothing when the block
    // does not exist.
    std::optional<std::string> Value(std::string_view subBlock) const;

    struct Block {
        std::u16string key;
        uint16_t type = 0;   // 1: text, 0: binary
        std::string value;   // the value's bytes as stored
        std::vector<Block> children;
    };
    const Block& Root() const { return root_; }

private:
    // Finds a block by its path of keys, compared without regard to ASCII case
    // as the version API does; empty path parts are skipped.
    const Block* Find(std::string_view subBlock) const;
    Block root_;
};

// The data of the version resource (type RT_VERSION, name 1 or else the first
// name, first language) inside a PE image, as a view into `image`; nothing
// when the image is not a PE file or has no such resource.
std::optional<std::string_view> FindVersionResource(std::string_view image);

}  // namespace fileid
