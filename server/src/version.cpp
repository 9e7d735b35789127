#include "version.h"

namespace vnservice {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Components with trailing zeros removed, so that equal versions compare equal.
std::vector<std::string> Significant(std::vector<std::string> parts) {
    while (parts.size() > 1 && parts.back() == "0") parts.pop_back();
    return parts;
}

int CompareNumbers(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace

std::optional<std::vector<std::string>> ParseVersion(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && !IsDigit(text[i])) ++i;
    if (i == text.size()) return std::nullopt;
    std::vector<std::string> parts;
    for (;;) {
        size_t start = i;
        while (i < text.size() && IsDigit(text[i])) ++i;
        std::string number(text.substr(start, i - start));
        const size_t first = number.find_first_not_of('0');
        parts.push_back(first == std::string::npos ? "0" : number.substr(first));
        // Continue only over a separator that is followed by another number.
        size_t next = i;
        if (next < text.size() && (text[next] == '.' || text[next] == ',')) {
            const bool comma = text[next] == ',';
            ++next;
            while (comma && next < text.size() && text[next] == ' ') ++next;
            if (next < text.size() && IsDigit(text[next])) {
                i = next;
                continue;
            }
        }
        break;
    }
    return parts;
}

std::optional<int> CompareVersions(std::string_view a, std::string_view b) {
    auto pa = ParseVersion(a);
    auto pb = ParseVersion(b);
    if (!pa || !pb) return std::nullopt;
    const std::vector<std::string> x = Significant(std::move(*pa));
    const std::vector<std::string> y = Significant(std::move(*pb));
    for (size_t i = 0; i < x.size() || i < y.size(); ++i) {
        const std::string& u = i < x.size() ? x[i] : std::string("0");
        const std::string& v = i < y.size() ? y[i] : std::string("0");
        if (const int c = CompareNumbers(u, v)) return c;
    }
    return 0;
}

std::string CanonicalVersion(std::string_view text) {
    auto parts = ParseVersion(text);
    if (!parts) return {};
    std::string out;
    for (const std::string& p : Significant(std::move(*parts))) {
        if (!out.empty()) out += '.';
        out += p;
    }
    return out;
}

}  // namespace vnservice
