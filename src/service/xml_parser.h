// The small parsing framework under the service's reply parser and the
// catalogue documents: a content handler over the platform's SAX reader that
// keeps a stack of open record objects (xml_records.h) and an optional trace
// of what it read.
//
// CXMLParserBase receives the reader's events. Character data always goes to
// the innermost open record; the derived parser decides, in OnStartElement
// and OnEndElement, which elements open and close records and passes the
// others to the innermost record as its children. While the optional stop
// list's abort flag is set every event fails, so that the reader stops.
//
// CXMLParserInit owns the reader and reads a buffer of ANSI text with it,
// whatever encoding the document's declaration names, or a file.
#pragma once

#include <cstddef>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/sax.h"
#include "service/xml_records.h"

class VN_ListBaseSync;

namespace vnxml {

class CXMLParserBase : public platform::ISaxHandler {
public:
    CXMLParserBase() = default;
    ~CXMLParserBase() override = default;
    CXMLParserBase(const CXMLParserBase&) = delete;
    CXMLParserBase& operator=(const CXMLParserBase&) = delete;

    // A list whose abort flag ends the parse (catalogue documents); not owned.
    void SetStopList(const VN_ListBaseSync* list) { stopList_ = list; }
    // Where the events are written as they are read (start and end tags with
    // their attributes, escaped text); null for none. Not owned.
    void SetTrace(std::ostream* trace) { trace_ = trace; }

    bool StartElement(const std::string& name, const platform::SaxAttributes& attributes) final;
    bool EndElement(const std::string& name) final;
    bool Characters(const std::string& text) final;

protected:
    // The parser's own handling; each answers true to go on.
    virtual bool OnStartElement(const std::string& name, const platform::SaxAttributes& attributes);
    virtual bool OnEndElement(const std::string& name);
    virtual bool OnCharacters(const std::string& text);

    // The record stack: the last opened record is the innermost.
    CXMLObject* Innermost() const { return records_.empty() ? nullptr : records_.back().get(); }
    void Open(std::unique_ptr<CXMLObject> record) { records_.push_back(std::move(record)); }
    // Takes the innermost record off the stack; null when none is open.
    std::unique_ptr<CXMLObject> CloseInnermost();
    size_t OpenRecords() const { return records_.size(); }

private:
    bool Stopped() const;

    const VN_ListBaseSync* stopList_ = nullptr;
    std::ostream* trace_ = nullptr;
    std::vector<std::unique_ptr<CXMLObject>> records_;
};

class CXMLParserInit : public CXMLParserBase {
public:
    // Creates the platform's SAX reader; throws CVnException (VnError 1,
    // "Fail to init xml parser!", the failure code) when it cannot.
    CXMLParserInit();
    ~CXMLParserInit() override;

    // Reads `count` bytes of ANSI text as a document and delivers its events
    // to this parser; a trace stream, when given, replaces the current one.
    // An exception inside is caught and logged. Answers how the reading
    // ended (Malformed also for a caught exception).
    platform::SaxResult ParseBuffer(const char* bytes, size_t count, std::ostream* trace = nullptr);
    // Reads a file of the program's (Windows-style) path, honouring the
    // encoding it declares; otherwise as ParseBuffer.
    platform::SaxResult ParseFile(const std::string& path, std::ostream* trace = nullptr);

private:
    std::unique_ptr<platform::ISaxReader> reader_;
};

}  // namespace vnxml
