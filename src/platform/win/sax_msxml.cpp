// The Windows SAX reader: MSXML's SAXXMLReader with a content handler that
// converts names and texts to the ANSI code page for the program's handler,
// and an error handler that reports nothing (a fatal error only ends the
// parse; what was handled before it stays handled).
#include <msxml2.h>
#include <oleauto.h>

#include <exception>
#include <utility>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/sax.h"
#include "platform/win/com.h"
#include "platform/win/handles.h"
#include "platform/win/msxml_guids.h"
#include "platform/win/wide.h"

namespace platform {
namespace {

std::string ToAnsi(const wchar_t* text, int length) {
    if (text == nullptr || length <= 0) return std::string();
    return Utf16ToAnsi(std::u16string_view(reinterpret_cast<const char16_t*>(text), static_cast<size_t>(length)));
}

// The first bytes of a file, enough to hold any prolog the program writes.
std::string FileHead(const std::string& path) {
    std::string head(64 * 1024, '\0');
    UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD read = 0;
    if (!file || !::ReadFile(file.get(), head.data(), static_cast<DWORD>(head.size()), &read, nullptr)) read = 0;
    head.resize(read);
    return head;
}

// The handler objects live inside the reader object, which outlives every
// reference MSXML holds to them: reference counting is not needed.
class ErrorSink final : public ISAXErrorHandler {
public:
    HRESULT WINAPI QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_ISAXErrorHandler) {
            *out = static_cast<ISAXErrorHandler*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG WINAPI AddRef() override { return 2; }
    ULONG WINAPI Release() override { return 1; }
    HRESULT WINAPI error(ISAXLocator*, const wchar_t*, HRESULT) override { return S_OK; }
    HRESULT WINAPI fatalError(ISAXLocator*, const wchar_t*, HRESULT) override { return S_OK; }
    HRESULT WINAPI ignorableWarning(ISAXLocator*, const wchar_t*, HRESULT) override { return S_OK; }
};

class ContentBridge final : public ISAXContentHandler {
public:
    void Begin(ISaxHandler* handler) {
        handler_ = handler;
        stopped_ = false;
        error_ = nullptr;
    }
    bool stopped() const { return stopped_; }
    std::exception_ptr error() const { return error_; }

    HRESULT WINAPI QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_ISAXContentHandler) {
            *out = static_cast<ISAXContentHandler*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG WINAPI AddRef() override { return 2; }
    ULONG WINAPI Release() override { return 1; }

    HRESULT WINAPI putDocumentLocator(ISAXLocator*) override { return S_OK; }
    HRESULT WINAPI startDocument() override { return S_OK; }
    HRESULT WINAPI endDocument() override { return S_OK; }
    HRESULT WINAPI startPrefixMapping(const wchar_t*, int, const wchar_t*, int) override { return S_OK; }
    HRESULT WINAPI endPrefixMapping(const wchar_t*, int) override { return S_OK; }
    HRESULT WINAPI processingInstruction(const wchar_t*, int, const wchar_t*, int) override { return S_OK; }
    HRESULT WINAPI skippedEntity(const wchar_t*, int) override { return S_OK; }

    HRESULT WINAPI startElement(const wchar_t*, int, const wchar_t* localName, int localLength, const wchar_t*, int,
                                ISAXAttributes* attributes) override {
        return Deliver([&] {
            SaxAttributes list;
            int count = 0;
            if (attributes != nullptr && SUCCEEDED(attributes->getLength(&count))) {
                for (int i = 0; i < count; ++i) {
                    const wchar_t* name = nullptr;
                    const wchar_t* value = nullptr;
                    int nameLength = 0, valueLength = 0;
                    if (FAILED(attributes->getLocalName(i, &name, &nameLength))) continue;
                    if (FAILED(attributes->getValue(i, &value, &valueLength))) continue;
                    list.push_back({ToAnsi(name, nameLength), ToAnsi(value, valueLength)});
                }
            }
            return handler_->StartElement(ToAnsi(localName, localLength), list);
        });
    }

    HRESULT WINAPI endElement(const wchar_t*, int, const wchar_t* localName, int localLength, const wchar_t*,
                              int) override {
        return Deliver([&] { return handler_->EndElement(ToAnsi(localName, localLength)); });
    }

    HRESULT WINAPI characters(const wchar_t* chars, int length) override {
        return Deliver([&] { return handler_->Characters(ToAnsi(chars, length)); });
    }

    // Without a DTD there is no ignorable white space; should a reader report
    // some, it is character data like any other, as expat reports it.
    HRESULT WINAPI ignorableWhitespace(const wchar_t* chars, int length) override { return characters(chars, length); }

private:
    // Runs one handler call; an answer of false or an exception stops the
    // parse (the exception is rethrown once MSXML has returned).
    template <typename F>
    HRESULT Deliver(F&& call) {
        if (stopped_ || handler_ == nullptr) return E_FAIL;
        bool go = false;
        try {
            go = call();
        } catch (...) {
            error_ = std::current_exception();
        }
        if (go) return S_OK;
        stopped_ = true;
        return E_FAIL;
    }

    ISaxHandler* handler_ = nullptr;
    bool stopped_ = false;
    std::exception_ptr error_;
};

class MsxmlReader final : public ISaxReader {
public:
    // COM stays initialised for the reader's life; the reader is released first.
    HRESULT Create() {
        if (!com_.ok()) return com_.result();
        HRESULT hr = ::CoCreateInstance(CLSID_SAXXMLReader, nullptr, CLSCTX_ALL, IID_ISAXXMLReader,
                                        reinterpret_cast<void**>(reader_.ReleaseAndGetAddressOf()));
        if (FAILED(hr)) return hr;
        if (!reader_) return E_POINTER;
        reader_->putErrorHandler(&errors_);
        // Local names without namespace declarations among the attributes, on every version.
        reader_->putFeature(L"http://xml.org/sax/features/namespaces", VARIANT_TRUE);
        reader_->putFeature(L"http://xml.org/sax/features/namespace-prefixes", VARIANT_FALSE);
        // Document types are refused before parsing (see below); these keep a
        // reader that would still meet one from reading anything else. Not
        // every version knows every feature, so their results are ignored.
        reader_->putFeature(L"prohibit-dtd", VARIANT_TRUE);
        reader_->putFeature(L"http://xml.org/sax/features/external-general-entities", VARIANT_FALSE);
        reader_->putFeature(L"http://xml.org/sax/features/external-parameter-entities", VARIANT_FALSE);
        return S_OK;
    }

