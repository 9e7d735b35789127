#include "service/xml_parser.h"

#include <exception>

#include "inventory/list_base.h"
#include "platform/log.h"
#include "platform/vn_exception.h"
#include "service/item_xml.h"

namespace vnxml {

// ----------------------------------------------------------- CXMLParserBase

bool CXMLParserBase::Stopped() const { return stopList_ != nullptr && stopList_->IsAbortRequested(); }

bool CXMLParserBase::StartElement(const std::string& name, const platform::SaxAttributes& attributes) {
    if (Stopped()) return false;
    if (trace_) {
        *trace_ << '<' << name;
        for (const platform::SaxAttribute& a : attributes) *trace_ << ' ' << a.name << "=\"" << a.value << '"';
        *trace_ << '>';
    }
    return OnStartElement(name, attributes);
}

bool CXMLParserBase::EndElement(const std::string& name) {
    if (Stopped()) return false;
    if (trace_) *trace_ << "</" << name << '>';
    return OnEndElement(name);
}

bool CXMLParserBase::Characters(const std::string& text) {
    if (Stopped()) return false;
    if (trace_) *trace_ << EscapeItemText(text);
    if (CXMLObject* record = Innermost()) record->Characters(text);
    return OnCharacters(text);
}

bool CXMLParserBase::OnStartElement(const std::string&, const platform::SaxAttributes&) { return true; }
bool CXMLParserBase::OnEndElement(const std::string&) { return true; }
bool CXMLParserBase::OnCharacters(const std::string&) { return true; }

std::unique_ptr<CXMLObject> CXMLParserBase::CloseInnermost() {
    if (records_.empty()) return nullptr;
    std::unique_ptr<CXMLObject> record = std::move(records_.back());
    records_.pop_back();
    return record;
}

// ----------------------------------------------------------- CXMLParserInit

CXMLParserInit::CXMLParserInit() {
    platform::SaxReaderCreation created = platform::CreateSaxReader();
    if (!created.reader) throw CVnException(1, "Fail to init xml parser!", created.error);
    reader_ = std::move(created.reader);
}

CXMLParserInit::~CXMLParserInit() = default;

platform::SaxResult CXMLParserInit::ParseBuffer(const char* bytes, size_t count, std::ostream* trace) {
    if (!reader_) return platform::SaxResult::Unreadable;
    if (trace) SetTrace(trace);
    try {
        return reader_->ParseAnsi(std::string_view(bytes, count), *this);
    } catch (const std::exception& e) {
        vnlog::WriteRaw(std::string("*** Error caught exception in CXMLParserInit::ParseBuffer") + e.what());
    } catch (...) {
        vnlog::WriteRaw("*** Error caught exception in CXMLParserInit::ParseBuffer in catch all block.");
    }
    return platform::SaxResult::Malformed;
}

platform::SaxResult CXMLParserInit::ParseFile(const std::string& path, std::ostream* trace) {
    if (!reader_) return platform::SaxResult::Unreadable;
    if (trace) SetTrace(trace);
    try {
        return reader_->ParseFile(path, *this);
    } catch (const std::exception& e) {
        vnlog::WriteRaw(std::string("*** Error caught exception in CXMLParserInit::ParseFile") + e.what());
    } catch (...) {
        vnlog::WriteRaw("*** Error caught exception in CXMLParserInit::ParseFile in catch all block.");
    }
    return platform::SaxResult::Malformed;
}

}  // namespace vnxml
