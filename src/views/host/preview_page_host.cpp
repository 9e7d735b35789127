// The host's product pages: the product document shown as text in a plain
// page (the host has no XSLT processor; the Windows build uses MSXML's).
#include "views/preview_page.h"

namespace Views {

namespace {
class PlainPageTransformer : public IPageTransformer {
public:
    std::string Transform(const std::string& productDocument) override {
        std::string escaped;
        for (char c : productDocument) {
            if (c == '<') escaped += "&lt;";
            else if (c == '>') escaped += "&gt;";
            else if (c == '&') escaped += "&amp;";
            else escaped += c;
        }
        return "<html><body><pre>" + escaped + "</pre></body></html>\n";
    }
};
}  // namespace

std::unique_ptr<IPageTransformer> MakeDefaultPageTransformer() { return std::make_unique<PlainPageTransformer>(); }

void LowerThreadPriority() {}

}  // namespace Views
