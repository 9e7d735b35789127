#include "scan_request.h"

#include <expat.h>

#include <algorithm>
#include <climits>

#include "platform/codepage.h"
#include "platform/text.h"

namespace vnservice {
namespace {

const std::string kEmpty;

// The attributes whose value tells apart elements of the same name in an
// item (GUID type="product", Md5Id src="exe", Version from="...", HwId HexRank="...").
const char* const kQualifiers[] = {"type", "src", "from", "HexRank"};

struct Open {
    std::string name;
    std::string text;
    std::string qualifier;
    bool hasChild = false;
};

class Reader {
public:
    Reader(ScanRequest& request, const ParseLimits& limits) : req_(request), limits_(limits) {}

    // Feeds the document to the parser in blocks; a document that is not
    // UTF-8 is converted from the code page one block at a time, so that the
    // converted text never exists whole beside the original.
    bool Parse(std::string_view document, bool fromCodePage, std::string& error) {
        XML_Parser parser = XML_ParserCreate("UTF-8");  // overrides any declaration
        if (!parser) {
            error = "out of memory";
            return false;
        }
        parser_ = parser;
        XML_SetUserData(parser, this);
        XML_SetElementHandler(parser, &Reader::OnStart, &Reader::OnEnd);
        XML_SetCharacterDataHandler(parser, &Reader::OnText);
        XML_SetStartDoctypeDeclHandler(parser, &Reader::OnDoctype);
        constexpr size_t kBlock = 64 * 1024;
        bool parsed = true;
        std::string converted;
        for (size_t at = 0; parsed;) {
            size_t size = std::min(kBlock, document.size() - at);
            if (fromCodePage) {
                // Never split a double-byte character between blocks.
                size_t i = at;
                while (i < at + size) i += platform::IsAnsiLeadByte(static_cast<unsigned char>(document[i])) ? 2 : 1;
                size = std::min(i, document.size()) - at;
            }
            std::string_view block = document.substr(at, size);
            if (fromCodePage) {
                converted = platform::AnsiToUtf8(block);
                block = converted;
            }
            at += size;
            const bool last = at >= document.size();
            parsed = XML_Parse(parser, block.data(), static_cast<int>(block.size()), last ? XML_TRUE : XML_FALSE) ==
                     XML_STATUS_OK;
            if (last) break;
        }
        if (!parsed && error_.empty()) {
            error_ = textutil::Format("malformed XML at line %lu: %s",
                                      static_cast<unsigned long>(XML_GetCurrentLineNumber(parser)),
                                      XML_ErrorString(XML_GetErrorCode(parser)));
        }
        XML_ParserFree(parser);
        error = error_;
        return error_.empty();
    }

private:
    static void XMLCALL OnStart(void* self, const XML_Char* name, const XML_Char** attrs) {
        static_cast<Reader*>(self)->Start(name, attrs);
    }
    static void XMLCALL OnEnd(void* self, const XML_Char*) { static_cast<Reader*>(self)->End(); }
    static void XMLCALL OnText(void* self, const XML_Char* text, int len) {
        static_cast<Reader*>(self)->Text(text, static_cast<size_t>(len));
    }
    static void XMLCALL OnDoctype(void* self, const XML_Char*, const XML_Char*, const XML_Char*, int) {
        static_cast<Reader*>(self)->Stop("document type declarations are not accepted");
    }

    void Stop(std::string message) {
        if (error_.empty()) error_ = std::move(message);
        XML_StopParser(parser_, XML_FALSE);
    }
    // Refused for its size rather than its form.
    void TooLarge(std::string message) {
        if (error_.empty()) tooLarge_ = true;
        Stop(std::move(message));
    }

public:
    bool tooLarge() const { return tooLarge_; }

private:

    static const char* Attribute(const XML_Char** attrs, const char* name) {
        for (size_t i = 0; attrs[i]; i += 2)
            if (std::string_view(attrs[i]) == name) return attrs[i + 1];
        return nullptr;
    }

    bool Under(size_t depth, const char* name) const {
        return stack_.size() > depth && textutil::EqualsNoCase(stack_[depth].name, name);
    }
    bool InItem() const { return Under(1, "software.scanned") && Under(2, "item") && !req_.items.empty(); }

    void Start(const char* name, const XML_Char** attrs) {
        if (!error_.empty()) return;
        const size_t depth = stack_.size();
        if (depth >= limits_.maxDepth) return Stop("elements nested too deeply");
        if (depth == 0) {
            if (!textutil::EqualsNoCase(name, "meridox"))
                return Stop(std::string("root element is <") + name + ">, not a scan document");
            const auto take = [&](const char* attr, std::string& into) {
                if (const char* v = Attribute(attrs, attr)) into = v;
            };
            take("clientVersion", req_.clientVersion);
            take("clientPlatform", req_.clientPlatform);
            take("revision", req_.revision);
        } else {
            stack_.back().hasChild = true;
        }
        Open open;
        open.name = name;
        for (const char* q : kQualifiers)
            if (const char* v = Attribute(attrs, q)) {
                open.qualifier = v;
                break;
            }
        stack_.push_back(std::move(open));

        if (depth == 1 && textutil::EqualsNoCase(name, "software.scanned")) {
            req_.isCheck = true;
        } else if (depth == 1 && textutil::EqualsNoCase(name, "authentication")) {
            if (const char* v = Attribute(attrs, "type")) req_.authType = v;
        } else if (depth == 2 && Under(1, "software.scanned") && textutil::EqualsNoCase(name, "item")) {
            if (req_.items.size() >= limits_.maxItems) return TooLarge("too many items");
            req_.items.emplace_back();
        } else if (depth == 3 && InItem() && textutil::EqualsNoCase(name, "icon")) {
            if (!CountField()) return;
            ItemIcon icon;
            const auto take = [&](const char* attr, std::string& into) {
                if (const char* v = Attribute(attrs, attr)) into = v;
            };
            const char* generic = Attribute(attrs, "generic");
            icon.generic = generic && textutil::EqualsNoCase(generic, "true");
            take("productID", icon.productId);
            take("width", icon.width);
            take("height", icon.height);
            take("format", icon.format);
            take("encoding", icon.encoding);
            req_.items.back().icons.push_back(std::move(icon));
        }
    }

