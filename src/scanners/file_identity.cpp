#include "scanners/file_identity.h"

#include <climits>

#include "platform/text.h"

namespace fileid {

HResult FromSystemError(uint32_t error) {
    if (error == 0) return kFail;
    // Already a failure code (high bit set): keep it, as HRESULT_FROM_WIN32 does.
    if (error & 0x80000000u) return static_cast<HResult>(error);
    return static_cast<HResult>((error & 0xFFFFu) | 0x80070000u);
}

std::string FixedVersionText(uint32_t ms, uint32_t ls) {
    return textutil::Format("%d.%d.%d.%d", static_cast<int>(ms >> 16), static_cast<int>(ms & 0xFFFF),
                            static_cast<int>(ls >> 16), static_cast<int>(ls & 0xFFFF));
}

std::string StringTablePath(const Translation& translation) {
    return textutil::Format("\\StringFileInfo\\%04x%04x", static_cast<unsigned>(translation.language),
                            static_cast<unsigned>(translation.codePage));
}

namespace {

constexpr char kFallbackTable[] = "\\StringFileInfo\\040904e4";
// The identity element's default table is spelled in capitals; keys compare
// without regard to case, so it names the same table.
constexpr char kDefaultIdentityTable[] = "\\StringFileInfo\\040904E4";

std::string TextOf(const IVersionInfo& info, const std::string& subBlock) {
    return info.Text(subBlock).value_or(std::string());
}

// The decimal number at the start of the text, read as atoi reads it (leading
// white space, an optional sign, digits), but saturating instead of overflowing.
long LeadingNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && textutil::IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long n = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (n > (LONG_MAX - digit) / 10) {
            n = LONG_MAX;
            break;
        }
        n = n * 10 + digit;
    }
    return negative ? -n : n;
}

bool IsZero(uint32_t ms, uint32_t ls) { return ms == 0 && ls == 0; }

}  // namespace

VersionNames ChooseVersionNames(const IVersionInfo& info) {
    VersionNames names;
    const std::optional<Translation> translation = info.FirstTranslation();
    if (!translation) return names;
    const std::string table = StringTablePath(*translation);
    struct Field {
        const char* key;
        std::string* out;
    };
    const Field fields[] = {{"\\ProductName", &names.productName},
                            {"\\CompanyName", &names.companyName},
                            {"\\FileDescription", &names.fileDescription}};
    for (const Field& f : fields) {
        *f.out = TextOf(info, table + f.key);
        if (f.out->empty()) *f.out = TextOf(info, std::string(kFallbackTable) + f.key);
    }
    return names;
}

VersionNumbers ChooseVersionNumbers(const IVersionInfo& info) {
    VersionNumbers numbers;
    const std::optional<FixedFileInfo> fixed = info.Fixed();
    if (!fixed) return numbers;
    numbers.fixedFileVersion = FixedVersionText(fixed->fileVersionMS, fixed->fileVersionLS);
    const std::optional<Translation> translation = info.FirstTranslation();
    if (!translation) return numbers;
    const std::string table = StringTablePath(*translation);
    numbers.fileVersion = TextOf(info, table + "\\FileVersion");
    numbers.productVersion = TextOf(info, table + "\\ProductVersion");
    if (LeadingNumber(numbers.productVersion) > 50) numbers.productVersion = numbers.fixedFileVersion;
    return numbers;
}

HResult GetVersionNames(const std::string& path, VersionNames& names) {
    const VersionInfoRead read = ReadVersionInfo(path);
    if (read.result == kOutOfMemory) return kOutOfMemory;
    if (read.result != kOk || !read.info) return kUnexpected;
    names = ChooseVersionNames(*read.info);
    return kOk;
}

HResult GetVersionNumbers(const std::string& path, VersionNumbers& numbers) {
    const VersionInfoRead read = ReadVersionInfo(path);
    if (read.result != kOk) return read.result;
    if (!read.info) return kFail;
    numbers = ChooseVersionNumbers(*read.info);
    return kOk;
}

// ---------------------------------------------------------------- identity element

