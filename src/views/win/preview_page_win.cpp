// The product pages on Windows: MSXML's XSLT with the preview pane's
// stylesheet. The stylesheet is compiled into the program rather than kept
// as a file beside it: a page must look the same whatever is (or is not)
// installed next to the program, and nobody can change what the pane shows
// by dropping a file there.
#include <windows.h>

#include <stdexcept>

#include "platform/sax.h"
#include "platform/win/com.h"
#include "platform/win/msxml_guids.h"
#include "platform/win/wide.h"
#include "views/preview_page.h"

namespace Views {

namespace {

using platform::ComPtr;
using platform::MakeBstr;
using platform::UniqueBstr;

const char kStylesheet[] = R"XSL(<?xml version="1.0"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="html"/>
<xsl:template match="/product">
<html><head><title><xsl:value-of select="name"/></title>
<style>body{font-family:Tahoma,Arial,sans-serif;font-size:12px;margin:12px;color:#222}
h1{font-size:16px;margin:0 0 4px 0}.meta{color:#555;margin-bottom:8px}
table{font-size:inherit;border-collapse:collapse}td{padding:2px 12px 2px 0}td.label{color:#555}
a{color:#0645ad}</style></head>
<body>
<h1><xsl:value-of select="name"/></h1>
<div class="meta"><xsl:value-of select="publisher"/></div>
<table>
<tr><td class="label">Current Version</td><td><xsl:value-of select="version"/></td></tr>
<tr><td class="label">Release Date</td><td><xsl:value-of select="releaseDate"/></td></tr>
</table>
<p><xsl:value-of select="shortDescription"/></p>
<xsl:for-each select="link[@type='productPage']"><p><a href="{url}">Product home page</a></p></xsl:for-each>
<xsl:for-each select="link[@type='download']"><p><a href="{url}">Download</a></p></xsl:for-each>
</body></html>
</xsl:template>
</xsl:stylesheet>
)XSL";

// DOMDocument {2933BF90-7B36-11D2-B20E-00C04F983E60} (MSXML 3, version independent).
const CLSID kDomDocumentClass = {0x2933bf90, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

ComPtr<IXMLDOMDocument> LoadDocument(const std::string& text) {
    if (platform::DeclaresDocumentType(text)) throw std::runtime_error("a document type is not accepted");
    ComPtr<IXMLDOMDocument> document;
    HRESULT hr = ::CoCreateInstance(kDomDocumentClass, nullptr, CLSCTX_ALL, IID_IXMLDOMDocument,
                                    reinterpret_cast<void**>(document.GetAddressOf()));
    if (FAILED(hr)) throw std::runtime_error("no XML document");
    document->put_resolveExternals(VARIANT_FALSE);
    document->put_validateOnParse(VARIANT_FALSE);
    const UniqueBstr bstr = MakeBstr(platform::Widen(platform::WithoutDeclaredEncoding(text)));
    VARIANT_BOOL loaded = VARIANT_FALSE;
    hr = document->loadXML(bstr.get(), &loaded);
    if (FAILED(hr) || loaded != VARIANT_TRUE) throw std::runtime_error("the document is not well-formed");
    return document;
}

class XsltPageTransformer : public IPageTransformer {
public:
    std::string Transform(const std::string& productDocument) override {
        platform::ComInit com(COINIT_MULTITHREADED);
        if (!com.ok()) throw std::runtime_error("COM");
        ComPtr<IXMLDOMDocument> document = LoadDocument(productDocument);
        ComPtr<IXMLDOMDocument> stylesheet = LoadDocument(kStylesheet);
        ComPtr<IXMLDOMNode> sheetNode;
        if (FAILED(stylesheet->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(sheetNode.GetAddressOf()))))
            throw std::runtime_error("stylesheet");
        UniqueBstr html;
        const HRESULT hr = document->transformNode(sheetNode.Get(), html.put());
        if (FAILED(hr)) throw std::runtime_error("the transformation failed");
        return platform::BstrText(html.get());
    }
};

}  // namespace

std::unique_ptr<IPageTransformer> MakeDefaultPageTransformer() { return std::make_unique<XsltPageTransformer>(); }

void LowerThreadPriority() { ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_LOWEST); }

}  // namespace Views