    ~MsxmlReader() override { reader_.Reset(); }

    SaxResult ParseAnsi(std::string_view bytes, ISaxHandler& handler) override {
        // The text goes in as a string, so MSXML reads it as the UTF-16 it is.
        // The declared encoding is taken out first: some MSXML versions refuse
        // a string whose declaration names an encoding they would have to
        // switch to.
        if (DeclaresDocumentType(bytes)) return SaxResult::Malformed;
        const std::wstring wide = Widen(WithoutDeclaredEncoding(bytes));
        UniqueBstr text = MakeBstr(wide);
        if (!text) return SaxResult::Malformed;
        const UniqueVariant input(std::move(text));
        return Run(handler, [&] { return reader_->parse(input.get()); });
    }

    SaxResult ParseFile(const std::string& path, ISaxHandler& handler) override {
        if (!FileExists(path) || IsDirectory(path)) return SaxResult::Unreadable;
        if (DeclaresDocumentType(FileHead(path))) return SaxResult::Malformed;
        const std::wstring url = Widen(FileUrlOf(path));
        return Run(handler, [&] { return reader_->parseURL(url.c_str()); });
    }

private:
    template <typename F>
    SaxResult Run(ISaxHandler& handler, F&& parse) {
        content_.Begin(&handler);
        reader_->putContentHandler(&content_);
        const HRESULT hr = parse();
        reader_->putContentHandler(nullptr);
        const std::exception_ptr error = content_.error();
        const bool stopped = content_.stopped();
        content_.Begin(nullptr);
        if (error) std::rethrow_exception(error);
        if (stopped) return SaxResult::Stopped;
        return SUCCEEDED(hr) ? SaxResult::Complete : SaxResult::Malformed;
    }

    ComInit com_;
    ErrorSink errors_;
    ContentBridge content_;
    ComPtr<ISAXXMLReader> reader_;
};

}  // namespace

SaxReaderCreation CreateSaxReader() {
    SaxReaderCreation created;
    auto reader = std::make_unique<MsxmlReader>();
    const HRESULT hr = reader->Create();
    if (FAILED(hr)) {
        created.error = static_cast<uint32_t>(hr);
        return created;
    }
    created.reader = std::move(reader);
    return created;
}

}  // namespace platform
