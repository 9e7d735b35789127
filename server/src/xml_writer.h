// Writes the service's XML replies. Input texts are UTF-8; the output is
// plain ASCII, every other character written as a numeric character
// reference. The agent reads a reply through its Windows ANSI code page
// whatever the declaration says, so an ASCII document reads the same on every
// code page, and the references still give it the exact characters.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vnservice {

using XmlAttributes = std::vector<std::pair<std::string_view, std::string_view>>;

// Text or attribute value escaped as described above. Characters XML cannot
// carry (control characters other than tab, line feed and carriage return,
// malformed UTF-8) are dropped or replaced by U+FFFD.
std::string EscapeXml(std::string_view utf8, bool attribute);

class XmlWriter {
public:
    XmlWriter();  // starts with the XML declaration

    // <name attrs> on a line of its own; children follow indented.
    void Open(std::string_view name, const XmlAttributes& attributes = {});
    void Close();
    // <name attrs>text</name> on one line, with no white space around the text
    // (the agent takes element text as it stands).
    void Leaf(std::string_view name, std::string_view text, const XmlAttributes& attributes = {});
    // <name attrs/>
    void Empty(std::string_view name, const XmlAttributes& attributes);
    // Closes whatever is open and hands back the document.
    std::string Finish();

private:
    void StartTag(std::string_view name, const XmlAttributes& attributes);
    std::string out_;
    std::vector<std::string> open_;
};

}  // namespace vnservice
