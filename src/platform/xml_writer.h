// The small streaming XML writer behind the documents the client sends (the
// authentication block, the system profile, file identity fragments). It
// writes straight into a sink, one pass, no tree: elements are opened under a
// parent, closed in nesting order, indented by depth, and every text and
// attribute value goes through one escaping rule that also turns the ANSI code
// page into what the service reads (character references and UTF-8).
//
//   vnxml::CXMLMemorySink sink;
//   vnxml::CXMLWriter doc(sink);
//   vnxml::CXMLElement auth = doc.AddElement("authentication");
//   auth.AddTextElement("machinename", name);
//   doc.Close();
//   use(sink.Text(), sink.Length());
//
// Each parent has at most one open child: opening a sibling closes the
// previous one (and everything under it). CXMLElement is a small handle, not
// the element itself; a handle whose element has been closed (by its parent,
// by a sibling or by the writer) is stale, and every operation on it does
// nothing and answers false. So holding a handle longer than its element lives
// is harmless.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

namespace vnxml {

// Where the writer's text goes.
class CXMLSink {
public:
    virtual ~CXMLSink() = default;
    // Appends the bytes; false when they could not all be written. What was
    // written before stays.
    virtual bool Write(std::string_view text) = 0;
};

// A growing memory buffer that always holds a terminating zero. It grows in
// whole steps of 4096 bytes, at least doubling; `maxCapacity` bounds it (a write that would need
// more fails and leaves the buffer as it was).
class CXMLMemorySink final : public CXMLSink {
public:
    static constexpr size_t kGrowStep = 4096;
    explicit CXMLMemorySink(size_t maxCapacity = SIZE_MAX);

    bool Write(std::string_view text) override;

    const char* Text() const { return buffer_ ? buffer_.get() : ""; }  // zero-terminated
    size_t Length() const { return length_; }
    size_t Capacity() const { return capacity_; }
    std::string Str() const { return std::string(Text(), length_); }

private:
    std::unique_ptr<char[]> buffer_;
    size_t length_ = 0;
    size_t capacity_ = 0;
    size_t maxCapacity_;
};

// Appends to a text the caller owns (a fragment built inside a larger text,
// without a buffer of its own).
class CXMLStringSink final : public CXMLSink {
public:
    explicit CXMLStringSink(std::string& out) : out_(out) {}
    bool Write(std::string_view text) override {
        out_.append(text.data(), text.size());
        return true;
    }

private:
    std::string& out_;
};

// A file the caller opened: a C stream or a C++ stream. The writer does not
// close it. A file opened in text mode on Windows turns each "\n" into CR LF.
class CXMLFileSink final : public CXMLSink {
public:
    explicit CXMLFileSink(std::FILE* file) : file_(file) {}
    explicit CXMLFileSink(std::ostream& stream) : stream_(&stream) {}

    bool Write(std::string_view text) override;

private:
    std::FILE* file_ = nullptr;
    std::ostream* stream_ = nullptr;
};

// How the escaping reads the ANSI code page. The default asks the platform
// (the system code page on Windows; Windows-1252, which has no double-byte
// characters, on the host); tests substitute a double-byte code page.
struct CXMLCodePage {
    bool (*isLeadByte)(unsigned char byte);
    std::u16string (*toUtf16)(std::string_view ansi);
};
CXMLCodePage PlatformCodePage();

// The escaping of text and attribute values inside an element of the given
// level, byte by byte:
//   line feed, carriage return   the byte, then `level` spaces
//   " & ' < >                    &quot; &amp; &apos; &lt; &gt;
//   double-byte character        its UTF-8 form
//   other byte of 128 or more    "&#" + the decimal code of its character + ";"
//   other byte below 32          dropped (XML cannot carry it)
//   anything else                itself
// A single-byte character is referred to by its Unicode value, so in
// Windows-1252 the byte 233 becomes "&#233;" and the euro sign (128) becomes
// "&#8364;". A lead byte without a valid trail byte is dropped and the next
// byte is read on its own.
std::string EscapeXmlText(std::string_view text, size_t level, const CXMLCodePage& codePage = PlatformCodePage());

namespace detail {
struct WriterState;
}

class CXMLElement {
public:
    CXMLElement() = default;  // a handle to nothing; every operation fails

    // True while the element is open and can still be written to.
    bool IsOpen() const;
    // 0 for a top-level element, the parent's level plus one below it.
    int Level() const { return static_cast<int>(level_); }

    // Opens a child; a child still open under this element is closed first.
    CXMLElement AddElement(std::string_view name);
    // Only while the start tag is still open (no text, no child, no raw text
    // yet); false otherwise, and nothing is written.
    bool SetAttribute(std::string_view name, std::string_view value);
    bool SetAttribute(std::string_view name, uint32_t value);  // "%u"
    // Close the start tag when needed (and any open child) and write escaped text.
    bool SetText(std::string_view text);
    bool SetText(uint32_t value);     // "%u"
    bool SetTextHex(uint32_t value);  // "0x%x"
    // AddElement followed by SetText. False when the child could not be written.
    bool AddTextElement(std::string_view name, std::string_view text);
    bool AddTextElement(std::string_view name, uint32_t value);  // "%u"
    // Close the start tag when needed (and any open child) and write the text
    // unescaped: a fragment produced elsewhere.
    bool AppendRaw(std::string_view text);
    // Closes the open child chain and this element.
    bool Close();

private:
    friend class CXMLWriter;
    CXMLElement(std::shared_ptr<detail::WriterState> state, size_t level, uint64_t id)
        : state_(std::move(state)), level_(level), id_(id) {}
    bool Valid() const;

    std::shared_ptr<detail::WriterState> state_;
    size_t level_ = 0;
    uint64_t id_ = 0;
};

// The document itself (level -1): its children are the top-level elements.
// The sink must outlive the writer. Destroying the writer closes every open
// element, so the text is complete even without an explicit Close.
class CXMLWriter {
public:
    explicit CXMLWriter(CXMLSink& sink, const CXMLCodePage& codePage = PlatformCodePage());
    ~CXMLWriter();
    CXMLWriter(const CXMLWriter&) = delete;
    CXMLWriter& operator=(const CXMLWriter&) = delete;

    CXMLElement AddElement(std::string_view name);
    bool AddTextElement(std::string_view name, std::string_view text);
    bool AddTextElement(std::string_view name, uint32_t value);
    bool AppendRaw(std::string_view text);
    // Closes every open element.
    bool Close();

    // True once any write to the sink has failed.
    bool Failed() const;

private:
    std::shared_ptr<detail::WriterState> state_;
};

// Element and attribute names are cut to this many bytes.
inline constexpr size_t kMaxXmlNameLength = 127;

}  // namespace vnxml
