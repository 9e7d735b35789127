// Any bytes written as text and attribute values must give a document the
// reader accepts, and reading it back must give the bytes the escaping rule
// keeps: control bytes dropped, each line break followed by the indentation
// (a blank, in an attribute value), every other byte as it was.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/sax.h"
#include "platform/xml_writer.h"

namespace {

struct Collect : platform::ISaxHandler {
    std::string value, text;
    int depth = 0, maxDepth = 0;
    bool StartElement(const std::string&, const platform::SaxAttributes& a) override {
        if (!a.empty()) value = a[0].value;
        if (++depth > maxDepth) maxDepth = depth;
        return true;
    }
    bool EndElement(const std::string&) override {
        --depth;
        return true;
    }
    bool Characters(const std::string& t) override {
        text += t;
        return true;
    }
};

// What the reader must give back for `bytes` written at `level` (1 or more,
// so that a carriage return is never directly followed by a line feed).
std::string Expected(const std::string& bytes, size_t level, char lineBreak) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\n' || c == '\r') {
            out += lineBreak;
            out.append(level, ' ');
        } else if (c >= 32) {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t level = 1 + data[0] % 4;
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    vnxml::CXMLMemorySink sink;
    {
        vnxml::CXMLWriter doc(sink);
        vnxml::CXMLElement e = doc.AddElement("root");
        for (size_t i = 1; i < level; ++i) e = e.AddElement("level");
        vnxml::CXMLElement leaf = e.AddElement("leaf");
        leaf.SetAttribute("v", bytes);
        leaf.SetText(bytes);
        if (doc.Failed()) std::abort();
    }

    Collect got;
    static const auto reader = platform::CreateSaxReader().reader;
    if (!reader || reader->ParseAnsi(std::string(sink.Text(), sink.Length()), got) != platform::SaxResult::Complete)
        std::abort();
    if (got.depth != 0 || got.maxDepth != static_cast<int>(level) + 1) std::abort();
    if (got.value != Expected(bytes, level, ' ')) std::abort();
    // The text also holds the line breaks and indentation between elements.
    const std::string leafText = Expected(bytes, level, '\n');
    if (got.text.find(leafText) == std::string::npos) std::abort();
    return 0;
}
