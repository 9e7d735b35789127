// The host's exclusion-list writer: the reply is read with the SAX reader and
// the first /meridox/status/exclusion element is written out again as UTF-8
// (names included: the reader hands them over in the ANSI code page).
// Failure codes are those MSXML reports in the same situations (S_FALSE for
// a document that does not load and for a missing node, E_FAIL for a file
// that cannot be written), so that the log reads the same on both.
#include <string>
#include <vector>

#include "inventory/exclusion_file.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/sax.h"
#include "platform/text.h"

namespace inventory {
namespace {

constexpr unsigned kSFalse = 0x1;
constexpr unsigned kEFail = 0x80004005;

void Escape(std::string& out, const std::string& ansi, bool attribute) {
    for (char c : platform::AnsiToUtf8(ansi)) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"':
                if (attribute) {
                    out += "&quot;";
                    break;
                }
                [[fallthrough]];
            default: out += c;
        }
    }
}

class ExclusionCopier final : public platform::ISaxHandler {
public:
    bool StartElement(const std::string& name, const platform::SaxAttributes& attributes) override {
        path_.push_back(name);
        if (depth_ == 0 && !found_ && path_.size() == 3 && path_[0] == "meridox" && path_[1] == "status" &&
            path_[2] == "exclusion")
            found_ = true;
        else if (depth_ == 0)
            return true;
        CloseStartTag();
        ++depth_;
        out_ += '<';
        out_ += platform::AnsiToUtf8(name);
        for (const platform::SaxAttribute& attribute : attributes) {
            out_ += ' ';
            out_ += platform::AnsiToUtf8(attribute.name);
            out_ += "=\"";
            Escape(out_, attribute.value, true);
            out_ += '"';
        }
        openTag_ = true;
        return true;
    }

    bool EndElement(const std::string& name) override {
        if (!path_.empty()) path_.pop_back();
        if (depth_ == 0) return true;
        --depth_;
        if (openTag_) {
            out_ += "/>";
            openTag_ = false;
        } else {
            out_ += "</" + platform::AnsiToUtf8(name) + ">";
        }
        return true;
    }

    bool Characters(const std::string& text) override {
        if (depth_ == 0) return true;
        CloseStartTag();
        Escape(out_, text, false);
        return true;
    }

    bool Found() const { return found_; }
    const std::string& Element() const { return out_; }

private:
    void CloseStartTag() {
        if (!openTag_) return;
        out_ += '>';
        openTag_ = false;
    }

    std::vector<std::string> path_;
    bool found_ = false;
    int depth_ = 0;
    bool openTag_ = false;
    std::string out_;
};

void Report(const std::string& line) { vnlog::Debug(line + "\n"); }

}  // namespace

int SaveExclusionDocument(std::string_view replyText, const std::string& outputPath) {
    platform::SaxReaderCreation created = platform::CreateSaxReader();
    if (!created.reader) {
        Report(textutil::Format("Error loading XML input from CA. Error code = 0x%x", created.error));
        return 1;
    }
    ExclusionCopier copier;
    if (created.reader->ParseAnsi(replyText, copier) != platform::SaxResult::Complete) {
        Report(textutil::Format("Error loading XML input from CA. Error code = 0x%x", kSFalse));
        return 1;
    }
    if (!copier.Found()) {
        Report(textutil::Format("Error retrieving exclusion node from xml. Error code = 0x%x", kSFalse));
        return 1;
    }
    const std::string document = "<?xml version='1.0'?>\r\n" + copier.Element() + "\r\n";
    if (!platform::WriteFileAtomically(outputPath, document)) {
        Report(textutil::Format("Error save new exclusion list. Error code = 0x%x", kEFail));
        Report("Output file name: " + outputPath);
        return 1;
    }
    Report("Successfully saved new exclution list to: " + outputPath);
    return 0;
}

}  // namespace inventory