    void Text(const char* text, size_t len) {
        if (!error_.empty() || stack_.empty()) return;
        std::string& into = stack_.back().text;
        if (into.size() + len > limits_.maxTextBytes)
            return TooLarge("text of <" + stack_.back().name + "> is too long");
        into.append(text, len);
    }

    // Counts one more field (element or icon) of the current item; false,
    // with the parse stopped, past the limits.
    bool CountField() {
        const RequestItem& item = req_.items.back();
        if (item.fields.size() + item.icons.size() >= limits_.maxFieldsPerItem) {
            TooLarge("too many elements in one item");
            return false;
        }
        if (++fields_ > limits_.maxFieldsPerDocument) {
            TooLarge("too many elements in the document");
            return false;
        }
        return true;
    }

    // The path of the closing element below the element at `base` ("a/b/c").
    std::string PathFrom(size_t base) const {
        std::string path;
        for (size_t i = base; i < stack_.size(); ++i) {
            if (!path.empty()) path += '/';
            path += stack_[i].name;
        }
        return path;
    }

    void End() {
        if (!error_.empty() || stack_.empty()) return;
        const size_t depth = stack_.size() - 1;  // depth of the closing element
        const Open& open = stack_.back();
        const bool leaf = !open.hasChild;

        if (depth == 1 && leaf) {
            if (textutil::EqualsNoCase(open.name, "scanid")) req_.scanId = textutil::Trim(open.text);
            else if (textutil::EqualsNoCase(open.name, "timestamp")) req_.timestamp = textutil::Trim(open.text);
        } else if (depth == 2 && leaf && Under(1, "authentication")) {
            const std::string text = textutil::Trim(open.text);
            if (textutil::EqualsNoCase(open.name, "machinename")) req_.machineName = text;
            else if (textutil::EqualsNoCase(open.name, "machineid")) req_.machineId = text;
            else if (textutil::EqualsNoCase(open.name, "exclusionListDate")) req_.exclusionListDate = text;
        } else if (depth >= 2 && leaf && (Under(1, "systemProfile") || Under(1, "clientsettings"))) {
            auto& map = Under(1, "systemProfile") ? req_.profile : req_.clientSettings;
            if (map.size() < limits_.maxFieldsPerItem) map[PathFrom(2)] = textutil::Trim(open.text);
        } else if (depth == 3 && InItem() && textutil::EqualsNoCase(open.name, "icon")) {
            req_.items.back().icons.back().data = textutil::Trim(open.text);
        } else if (depth >= 3 && leaf && InItem()) {
            RequestItem& item = req_.items.back();
            if (!CountField()) return;
            std::string name = PathFrom(3);
            if (!open.qualifier.empty()) name += "[" + open.qualifier + "]";
            item.fields.push_back({std::move(name), textutil::Trim(open.text)});
        }
        stack_.pop_back();
    }

    ScanRequest& req_;
    const ParseLimits& limits_;
    XML_Parser parser_ = nullptr;
    std::vector<Open> stack_;
    std::string error_;
    bool tooLarge_ = false;
    size_t fields_ = 0;
};

}  // namespace

const std::string& RequestItem::Field(std::string_view name) const {
    for (const ItemField& f : fields)
        if (f.name == name) return f.text;
    return kEmpty;
}

bool RequestItem::Has(std::string_view name) const {
    for (const ItemField& f : fields)
        if (f.name == name) return true;
    return false;
}

bool IsValidUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const unsigned char b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        size_t len;
        unsigned cp;
        if (b >= 0xC2 && b <= 0xDF) len = 2, cp = b & 0x1Fu;
        else if (b >= 0xE0 && b <= 0xEF) len = 3, cp = b & 0x0Fu;
        else if (b >= 0xF0 && b <= 0xF4) len = 4, cp = b & 0x07u;
        else return false;
        if (i + len > s.size()) return false;
        for (size_t k = 1; k < len; ++k) {
            const unsigned char c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3Fu);
        }
        static const unsigned kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

ParsedRequest ParseScanRequest(std::string_view document, const ParseLimits& limits) {
    ParsedRequest result;
    if (document.size() > static_cast<size_t>(INT_MAX) / 2) {
        result.error = "document too large";
        return result;
    }
    // Agents on Western systems may send Windows-1252 bytes; take those as such.
    Reader reader(result.request, limits);
    std::string error;
    result.ok = reader.Parse(document, !IsValidUtf8(document), error);
    if (!result.ok) {
        result.error = error;
        result.tooLarge = reader.tooLarge();
        result.request = ScanRequest();
    }
    return result;
}

}  // namespace vnservice
