#include "platform/xml_writer.h"

#include <cstring>
#include <new>
#include <ostream>
#include <vector>

#include "platform/codepage.h"
#include "platform/text.h"

namespace vnxml {

// ---------------------------------------------------------------- sinks

CXMLMemorySink::CXMLMemorySink(size_t maxCapacity) : maxCapacity_(maxCapacity) {}

bool CXMLMemorySink::Write(std::string_view text) {
    if (text.empty()) return true;
    // Room for the text and the terminating zero.
    if (text.size() > SIZE_MAX - 1 - length_) return false;
    const size_t needed = length_ + text.size() + 1;
    if (needed > capacity_) {
        // Whole steps, and at least twice the capacity so far: growing one
        // step at a time copied the text again for every step, which made a
        // large document cost its size squared.
        const size_t steps = (needed - capacity_ + kGrowStep - 1) / kGrowStep;
        if (steps > (SIZE_MAX - capacity_) / kGrowStep) return false;
        size_t newCapacity = capacity_ + steps * kGrowStep;
        if (newCapacity > maxCapacity_) return false;
        if (capacity_ <= maxCapacity_ / 2 && newCapacity < capacity_ * 2) newCapacity = capacity_ * 2;
        std::unique_ptr<char[]> grown(new (std::nothrow) char[newCapacity]);
        if (!grown) return false;
        if (length_ > 0) std::memcpy(grown.get(), buffer_.get(), length_);
        buffer_ = std::move(grown);
        capacity_ = newCapacity;
    }
    std::memcpy(buffer_.get() + length_, text.data(), text.size());
    length_ += text.size();
    buffer_[length_] = '\0';
    return true;
}

bool CXMLFileSink::Write(std::string_view text) {
    if (text.empty()) return true;
    if (file_) return std::fwrite(text.data(), 1, text.size(), file_) == text.size() && !std::ferror(file_);
    if (stream_) {
        stream_->write(text.data(), static_cast<std::streamsize>(text.size()));
        return stream_->good();
    }
    return false;
}

// ---------------------------------------------------------------- escaping

CXMLCodePage PlatformCodePage() {
    return CXMLCodePage{&platform::IsAnsiLeadByte, &platform::AnsiToUtf16};
}

namespace {

void AppendIndent(std::string& out, size_t level) { out.append(level, ' '); }

// The bytes a text keeps as they are: printable ASCII but the five that
// have entities.
struct PlainXmlBytes {
    bool plain[256] = {};
    PlainXmlBytes() {
        for (int b = 32; b < 128; ++b) plain[b] = b != '"' && b != '&' && b != '\'' && b != '<' && b != '>';
    }
};
const PlainXmlBytes kPlainXml;

bool IsSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDFFF; }

// The character reference for a single high byte: the Unicode value of the
// character it stands for, or the byte's own value when the code page gives
// nothing usable for it.
uint32_t HighByteCode(unsigned char byte, const CXMLCodePage& codePage) {
    const char one = static_cast<char>(byte);
    const std::u16string wide = codePage.toUtf16(std::string_view(&one, 1));
    if (wide.size() == 1) {
        const char16_t u = wide[0];
        if (u >= 0x80 && !IsSurrogate(u) && u != 0xFFFE && u != 0xFFFF) return u;
    }
    return byte;
}

// The UTF-8 form of a double-byte character, or empty when the pair is not
// one valid non-ASCII character (an ASCII trail byte such as '<' must never be
// passed through unescaped).
std::string PairToUtf8(const char* pair, const CXMLCodePage& codePage) {
    const std::u16string wide = codePage.toUtf16(std::string_view(pair, 2));
    bool one = false;
    if (wide.size() == 1) {
        one = wide[0] >= 0x80 && !IsSurrogate(wide[0]) && wide[0] != 0xFFFE && wide[0] != 0xFFFF;
    } else if (wide.size() == 2) {
        one = wide[0] >= 0xD800 && wide[0] <= 0xDBFF && wide[1] >= 0xDC00 && wide[1] <= 0xDFFF;
    }
    if (!one) return std::string();
    std::string utf8 = platform::Utf16ToUtf8(wide);
    return utf8.size() <= 16 ? utf8 : std::string();
}

}  // namespace

