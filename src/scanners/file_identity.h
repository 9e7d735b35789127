// What a file's version resource says, as the scanners and the scan document
// use it: the names (product, company, description), the version texts, the
// file identity element of the scan document, and the forms of the icon
// elements. The choice of strings is pure logic over IVersionInfo; the
// readers by path go through ReadVersionInfo (the platform's version API).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/xml_writer.h"
#include "scanners/version_info.h"

namespace fileid {

struct VersionNames {
    std::string productName;
    std::string companyName;
    std::string fileDescription;
};

struct VersionNumbers {
    std::string fixedFileVersion;  // "%d.%d.%d.%d" of the fixed file version
    std::string fileVersion;       // the FileVersion string
    std::string productVersion;    // the ProductVersion string, or the fixed text (below)
};

// "%d.%d.%d.%d": high and low word of the most significant double word, then
// of the least significant one.
std::string FixedVersionText(uint32_t ms, uint32_t ls);
// "\\StringFileInfo\\%04x%04x" of the language and code page.
std::string StringTablePath(const Translation& translation);

// The names from the first translation's string table; each name that is
// empty there is taken from the table "040904e4". Without a translation table
// all three stay empty.
VersionNames ChooseVersionNames(const IVersionInfo& info);

// The fixed file version text (empty without a root block) and, with a
// translation table, the FileVersion and ProductVersion strings of its first
// table (no other table is tried). A product version whose leading decimal
// number is above 50 (a year such as 2007 rather than a version) is replaced
// by the fixed file version text.
VersionNumbers ChooseVersionNumbers(const IVersionInfo& info);

// The readers by path. GetVersionNames answers kOk, kUnexpected when the file
// has no readable version resource, or kOutOfMemory. GetVersionNumbers answers
// kOk, the system error of the failed read (FromSystemError), or kOutOfMemory.
// The outputs are filled only on success.
HResult GetVersionNames(const std::string& path, VersionNames& names);
HResult GetVersionNumbers(const std::string& path, VersionNumbers& numbers);

// The name under which the scan document writes the identity of an item's file.
inline constexpr char kProcessIdentity[] = "ProcessIdentity";

// Paths this long or longer are not read: the file calls take at most 259
// characters and a cut path could name another file.
inline constexpr size_t kMaxFilePath = 260;

// The file identity element, added under `parent` (or at the top level of
// `doc`) with the name `name`:
//   <name><BaseName>..</BaseName><CheckSum algorithm="MD5">..</CheckSum>
//     <PathName>..</PathName><Version from="FileVersion_FIXEDFILEINFO">..</Version> ...
// BaseName only when given; CheckSum only when `md5` has exactly 32 characters;
// nothing after PathName when the path is empty; the version children only
// when the file's version resource can be read and has a root block.
void AddFileIdentity(vnxml::CXMLElement parent, std::string_view name, std::string_view baseName,
                     const std::string& path, std::string_view md5);
void AddFileIdentity(vnxml::CXMLWriter& doc, std::string_view name, std::string_view baseName,
                     const std::string& path, std::string_view md5);
// The same with the version information given (nullptr: the file has none that
// can be read) instead of read from the path.
void AddFileIdentity(vnxml::CXMLElement parent, std::string_view name, std::string_view baseName,
                     const std::string& path, std::string_view md5, const IVersionInfo* info);
void AddFileIdentity(vnxml::CXMLWriter& doc, std::string_view name, std::string_view baseName,
                     const std::string& path, std::string_view md5, const IVersionInfo* info);
// The element written on its own into memory: the fragment the scan document copies.
std::string FileIdentityXml(std::string_view name, std::string_view baseName, const std::string& path,
                            std::string_view md5);
// The same appended to `out`.
void AppendFileIdentityXml(std::string& out, std::string_view name, std::string_view baseName, const std::string& path,
                           std::string_view md5);

// One icon as the icon encoder describes it.
struct IconText {
    std::string width;
    std::string height;
    std::string pixelDepth;  // "32"
    std::string hasAlpha;    // "false"
    std::string base64;      // the PNG image in Base64; empty when there is no icon
};

// `<icon productID=".." width=".." height=".." pixelDepth=".." hasAlpha=".."
// format="PNG" encoding="Base64">BASE64</icon>` and a line feed; an empty text
// when the icon has no image. Attribute values are escaped.
std::string IconElement(std::string_view productId, const IconText& icon);
// The element sent instead of icons when an item has no file to take them from.
std::string GenericIconElement();

// An icon source as uninstall entries name it ("DisplayIcon"): a file,
// perhaps in double quotes, perhaps followed by a comma and the icon's index
// (a negative one is a resource number), as in "C:\App\app.exe,0". A plain
// program path is a location with index 0.
struct IconLocation {
    std::string path;
    int index = 0;
};
IconLocation ParseIconLocation(std::string_view text);

}  // namespace fileid