namespace {

// The children up to PathName. False when the version children are not to be
// written (no path, or a path too long for the file calls).
bool WriteIdentityHead(vnxml::CXMLElement& element, std::string_view baseName, const std::string& path,
                       std::string_view md5) {
    if (!baseName.empty()) element.AddTextElement("BaseName", baseName);
    if (md5.size() == 32) {
        vnxml::CXMLElement sum = element.AddElement("CheckSum");
        sum.SetAttribute("algorithm", "MD5");
        sum.SetText(md5);
    }
    if (path.empty()) return false;
    element.AddTextElement("PathName", path);
    return path.size() < kMaxFilePath;
}

void AddTagged(vnxml::CXMLElement& element, const char* name, const char* from, std::string_view text) {
    vnxml::CXMLElement child = element.AddElement(name);
    child.SetAttribute("from", from);
    child.SetText(text);
}

void WriteIdentityVersions(vnxml::CXMLElement& element, const IVersionInfo& info) {
    const std::optional<FixedFileInfo> fixed = info.Fixed();
    if (!fixed) return;
    if (!IsZero(fixed->fileVersionMS, fixed->fileVersionLS)) {
        AddTagged(element, "Version", "FileVersion_FIXEDFILEINFO",
                  FixedVersionText(fixed->fileVersionMS, fixed->fileVersionLS));
    }
    const bool hasProductVersion = !IsZero(fixed->productVersionMS, fixed->productVersionLS);
    if (hasProductVersion) {
        AddTagged(element, "Version", "ProductVersion_FIXEDFILEINFO",
                  FixedVersionText(fixed->productVersionMS, fixed->productVersionLS));
    }

    // The first translation's table; when that table is missing, the first
    // table the resource has.
    std::string table = kDefaultIdentityTable;
    if (const std::optional<Translation> translation = info.FirstTranslation()) {
        table = StringTablePath(*translation);
    }
    if (!info.HasBlock(table) && info.HasBlock("\\StringFileInfo")) {
        if (const std::optional<std::string> first = info.FirstChildKey("\\StringFileInfo")) {
            table = "\\StringFileInfo\\" + *first;
        }
    }

    struct Entry {
        const char* element;
        const char* from;
        const char* key;
        bool wanted;
    };
    const Entry entries[] = {
        {"Version", "FileVersion_String", "\\FileVersion", true},
        {"Version", "ProductVersion_String", "\\ProductVersion", hasProductVersion},
        {"Name", "ProductName_String", "\\ProductName", true},
        {"Name", "FileDescription_String", "\\FileDescription", true},
    };
    for (const Entry& e : entries) {
        if (!e.wanted) continue;
        const std::string text = TextOf(info, table + e.key);
        if (!text.empty()) AddTagged(element, e.element, e.from, text);
    }
}

template <typename Parent>
void AddIdentity(Parent& parent, std::string_view name, std::string_view baseName, const std::string& path,
                 std::string_view md5, const IVersionInfo* given, bool readFile) {
    vnxml::CXMLElement element = parent.AddElement(name);
    if (!WriteIdentityHead(element, baseName, path, md5)) return;
    if (!readFile) {
        if (given) WriteIdentityVersions(element, *given);
        return;
    }
    const VersionInfoRead read = ReadVersionInfo(path);
    if (read.result == kOk && read.info) WriteIdentityVersions(element, *read.info);
}

}  // namespace

void AddFileIdentity(vnxml::CXMLElement parent, std::string_view name, std::string_view baseName,
                     const std::string& path, std::string_view md5) {
    AddIdentity(parent, name, baseName, path, md5, nullptr, true);
}

void AddFileIdentity(vnxml::CXMLWriter& doc, std::string_view name, std::string_view baseName,
                     const std::string& path, std::string_view md5) {
    AddIdentity(doc, name, baseName, path, md5, nullptr, true);
}

void AddFileIdentity(vnxml::CXMLElement parent, std::string_view name, std::string_view baseName,
                     const std::string& path, std::string_view md5, const IVersionInfo* info) {
    AddIdentity(parent, name, baseName, path, md5, info, false);
}

void AddFileIdentity(vnxml::CXMLWriter& doc, std::string_view name, std::string_view baseName,
                     const std::string& path, std::string_view md5, const IVersionInfo* info) {
    AddIdentity(doc, name, baseName, path, md5, info, false);
}

std::string FileIdentityXml(std::string_view name, std::string_view baseName, const std::string& path,
                            std::string_view md5) {
    std::string out;
    AppendFileIdentityXml(out, name, baseName, path, md5);
    return out;
}

void AppendFileIdentityXml(std::string& out, std::string_view name, std::string_view baseName, const std::string& path,
                           std::string_view md5) {
    vnxml::CXMLStringSink sink(out);
    vnxml::CXMLWriter doc(sink);
    AddFileIdentity(doc, name, baseName, path, md5);
}

// ---------------------------------------------------------------- icon elements

std::string IconElement(std::string_view productId, const IconText& icon) {
    if (icon.base64.empty()) return std::string();
    std::string out = "<icon productID=\"";
    out += vnxml::EscapeXmlText(productId, 0);
    out += "\" width=\"";
    out += vnxml::EscapeXmlText(icon.width, 0);
    out += "\" height=\"";
    out += vnxml::EscapeXmlText(icon.height, 0);
    out += "\" pixelDepth=\"";
    out += vnxml::EscapeXmlText(icon.pixelDepth, 0);
    out += "\" hasAlpha=\"";
    out += vnxml::EscapeXmlText(icon.hasAlpha, 0);
    out += "\" format=\"PNG\" encoding=\"Base64\">";
    out += icon.base64;
    out += "</icon>\n";
    return out;
}

std::string GenericIconElement() { return "<icon generic=\"true\"></icon>\n"; }

IconLocation ParseIconLocation(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    IconLocation where;
    std::string_view rest;
    if (!text.empty() && text.front() == '"') {
        const size_t close = text.find('"', 1);
        where.path = std::string(text.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
        rest = close == std::string_view::npos ? std::string_view() : text.substr(close + 1);
    } else {
        const size_t comma = text.rfind(',');
        where.path = std::string(text.substr(0, comma));
        rest = comma == std::string_view::npos ? std::string_view() : text.substr(comma);
    }
    // ",N" after the file, N an optional sign and digits; anything else after
    // an unquoted comma belongs to the file name.
    while (!rest.empty() && blank(rest.front())) rest.remove_prefix(1);
    if (rest.empty() || rest.front() != ',') {
        if (!rest.empty() && text.front() != '"') where.path = std::string(text);
        return where;
    }
    rest.remove_prefix(1);
    while (!rest.empty() && blank(rest.front())) rest.remove_prefix(1);
    const bool negative = !rest.empty() && rest.front() == '-';
    if (negative) rest.remove_prefix(1);
    long long index = 0;
    bool digits = !rest.empty();
    for (char c : rest) {
        if (c < '0' || c > '9' || index > INT_MAX / 10) {
            digits = false;
            break;
        }
        index = index * 10 + (c - '0');
    }
    if (!digits) {
        if (text.front() != '"') where.path = std::string(text);
        return where;
    }
    while (!where.path.empty() && blank(where.path.back())) where.path.pop_back();
    where.index = static_cast<int>(negative ? -index : index);
    return where;
}

}  // namespace fileid