std::string EscapeXmlText(std::string_view text, size_t level, const CXMLCodePage& codePage) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (size_t i = 0; i < text.size(); ++i) {
        // Runs of bytes that stand as they are go over in one copy.
        size_t run = i;
        while (run < text.size() && kPlainXml.plain[static_cast<unsigned char>(text[run])]) ++run;
        if (run != i) {
            out.append(text.data() + i, run - i);
            if (run == text.size()) break;
            i = run;
        }
        const unsigned char c = static_cast<unsigned char>(text[i]);
        switch (c) {
        case '\n':
        case '\r':
            out += static_cast<char>(c);
            AppendIndent(out, level);
            continue;
        case '"': out += "&quot;"; continue;
        case '&': out += "&amp;"; continue;
        case '\'': out += "&apos;"; continue;
        case '<': out += "&lt;"; continue;
        case '>': out += "&gt;"; continue;
        default: break;
        }
        if (c >= 0x80) {
            if (codePage.isLeadByte(c)) {
                // A lead byte needs a trail byte; without a valid pair it is dropped
                // and the following byte is read on its own.
                if (i + 1 < text.size()) {
                    const std::string utf8 = PairToUtf8(text.data() + i, codePage);
                    if (!utf8.empty()) {
                        out += utf8;
                        ++i;
                    }
                }
                continue;
            }
            out += "&#";
            out += std::to_string(HighByteCode(c, codePage));
            out += ';';
        } else if (c >= 32) {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// ---------------------------------------------------------------- writer

namespace detail {

struct WriterState {
    struct Open {
        std::string name;
        uint64_t id;
        bool startTagOpen;  // "<name ..." written, ">" not yet
        bool hadChild;      // a child element was written inside
    };

    CXMLSink* sink;
    CXMLCodePage codePage;
    std::vector<Open> chain;  // chain[n] is the open element of level n
    uint64_t nextId = 1;
    uint64_t failures = 0;  // failed sink writes so far

    bool Put(std::string_view text) {
        const bool ok = sink != nullptr && sink->Write(text);
        if (!ok) ++failures;
        return ok;
    }

    bool IsOpen(size_t level, uint64_t id) const { return level < chain.size() && chain[level].id == id; }

    // Closes the open elements of level `depth` and deeper, innermost first.
    bool CloseTo(size_t depth) {
        bool ok = true;
        while (chain.size() > depth) {
            const Open& e = chain.back();
            std::string text;
            if (e.startTagOpen) {
                text = "/>";
            } else {
                // An element with children ends on a line of its own; one that holds
                // only text ends on the line of its text.
                if (e.hadChild) {
                    text += '\n';
                    AppendIndent(text, chain.size() - 1);
                }
                text += "</";
                text += e.name;
                text += '>';
            }
            ok = Put(text) && ok;
            chain.pop_back();
        }
        return ok;
    }

    // Prepares element `level` for content: closes its open child chain and its start tag.
    bool EndStartTag(size_t level) {
        bool ok = CloseTo(level + 1);
        Open& e = chain[level];
        if (e.startTagOpen) {
            e.startTagOpen = false;
            ok = Put(">") && ok;
        }
        return ok;
    }

    // Opens an element of `level` (0 for top level; the parent must be open
    // and prepared).
    uint64_t OpenElement(size_t level, std::string_view name) {
        std::string text;
        if (level != 0) {
            text += '\n';
            AppendIndent(text, level);
        }
        text += '<';
        const std::string_view cut = name.substr(0, kMaxXmlNameLength);
        text += cut;
        Put(text);
        const uint64_t id = nextId++;
        chain.push_back(Open{std::string(cut), id, true, false});
        return id;
    }
};

}  // namespace detail

using detail::WriterState;

bool CXMLElement::Valid() const { return state_ && state_->IsOpen(level_, id_); }

bool CXMLElement::IsOpen() const { return Valid(); }

CXMLElement CXMLElement::AddElement(std::string_view name) {
    if (!Valid()) return CXMLElement();
    WriterState& s = *state_;
    s.EndStartTag(level_);
    s.chain[level_].hadChild = true;
    const uint64_t id = s.OpenElement(level_ + 1, name);
    return CXMLElement(state_, level_ + 1, id);
}

bool CXMLElement::SetAttribute(std::string_view name, std::string_view value) {
    if (!Valid()) return false;
    WriterState& s = *state_;
    if (!s.chain[level_].startTagOpen) return false;
    std::string text = " ";
    text += name.substr(0, kMaxXmlNameLength);
    text += "=\"";
    text += EscapeXmlText(value, level_, s.codePage);
    text += '"';
    return s.Put(text);
}

bool CXMLElement::SetAttribute(std::string_view name, uint32_t value) {
    return SetAttribute(name, textutil::Format("%u", value));
}

bool CXMLElement::SetText(std::string_view text) {
    if (!Valid()) return false;
    WriterState& s = *state_;
    bool ok = s.EndStartTag(level_);
    return s.Put(EscapeXmlText(text, level_, s.codePage)) && ok;
}

bool CXMLElement::SetText(uint32_t value) { return SetText(textutil::Format("%u", value)); }

bool CXMLElement::SetTextHex(uint32_t value) { return SetText(textutil::Format("0x%x", value)); }

bool CXMLElement::AddTextElement(std::string_view name, std::string_view text) {
    if (!Valid()) return false;
    const uint64_t before = state_->failures;
    AddElement(name).SetText(text);
    return state_->failures == before;
}

bool CXMLElement::AddTextElement(std::string_view name, uint32_t value) {
    return AddTextElement(name, textutil::Format("%u", value));
}

bool CXMLElement::AppendRaw(std::string_view text) {
    if (!Valid()) return false;
    WriterState& s = *state_;
    bool ok = s.EndStartTag(level_);
    return s.Put(text) && ok;
}

bool CXMLElement::Close() {
    if (!Valid()) return false;
    return state_->CloseTo(level_);
}

CXMLWriter::CXMLWriter(CXMLSink& sink, const CXMLCodePage& codePage)
    : state_(std::make_shared<WriterState>(WriterState{&sink, codePage, {}, 1, 0})) {}

CXMLWriter::~CXMLWriter() {
    state_->CloseTo(0);
    // Handles that outlive the writer must not reach the sink.
    state_->sink = nullptr;
}

CXMLElement CXMLWriter::AddElement(std::string_view name) {
    state_->CloseTo(0);
    const uint64_t id = state_->OpenElement(0, name);
    return CXMLElement(state_, 0, id);
}

bool CXMLWriter::AddTextElement(std::string_view name, std::string_view text) {
    const uint64_t before = state_->failures;
    AddElement(name).SetText(text);
    return state_->failures == before;
}

bool CXMLWriter::AddTextElement(std::string_view name, uint32_t value) {
    return AddTextElement(name, textutil::Format("%u", value));
}

bool CXMLWriter::AppendRaw(std::string_view text) {
    bool ok = state_->CloseTo(0);
    return state_->Put(text) && ok;
}

bool CXMLWriter::Close() { return state_->CloseTo(0); }

bool CXMLWriter::Failed() const { return state_->failures != 0; }

}  // namespace vnxml
