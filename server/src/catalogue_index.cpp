#include "catalogue_index.h"

#include <algorithm>
#include <cctype>

#include "platform/text.h"

namespace vnservice {
namespace {

bool IsAsciiAlnum(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 && static_cast<unsigned char>(c) < 0x80; }

}  // namespace

std::string Fingerprint(int64_t productId) { return "fp-" + std::to_string(productId); }

std::optional<int64_t> ParseFingerprint(std::string_view text) {
    if (text.size() < 4 || text.size() > 21 || text.substr(0, 3) != "fp-") return std::nullopt;
    int64_t id = 0;
    for (char c : text.substr(3)) {
        if (c < '0' || c > '9') return std::nullopt;
        id = id * 10 + (c - '0');
    }
    return id;
}

std::string NormaliseProductCode(std::string_view text) {
    std::string_view t = text;
    if (t.size() == 38 && t.front() == '{' && t.back() == '}') t = t.substr(1, 36);
    if (t.size() != 36) return {};
    std::string out = "{";
    for (size_t i = 0; i < t.size(); ++i) {
        const char c = t[i];
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? c != '-' : !std::isxdigit(static_cast<unsigned char>(c))) return {};
        out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out + "}";
}

CatalogueIndex::CatalogueIndex(std::vector<Product> products, const std::vector<MatchRule>& rules) {
    for (Product& p : products) {
        const int64_t id = p.id;
        // A product is always known by its own name.
        names_.emplace(textutil::ToLowerAscii(p.name), id);
        products_.emplace(id, std::move(p));
    }
    for (const MatchRule& r : rules) {
        if (!products_.count(r.productId) || r.value.empty()) continue;
        switch (r.kind) {
            case MatchKind::Name: names_[textutil::ToLowerAscii(r.value)] = r.productId; break;
            case MatchKind::NamePrefix: prefixes_.emplace_back(textutil::ToLowerAscii(r.value), r.productId); break;
            case MatchKind::Executable: executables_[textutil::ToLowerAscii(r.value)] = r.productId; break;
            case MatchKind::Digest: digests_[textutil::ToLowerAscii(r.value)] = r.productId; break;
            case MatchKind::ProductCode: {
                const std::string code = NormaliseProductCode(r.value);
                if (!code.empty()) productCodes_[code] = r.productId;
                break;
            }
        }
    }
    std::stable_sort(prefixes_.begin(), prefixes_.end(),
                     [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
}

const Product* CatalogueIndex::Find(int64_t id) const {
    const auto it = products_.find(id);
    return it == products_.end() ? nullptr : &it->second;
}

const Product* CatalogueIndex::Lookup(const std::unordered_map<std::string, int64_t>& map,
                                      std::string_view key) const {
    if (key.empty()) return nullptr;
    const auto it = map.find(std::string(key));
    return it == map.end() ? nullptr : Find(it->second);
}

const Product* CatalogueIndex::ByName(std::string_view name) const {
    const std::string folded = textutil::ToLowerAscii(textutil::Trim(name));
    if (folded.empty()) return nullptr;
    if (const Product* p = Lookup(names_, folded)) return p;
    // A known name followed by a version, an edition or a bracket, never by
    // more letters of a longer word ("Git" must not take "GitHub Desktop").
    for (const auto& [prefix, id] : prefixes_) {
        if (folded.size() < prefix.size() || folded.compare(0, prefix.size(), prefix) != 0) continue;
        if (folded.size() == prefix.size() || !IsAsciiAlnum(folded[prefix.size()])) return Find(id);
    }
    return nullptr;
}

std::optional<Recognition> CatalogueIndex::Recognise(const RequestItem& item) const {
    if (item.IsDriver()) return std::nullopt;  // drivers are not in the catalogue
    const auto found = [](const Product* p, const char* how) { return Recognition{p, how}; };

    if (const auto id = ParseFingerprint(item.Field("ID[fingerPrint]")))
        if (const Product* p = Find(*id)) return found(p, "fingerprint");

    const std::string code = NormaliseProductCode(item.Field("GUID[product]"));
    if (const Product* p = Lookup(productCodes_, code)) return found(p, "product code");

    for (const char* field : {"Md5Id[exe]", "Md5Id", "Md5Id[guid]"})
        if (const Product* p = Lookup(digests_, textutil::ToLowerAscii(item.Field(field))))
            return found(p, "digest");

    for (const std::string& exe : {item.Field("ExecutableName"), item.Field("ProcessIdentity/BaseName"),
                                   textutil::FileNameOf(item.Field("TargetName"))})
        if (const Product* p = Lookup(executables_, textutil::ToLowerAscii(textutil::Trim(exe))))
            return found(p, "executable");

    for (const char* field : {"ProgName", "SuiteIdentity/InstalledProductName", "SuiteIdentity/ProductName"})
        if (const Product* p = ByName(item.Field(field))) return found(p, "name");
    return std::nullopt;
}

}  // namespace vnservice
