// The host's SAX reader over expat. Namespace processing is on so that names
// arrive as local names and namespace declarations are not attributes, as
// with MSXML. Expat works in UTF-8; names and texts are converted to the ANSI
// code page for the handler.
//
// Document type declarations are refused (the document counts as malformed):
// the program's documents never have one, and the entities declared in one
// are the way a small document can make the reader do unbounded work.
#include <expat.h>

#include <cstdio>
#include <exception>
#include <memory>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/sax.h"
#include "platform/text.h"

namespace platform {
namespace {

constexpr XML_Char kNamespaceSeparator = ' ';  // never part of a local name
constexpr size_t kChunk = 64 * 1024;

std::string LocalName(const XML_Char* name) {
    std::string_view n(name);
    const size_t sep = n.rfind(kNamespaceSeparator);
    if (sep != std::string_view::npos) n.remove_prefix(sep + 1);
    return Utf8ToAnsi(n);
}

struct ParserDeleter {
    void operator()(XML_Parser p) const { XML_ParserFree(p); }
};
using ParserPtr = std::unique_ptr<std::remove_pointer_t<XML_Parser>, ParserDeleter>;

// One parse: carries the handler's answers out of expat's callbacks. An
// exception from the handler is kept and rethrown once expat has returned,
// so that it never unwinds through expat's C frames.
class Session {
public:
    explicit Session(ISaxHandler& handler, const char* forcedEncoding) : handler_(handler) {
        parser_.reset(XML_ParserCreateNS(forcedEncoding, kNamespaceSeparator));
        if (!parser_) return;
        XML_SetUserData(parser_.get(), this);
        XML_SetElementHandler(parser_.get(), &Session::OnStart, &Session::OnEnd);
        XML_SetCharacterDataHandler(parser_.get(), &Session::OnText);
        XML_SetStartDoctypeDeclHandler(parser_.get(), &Session::OnDoctype);
        XML_SetUnknownEncodingHandler(parser_.get(), &Session::OnUnknownEncoding, nullptr);
        XML_SetParamEntityParsing(parser_.get(), XML_PARAM_ENTITY_PARSING_NEVER);
    }

    bool ok() const { return parser_ != nullptr; }

    // Feeds one piece; false once the parse has ended (error or stop).
    bool Feed(const char* data, size_t size, bool last) {
        while (size > kChunk) {
            if (!FeedOne(data, kChunk, false)) return false;
            data += kChunk;
            size -= kChunk;
        }
        return FeedOne(data, size, last);
    }

    SaxResult Result() const {
        if (error_) std::rethrow_exception(error_);
        if (stopped_) return SaxResult::Stopped;
        return failed_ ? SaxResult::Malformed : SaxResult::Complete;
    }

private:
    bool FeedOne(const char* data, size_t size, bool last) {
        if (XML_Parse(parser_.get(), data, static_cast<int>(size), last ? XML_TRUE : XML_FALSE) == XML_STATUS_OK)
            return true;
        failed_ = true;
        return false;
    }

    static Session& From(void* userData) { return *static_cast<Session*>(userData); }

    // Runs one handler call; stops the parser when it answers false or throws.
    template <typename F>
    void Deliver(F&& call) {
        if (stopped_ || refused_) return;  // events expat still sends after a stop
        bool go = false;
        try {
            go = call();
        } catch (...) {
            error_ = std::current_exception();
        }
        if (!go) {
            stopped_ = true;
            XML_StopParser(parser_.get(), XML_FALSE);
        }
    }

    static void XMLCALL OnStart(void* userData, const XML_Char* name, const XML_Char** attrs) {
        Session& s = From(userData);
        s.Deliver([&] {
            SaxAttributes list;
            for (size_t i = 0; attrs[i] != nullptr; i += 2) list.push_back({LocalName(attrs[i]), Utf8ToAnsi(attrs[i + 1])});
            return s.handler_.StartElement(LocalName(name), list);
        });
    }

    static void XMLCALL OnEnd(void* userData, const XML_Char* name) {
        Session& s = From(userData);
        s.Deliver([&] { return s.handler_.EndElement(LocalName(name)); });
    }

    static void XMLCALL OnText(void* userData, const XML_Char* text, int len) {
        Session& s = From(userData);
        s.Deliver([&] { return s.handler_.Characters(Utf8ToAnsi(std::string_view(text, static_cast<size_t>(len)))); });
    }

    static void XMLCALL OnDoctype(void* userData, const XML_Char*, const XML_Char*, const XML_Char*, int) {
        Session& s = From(userData);
        if (s.stopped_ || s.refused_) return;
        s.refused_ = true;
        XML_StopParser(s.parser_.get(), XML_FALSE);
    }

    // Files that declare the ANSI code page by name ("windows-1252") are read
    // through it; expat knows UTF-8, UTF-16, ISO-8859-1 and US-ASCII itself.
    static int XMLCALL OnUnknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
        if (!textutil::EqualsNoCase(name, "windows-1252") && !textutil::EqualsNoCase(name, "cp1252")) return XML_STATUS_ERROR;
        for (int b = 0; b < 256; ++b) {
            const char one = static_cast<char>(b);
            const std::u16string w = AnsiToUtf16(std::string_view(&one, 1));
            info->map[b] = w.size() == 1 ? w[0] : -1;
        }
        info->data = nullptr;
        info->convert = nullptr;
        info->release = nullptr;
        return XML_STATUS_OK;
    }

    ISaxHandler& handler_;
    ParserPtr parser_;
    bool stopped_ = false;
    bool refused_ = false;
    bool failed_ = false;
    std::exception_ptr error_;
};

class ExpatReader final : public ISaxReader {
public:
    SaxResult ParseAnsi(std::string_view bytes, ISaxHandler& handler) override {
        // Expat is told the text is UTF-8, which overrides any declaration.
        const std::string utf8 = AnsiToUtf8(bytes);
        Session session(handler, "UTF-8");
        if (!session.ok()) return SaxResult::Malformed;
        session.Feed(utf8.data(), utf8.size(), true);
        return session.Result();
    }

    SaxResult ParseFile(const std::string& path, ISaxHandler& handler) override {
        struct Closer {
            void operator()(std::FILE* f) const { std::fclose(f); }
        };
        std::unique_ptr<std::FILE, Closer> file(std::fopen(NativePath(path).c_str(), "rb"));
        if (!file) return SaxResult::Unreadable;
        Session session(handler, nullptr);
        if (!session.ok()) return SaxResult::Malformed;
        std::unique_ptr<char[]> block(new char[kChunk]);
        for (;;) {
            const size_t n = std::fread(block.get(), 1, kChunk, file.get());
            if (std::ferror(file.get())) return SaxResult::Unreadable;
            const bool last = n < kChunk;
            if (!session.Feed(block.get(), n, last) || last) break;
        }
        return session.Result();
    }
};

}  // namespace

SaxReaderCreation CreateSaxReader() {
    SaxReaderCreation created;
    created.reader = std::make_unique<ExpatReader>();
    return created;
}

}  // namespace platform
