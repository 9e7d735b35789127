#include "platform/sax.h"

namespace platform {

std::string FileUrlOf(std::string_view path) {
    std::string url = "file:///";
    url.reserve(url.size() + path.size());
    for (char c : path) {
        // The characters a URL gives a meaning of its own (an escape, the
        // start of a fragment or a query) are escaped, so that a folder such
        // as "Files #2" is read as named.
        if (c == '\\') url += '/';
        else if (c == '%') url += "%25";
        else if (c == '#') url += "%23";
        else if (c == '?') url += "%3F";
        else url += c;
    }
    return url;
}

}  // namespace platform

namespace platform {

namespace {
bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
}  // namespace

std::string WithoutDeclaredEncoding(std::string_view text) {
    if (text.size() < 6 || text.substr(0, 5) != "<?xml" || !IsXmlSpace(text[5])) return std::string(text);
    const size_t end = text.find("?>");
    if (end == std::string_view::npos) return std::string(text);
    const std::string_view decl = text.substr(0, end);
    size_t at = 5;
    while ((at = decl.find("encoding", at)) != std::string_view::npos) {
        // Only the pseudo-attribute itself: white space before it, '=' and a quoted value after.
        if (!IsXmlSpace(decl[at - 1])) {
            at += 8;
            continue;
        }
        size_t p = at + 8;
        while (p < decl.size() && IsXmlSpace(decl[p])) ++p;
        if (p >= decl.size() || decl[p] != '=') break;
        ++p;
        while (p < decl.size() && IsXmlSpace(decl[p])) ++p;
        if (p >= decl.size() || (decl[p] != '"' && decl[p] != '\'')) break;
        const size_t close = decl.find(decl[p], p + 1);
        if (close == std::string_view::npos) break;
        size_t from = at;
        while (from > 5 && IsXmlSpace(decl[from - 1])) --from;
        std::string out(text.substr(0, from));
        out += text.substr(close + 1);
        return out;
    }
    return std::string(text);
}

bool DeclaresDocumentType(std::string_view text) {
    size_t at = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    for (;;) {
        while (at < text.size() && IsXmlSpace(text[at])) ++at;
        const std::string_view rest = text.substr(at);
        std::string_view close;
        if (rest.substr(0, 2) == "<?") close = "?>";
        else if (rest.substr(0, 4) == "<!--") close = "-->";
        else return rest.substr(0, 9) == "<!DOCTYPE";
        const size_t end = rest.find(close, 2);
        if (end == std::string_view::npos) return false;
        at += end + close.size();
    }
}

}  // namespace platform
