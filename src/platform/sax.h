// Event-based XML reading with the program's 8-bit text: one content-handler
// code base serves both platforms. On Windows the reader is MSXML's SAX
// reader; on the host it is expat. Both report local names (a prefix such as
// "x:" is dropped, namespace declarations are not attributes), attributes in
// document order, and character data in one or more pieces; all texts are
// converted to the ANSI code page (characters it lacks become '?').
//
// A handler callback that answers false stops the parse; one that throws stops
// it too, and the exception reaches the caller of the parse once the reader
// has returned. A malformed document stops the parse at the error; the events
// before it have been delivered. Both readers refuse (as malformed) any
// document with a document type declaration: the program's documents never
// have one, and a document type is how a small document makes a reader
// expand text without bound or pull in another file's contents.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct SaxAttribute {
    std::string name;   // local name
    std::string value;
};
using SaxAttributes = std::vector<SaxAttribute>;

class ISaxHandler {
public:
    virtual ~ISaxHandler() = default;
    virtual bool StartElement(const std::string& name, const SaxAttributes& attributes) = 0;
    virtual bool EndElement(const std::string& name) = 0;
    // Character data; one run of text may arrive in several pieces.
    virtual bool Characters(const std::string& text) = 0;
};

enum class SaxResult {
    Complete,    // the whole document was read
    Stopped,     // a handler callback answered false
    Malformed,   // the document is not well-formed (or was refused, see below)
    Unreadable,  // the file could not be opened or read
};

class ISaxReader {
public:
    virtual ~ISaxReader() = default;
    // Reads bytes of ANSI text as text: whatever encoding the XML declaration
    // names, each byte is the character the ANSI code page gives it.
    virtual SaxResult ParseAnsi(std::string_view bytes, ISaxHandler& handler) = 0;
    // Reads a file, honouring the encoding it declares (UTF-8 when it
    // declares none). The path is the program's Windows-style path.
    virtual SaxResult ParseFile(const std::string& path, ISaxHandler& handler) = 0;
};

// The platform's reader. When it cannot be created the result holds no reader
// and `error` the failure code (the COM HRESULT on Windows), so that callers
// can report "Fail to init xml parser!" with it.
struct SaxReaderCreation {
    std::unique_ptr<ISaxReader> reader;
    uint32_t error = 0;
};
SaxReaderCreation CreateSaxReader();

// The text with the encoding declaration removed from its XML declaration
// (when it has one): a document handed over as a string is already text, and
// a reader must not try to decode it a second time.
std::string WithoutDeclaredEncoding(std::string_view text);

// True when the document's prolog holds a document type declaration: after an
// optional UTF-8 byte-order mark, white space, the XML declaration, processing
// instructions and comments, the next markup is "<!DOCTYPE".
bool DeclaresDocumentType(std::string_view text);

// The "file:///" address of a path, as the Windows reader opens files:
// backslashes become slashes and the prefix is added; other characters are
// kept as they are.
std::string FileUrlOf(std::string_view path);

}  // namespace platform
