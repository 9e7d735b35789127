#include "service/win/rest_session_msxml.h"

#include <msxml2.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <string_view>
#include <utility>

#include "platform/log.h"
#include "platform/sax.h"
#include "platform/text.h"
#include "platform/win/com.h"
#include "platform/win/wide.h"

namespace vnxml {
namespace {

using platform::ComPtr;

// Msxml2.XMLHTTP.3.0 and Msxml2.DOMDocument.3.0, and the interfaces used of
// them, from their documented values (MinGW-w64's libuuid lacks some).
const CLSID kXmlHttpClass = {0xf5078f35, 0xc551, 0x11d3, {0x89, 0xb9, 0x00, 0x00, 0xf8, 0x1f, 0xe2, 0x21}};
const CLSID kDomDocumentClass = {0xf5078f32, 0xc551, 0x11d3, {0x89, 0xb9, 0x00, 0x00, 0xf8, 0x1f, 0xe2, 0x21}};
const IID kXmlHttpRequestIid = {0xed8c108d, 0x4349, 0x11d2, {0x91, 0xa4, 0x00, 0xc0, 0x4f, 0x79, 0x69, 0xe8}};
const IID kDomDocument2Iid = {0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

using platform::MakeBstr;
using platform::UniqueBstr;
using platform::UniqueVariant;

UniqueBstr AnsiBstr(std::string_view text) { return MakeBstr(platform::Widen(text)); }

UniqueVariant BoolVariant(bool flag) {
    UniqueVariant value;
    value.put()->vt = VT_BOOL;
    value.put()->boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return value;
}

// A failed COM call inside a request, caught at the session's boundary.
struct ComFailure {
    HRESULT hr;
};

void Check(HRESULT hr) {
    if (FAILED(hr)) throw ComFailure{hr};
}

// Waits until the request has its whole reply, or until `limit` has passed.
// The request is asynchronous and apartment-threaded: it makes its progress
// through this thread's messages, which are pumped meanwhile.
bool WaitForReply(IXMLHTTPRequest& request, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        long state = 0;
        Check(request.get_readyState(&state));
        if (state == 4) return true;  // completed
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(std::min<long long>(left.count(), 20)), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {  // not this loop's to take
                PostQuitMessage(static_cast<int>(message.wParam));
                return false;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

class MsxmlSession;

class MsxmlReply final : public IRestReply {
public:
    MsxmlReply(ComPtr<IXMLDOMDocument2> document, MsxmlSession& session)
        : document_(std::move(document)), session_(session) {}

    std::optional<std::vector<std::string>> SelectTexts(const std::string& path) override;
    std::optional<std::string> SelectText(const std::string& path) override;
    std::optional<std::vector<RestChild>> ChildElements(const std::string& path) override;

private:
    std::optional<ComPtr<IXMLDOMNode>> SelectNode(const std::string& path);

    ComPtr<IXMLDOMDocument2> document_;
    MsxmlSession& session_;
};

class MsxmlSession final : public IRestSession {
public:
    explicit MsxmlSession(std::chrono::milliseconds requestLimit) : requestLimit_(requestLimit) {}

    std::unique_ptr<IRestReply> Get(const std::string& address) override {
        if (!com_.ok()) {
            vnlog::Debug(textutil::Format("REST request: COM is not available (0x%08lX)",
                                          static_cast<unsigned long>(com_.result())));
            return nullptr;
        }
        try {
            if (!request_)
                Check(::CoCreateInstance(kXmlHttpClass, nullptr, CLSCTX_SERVER, kXmlHttpRequestIid,
                                         reinterpret_cast<void**>(request_.GetAddressOf())));
            const UniqueBstr method = MakeBstr(L"GET"), url = AnsiBstr(address);
            // Asynchronous, so that a service that takes the connection and
            // never answers is given up on: a synchronous request has no
            // time limit of its own.
            const UniqueVariant async = BoolVariant(true), user(MakeBstr(L"")), password(MakeBstr(L""));
            Check(request_->open(method.get(), url.get(), async.get(), user.get(), password.get()));
            // This request object goes through the system's web cache, which
            // would answer a repeated address (the same report while it is
            // polled, the same machine's list every day) from an earlier
            // reply unless the service forbids it: the reply is asked for
            // afresh whatever the service says.
            for (const auto& [name, value] : {std::pair<const wchar_t*, const wchar_t*>{L"Cache-Control", L"no-cache"},
                                              {L"Pragma", L"no-cache"},
                                              {L"If-Modified-Since", L"Thu, 01 Jan 1970 00:00:00 GMT"}}) {
                const UniqueBstr header = MakeBstr(name), text = MakeBstr(value);
                Check(request_->setRequestHeader(header.get(), text.get()));
            }
            const UniqueVariant body;
            Check(request_->send(body.get()));
            if (!WaitForReply(*request_.Get(), requestLimit_)) {
                request_->abort();
                request_.Reset();
                vnlog::Debug(textutil::Format("REST request: no reply from %s within %lld ms; given up",
                                              address.c_str(), static_cast<long long>(requestLimit_.count())));
                return nullptr;
            }
            long status = 0;
            Check(request_->get_status(&status));
            if (status != 200) {
                vnlog::Debug(textutil::Format("REST request: HTTP status %ld from %s", status, address.c_str()));
                return nullptr;
            }
            UniqueBstr text;
            Check(request_->get_responseText(text.put()));
            return Load(platform::BstrText(text.get()), address);
        } catch (const ComFailure& failure) {
            ComError(failure.hr);
            return nullptr;
        }
    }

    // Logs the error and drops the request object: the next request makes a new one.
    void ComError(HRESULT hr) {
        vnlog::Debug("REST request: " + ComErrorText(static_cast<uint32_t>(hr)));
        request_.Reset();
    }

private:
    std::unique_ptr<IRestReply> Load(const std::string& text, const std::string& address) {
        // The reply comes from the network: a document type (entities that
        // expand without bound or read local files) is refused, and the DOM
        // is told to fetch nothing.
        if (platform::DeclaresDocumentType(text)) {
            vnlog::Debug("REST request: the reply from " + address + " declares a document type");
            return nullptr;
        }
        ComPtr<IXMLDOMDocument2> document;
        Check(::CoCreateInstance(kDomDocumentClass, nullptr, CLSCTX_INPROC_SERVER, kDomDocument2Iid,
                                 reinterpret_cast<void**>(document.GetAddressOf())));
        Check(document->put_async(VARIANT_FALSE));
        Check(document->put_resolveExternals(VARIANT_FALSE));
        Check(document->put_validateOnParse(VARIANT_FALSE));
        const UniqueBstr language = MakeBstr(L"SelectionLanguage");
        const UniqueVariant xpath(MakeBstr(L"XPath"));
        Check(document->setProperty(language.get(), xpath.get()));
        // The reply is already text: a declared encoding must not be applied again.
        const UniqueBstr xml = AnsiBstr(platform::WithoutDeclaredEncoding(text));
        VARIANT_BOOL loaded = VARIANT_FALSE;
        Check(document->loadXML(xml.get(), &loaded));
        if (loaded != VARIANT_TRUE) {
            vnlog::Debug("REST request: the reply from " + address + " is not an XML document");
            return nullptr;
        }
        return std::make_unique<MsxmlReply>(std::move(document), *this);
    }

    platform::ComInit com_;  // first: COM outlives the objects below
    const std::chrono::milliseconds requestLimit_;
    ComPtr<IXMLHTTPRequest> request_;
};

std::string TextOf(IXMLDOMNode* node) {
    UniqueBstr text;
    Check(node->get_text(text.put()));
    return platform::BstrText(text.get());
}

std::optional<ComPtr<IXMLDOMNode>> MsxmlReply::SelectNode(const std::string& path) {
    const UniqueBstr query = AnsiBstr(path);
    ComPtr<IXMLDOMNode> node;
    Check(document_->selectSingleNode(query.get(), node.GetAddressOf()));
    if (!node) return std::nullopt;
    return node;
}

std::optional<std::vector<std::string>> MsxmlReply::SelectTexts(const std::string& path) {
    try {
        const UniqueBstr query = AnsiBstr(path);
        ComPtr<IXMLDOMNodeList> list;
        Check(document_->selectNodes(query.get(), list.GetAddressOf()));
        if (!list) return std::nullopt;
        long count = 0;
        Check(list->get_length(&count));
        std::vector<std::string> texts;
        for (long i = 0; i < count; ++i) {
            ComPtr<IXMLDOMNode> node;
            Check(list->get_item(i, node.GetAddressOf()));
            if (node) texts.push_back(TextOf(node.Get()));
        }
        return texts;
    } catch (const ComFailure& failure) {
        session_.ComError(failure.hr);
        return std::nullopt;
    }
}

std::optional<std::string> MsxmlReply::SelectText(const std::string& path) {
    try {
        std::optional<ComPtr<IXMLDOMNode>> node = SelectNode(path);
        if (!node) return std::nullopt;
        return TextOf(node->Get());
    } catch (const ComFailure& failure) {
        session_.ComError(failure.hr);
        return std::nullopt;
    }
}

std::optional<std::vector<RestChild>> MsxmlReply::ChildElements(const std::string& path) {
    try {
        std::optional<ComPtr<IXMLDOMNode>> node = SelectNode(path);
        if (!node) return std::nullopt;
        ComPtr<IXMLDOMNodeList> children;
        Check((*node)->get_childNodes(children.GetAddressOf()));
        std::vector<RestChild> out;
        long count = 0;
        if (children) Check(children->get_length(&count));
        for (long i = 0; i < count; ++i) {
            ComPtr<IXMLDOMNode> child;
            Check(children->get_item(i, child.GetAddressOf()));
            DOMNodeType type = NODE_INVALID;
            if (!child || FAILED(child->get_nodeType(&type)) || type != NODE_ELEMENT) continue;
            UniqueBstr name;
            Check(child->get_nodeName(name.put()));
            out.push_back(RestChild{platform::BstrText(name.get()), TextOf(child.Get())});
        }
        return out;
    } catch (const ComFailure& failure) {
        session_.ComError(failure.hr);
        return std::nullopt;
    }
}

class MsxmlSessions final : public IRestSessionFactory {
public:
    explicit MsxmlSessions(std::chrono::milliseconds requestLimit) : requestLimit_(requestLimit) {}
    std::unique_ptr<IRestSession> Open() override { return std::make_unique<MsxmlSession>(requestLimit_); }

private:
    const std::chrono::milliseconds requestLimit_;
};

}  // namespace

std::shared_ptr<IRestSessionFactory> MakeMsxmlRestSessions(std::chrono::milliseconds requestLimit) {
    return std::make_shared<MsxmlSessions>(requestLimit);
}

}  // namespace vnxml
