// The exclusion-list writer over MSXML's DOM: the reply is loaded into one
// document, its exclusion node selected and appended, behind the XML
// declaration, to a second document, which is saved.
#include <msxml2.h>

#include <optional>
#include <string>
#include <utility>

#include "inventory/exclusion_file.h"
#include "platform/log.h"
#include "platform/sax.h"
#include "platform/text.h"
#include "platform/win/com.h"
#include "platform/win/wide.h"

namespace inventory {
namespace {

using platform::ComPtr;
using platform::MakeBstr;
using platform::UniqueBstr;

// DOMDocument {2933BF90-7B36-11D2-B20E-00C04F983E60}: the version-independent
// class that MSXML 3 registers (MinGW's header maps the name to another class).
const CLSID kDomDocumentClass = {0x2933bf90, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

void Report(const std::string& line) { vnlog::Debug(line + "\n"); }

void ReportCode(const char* message, HRESULT hr) {
    Report(textutil::Format("%s Error code = 0x%lx", message, static_cast<unsigned long>(hr)));
}

// What COM says about a failure: the error object's description when the
// failing call left one, else the system's text for the code.
std::string Describe(HRESULT hr) {
    ComPtr<IErrorInfo> info;
    if (::GetErrorInfo(0, info.GetAddressOf()) == S_OK && info) {
        UniqueBstr description;
        if (SUCCEEDED(info->GetDescription(description.put()))) {
            const std::string text = platform::BstrText(description.get());
            if (!text.empty()) return textutil::Trim(text);
        }
    }
    const std::optional<std::string> text = platform::SystemMessageText(static_cast<DWORD>(hr));
    return text ? textutil::Trim(*text) : textutil::Format("Unknown error 0x%lx", static_cast<unsigned long>(hr));
}

int ComError(HRESULT hr) {
    Report("MSXML Com error: " + Describe(hr));
    return 1;
}

// Saves the document to a temporary file beside the target and moves it over
// the target.
HRESULT SaveReplacing(IXMLDOMDocument* document, const std::string& outputPath) {
    const std::string temporary = outputPath + ".new";
    UniqueBstr path = MakeBstr(platform::Widen(temporary));
    if (!path) return E_OUTOFMEMORY;
    const platform::UniqueVariant target(std::move(path));
    HRESULT hr = document->save(target.get());
    if (SUCCEEDED(hr) &&
        !::MoveFileExA(temporary.c_str(), outputPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        hr = HRESULT_FROM_WIN32(::GetLastError());
    if (FAILED(hr)) ::DeleteFileA(temporary.c_str());
    return hr;
}

int SaveWithDom(std::string_view replyText, const std::string& outputPath) {
    ComPtr<IXMLDOMDocument> reply, output;
    HRESULT hr = ::CoCreateInstance(kDomDocumentClass, nullptr, CLSCTX_ALL, IID_IXMLDOMDocument,
                                    reinterpret_cast<void**>(reply.GetAddressOf()));
    if (FAILED(hr)) return ComError(hr);
    hr = ::CoCreateInstance(kDomDocumentClass, nullptr, CLSCTX_ALL, IID_IXMLDOMDocument,
                            reinterpret_cast<void**>(output.GetAddressOf()));
    if (FAILED(hr)) return ComError(hr);

    // The reply comes from the network: a document type (entities that
    // expand without bound or read local files) is refused as the SAX
    // readers refuse it, and the DOM is told not to fetch anything either.
    if (platform::DeclaresDocumentType(replyText)) {
        ReportCode("Error loading XML input from CA.", S_FALSE);
        return 1;
    }
    reply->put_resolveExternals(VARIANT_FALSE);
    reply->put_validateOnParse(VARIANT_FALSE);

    // The reply is already text; a declared encoding must not be applied again.
    const UniqueBstr text = MakeBstr(platform::Widen(platform::WithoutDeclaredEncoding(replyText)));
    if (!text) return ComError(E_OUTOFMEMORY);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    hr = reply->loadXML(text.get(), &loaded);
    if (FAILED(hr) || loaded != VARIANT_TRUE) {
        ReportCode("Error loading XML input from CA.", hr);
        return 1;
    }

    const UniqueBstr query = MakeBstr(platform::Widen(kExclusionNodePath));
    ComPtr<IXMLDOMNode> exclusion;
    hr = reply->selectSingleNode(query.get(), exclusion.GetAddressOf());
    if (FAILED(hr) || !exclusion) {
        // No such node is S_FALSE: nothing to save is a failure all the same.
        ReportCode("Error retrieving exclusion node from xml.", FAILED(hr) ? hr : S_FALSE);
        return 1;
    }

    const UniqueBstr target = MakeBstr(L"xml"), data = MakeBstr(L"version='1.0'");
    ComPtr<IXMLDOMProcessingInstruction> header;
    hr = output->createProcessingInstruction(target.get(), data.get(), header.GetAddressOf());
    if (FAILED(hr) || !header) {
        ReportCode("Error creating xml header node.", FAILED(hr) ? hr : E_POINTER);
        return 1;
    }

    ComPtr<IXMLDOMNode> appended;
    hr = output->appendChild(header.Get(), appended.GetAddressOf());
    if (SUCCEEDED(hr)) {
        appended.Reset();
        hr = output->appendChild(exclusion.Get(), appended.GetAddressOf());
    }
    if (SUCCEEDED(hr)) hr = SaveReplacing(output.Get(), outputPath);
    if (FAILED(hr)) {
        ReportCode("Error save new exclusion list.", hr);
        Report("Output file name: " + outputPath);
        return 1;
    }
    Report("Successfully saved new exclution list to: " + outputPath);
    return 0;
}

}  // namespace

int SaveExclusionDocument(std::string_view replyText, const std::string& outputPath) {
    platform::ComInit com;
    if (!com.ok()) {
        ReportCode("Failed to initialize COM library.", com.result());
        return 1;
    }
    return SaveWithDom(replyText, outputPath);
}

}  // namespace inventory
