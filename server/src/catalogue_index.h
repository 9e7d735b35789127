// Recognising the items an agent sends: the catalogue's products and match
// rules, indexed in memory for one check request. An item is recognised, in
// this order of trust, by the fingerprint an earlier reply gave it, by its
// installer product code, by an MD5 digest (of its program file, its product
// signature or its suite identity), by its executable's file name, and last by
// its display name (exactly, or a known name followed by a version or an
// edition: "7-Zip 23.01 (x64)" is "7-Zip"). Names, file names, digests and
// product codes compare without regard to ASCII case.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "scan_request.h"
#include "service_store.h"

namespace vnservice {

struct Recognition {
    const Product* product = nullptr;
    const char* matchedBy = "";  // "fingerprint", "product code", "digest", "executable", "name"
};

class CatalogueIndex {
public:
    CatalogueIndex(std::vector<Product> products, const std::vector<MatchRule>& rules);

    std::optional<Recognition> Recognise(const RequestItem& item) const;
    const Product* Find(int64_t id) const;
    size_t size() const { return products_.size(); }

private:
    const Product* Lookup(const std::unordered_map<std::string, int64_t>& map, std::string_view key) const;
    const Product* ByName(std::string_view name) const;

    std::unordered_map<int64_t, Product> products_;
    std::unordered_map<std::string, int64_t> names_, executables_, digests_, productCodes_;
    std::vector<std::pair<std::string, int64_t>> prefixes_;  // longest first
};

// The identifier a reply gives a recognised item ("fp-101"); the agent sends
// it back with later requests.
std::string Fingerprint(int64_t productId);
std::optional<int64_t> ParseFingerprint(std::string_view text);

// "{guid}" in upper case, whether or not the text had braces; empty when the
// text is not a GUID.
std::string NormaliseProductCode(std::string_view text);

}  // namespace vnservice
