#include "xml_writer.h"

namespace vnservice {
namespace {

// The code point at s[i] and its length in bytes; 0xFFFD with length 1 for a
// malformed sequence, so that decoding always moves forward.
std::pair<unsigned, size_t> DecodeUtf8(std::string_view s, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned b0 = byte(i);
    size_t len = 0;
    unsigned cp = 0, min = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) { len = 2; cp = b0 & 0x1F; min = 0x80; }
    else if (b0 >= 0xE0 && b0 <= 0xEF) { len = 3; cp = b0 & 0x0F; min = 0x800; }
    else if (b0 >= 0xF0 && b0 <= 0xF4) { len = 4; cp = b0 & 0x07; min = 0x10000; }
    else return {0xFFFD, 1};
    if (i + len > s.size()) return {0xFFFD, 1};
    for (size_t k = 1; k < len; ++k) {
        const unsigned b = byte(i + k);
        if ((b & 0xC0) != 0x80) return {0xFFFD, 1};
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return {0xFFFD, 1};
    return {cp, len};
}

}  // namespace

std::string EscapeXml(std::string_view utf8, bool attribute) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            ++i;
            switch (c) {
                case '&': out += "&amp;"; break;
                case '<': out += "&lt;"; break;
                case '>': out += "&gt;"; break;
                case '"': out += "&quot;"; break;
                case '\'': out += attribute ? "&apos;" : "'"; break;
                case '\t': case '\n': case '\r':
                    // Attribute values would have these normalised to blanks.
                    if (attribute) out += "&#" + std::to_string(c) + ";";
                    else out += static_cast<char>(c);
                    break;
                default:
                    if (c >= 0x20) out += static_cast<char>(c);
                    break;  // other control characters cannot appear in XML 1.0
            }
            continue;
        }
        const auto [cp, len] = DecodeUtf8(utf8, i);
        i += len;
        if (cp == 0xFFFE || cp == 0xFFFF) continue;
        out += "&#" + std::to_string(cp) + ";";
    }
    return out;
}

XmlWriter::XmlWriter() : out_("<?xml version=\"1.0\"?>\n") {}

void XmlWriter::StartTag(std::string_view name, const XmlAttributes& attributes) {
    out_.append(open_.size(), '\t');
    out_ += '<';
    out_ += name;
    for (const auto& [key, value] : attributes) {
        out_ += ' ';
        out_ += key;
        out_ += "=\"";
        out_ += EscapeXml(value, true);
        out_ += '"';
    }
}

void XmlWriter::Open(std::string_view name, const XmlAttributes& attributes) {
    StartTag(name, attributes);
    out_ += ">\n";
    open_.emplace_back(name);
}

void XmlWriter::Close() {
    if (open_.empty()) return;
    const std::string name = std::move(open_.back());
    open_.pop_back();
    out_.append(open_.size(), '\t');
    out_ += "</" + name + ">\n";
}

void XmlWriter::Leaf(std::string_view name, std::string_view text, const XmlAttributes& attributes) {
    StartTag(name, attributes);
    out_ += '>';
    out_ += EscapeXml(text, false);
    out_ += "</";
    out_ += name;
    out_ += ">\n";
}

void XmlWriter::Empty(std::string_view name, const XmlAttributes& attributes) {
    StartTag(name, attributes);
    out_ += "/>\n";
}

std::string XmlWriter::Finish() {
    while (!open_.empty()) Close();
    return std::move(out_);
}

}  // namespace vnservice
