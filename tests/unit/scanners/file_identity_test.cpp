#include "scanners/file_identity.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/temp_folder.h"
#include "scanners/base64.h"
#include "scanners/version_resource.h"
#include "version_builder.h"

using namespace fileid;
using namespace testdata;

namespace {

std::unique_ptr<CVersionResource> Make(const VersionBlock& root) {
    auto info = CVersionResource::Parse(EncodeBlock(root));
    EXPECT_NE(info, nullptr);
    return info;
}

std::string FixedAll(uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
    return FixedInfo(Version(a, b), Version(c, d), Version(a, b), Version(c, d));
}

// ProductVersion string -> product version chosen, for a file whose fixed
// version is 12.0.4518.1014.
std::string ProductVersionFor(const std::string& text) {
    const auto info = Make(Root(FixedAll(12, 0, 4518, 1014),
                                {StringFileInfo({Table("040904b0", {StringValue("ProductVersion", U16(text)),
                                                                    StringValue("FileVersion", u"12.0")})}),
                                 VarFileInfo({{0x409, 0x4b0}})}));
    return ChooseVersionNumbers(*info).productVersion;
}

std::string IdentityXml(const IVersionInfo* info, const std::string& path = "C:\\App\\app.exe",
                        const std::string& md5 = "") {
    vnxml::CXMLMemorySink sink;
    {
        vnxml::CXMLWriter doc(sink);
        AddFileIdentity(doc, kProcessIdentity, "app.exe", path, md5, info);
    }
    return sink.Str();
}

}  // namespace

TEST(VersionNames, FirstTranslationThenTheEnglishTableFieldByField) {
    const auto info = Make(Root(
        FixedAll(1, 0, 0, 0),
        {StringFileInfo({Table("040704e4", {StringValue("ProductName", u"Produkt"), StringValue("CompanyName", u"")}),
                         Table("040904e4", {StringValue("ProductName", u"Product"),
                                            StringValue("CompanyName", u"Company"),
                                            StringValue("FileDescription", u"Description")})}),
         VarFileInfo({{0x0407, 0x04e4}, {0x0409, 0x04e4}})}));
    const VersionNames names = ChooseVersionNames(*info);
    EXPECT_EQ(names.productName, "Produkt");
    EXPECT_EQ(names.companyName, "Company");        // empty in German
    EXPECT_EQ(names.fileDescription, "Description");  // missing in German
}

TEST(VersionNames, NothingWithoutATranslationTable) {
    const auto info = Make(Root(FixedAll(1, 0, 0, 0),
                                {StringFileInfo({Table("040904e4", {StringValue("ProductName", u"Product")})})}));
    const VersionNames names = ChooseVersionNames(*info);
    EXPECT_EQ(names.productName, "");
    EXPECT_EQ(names.companyName, "");
    EXPECT_EQ(names.fileDescription, "");
}

TEST(VersionNumbers, ProductVersionsThatLookLikeYears) {
    EXPECT_EQ(ProductVersionFor("2007 (12.0.4518)"), "12.0.4518.1014");
    EXPECT_EQ(ProductVersionFor("51"), "12.0.4518.1014");
    EXPECT_EQ(ProductVersionFor("  60.1"), "12.0.4518.1014");  // leading blanks as atoi reads them
    EXPECT_EQ(ProductVersionFor("99999999999999999999999"), "12.0.4518.1014");
    EXPECT_EQ(ProductVersionFor("50.2 beta"), "50.2 beta");
    EXPECT_EQ(ProductVersionFor("12.0"), "12.0");
    EXPECT_EQ(ProductVersionFor("-70"), "-70");
    EXPECT_EQ(ProductVersionFor("v2007"), "v2007");
    EXPECT_EQ(ProductVersionFor(""), "");
}

TEST(VersionNumbers, FixedTextAndNoFallbackTable) {
    // Strings only under 040904e4 while the translation names German: the
    // version strings stay empty (names would fall back, numbers do not).
    const auto info = Make(Root(FixedInfo(Version(65535, 0), Version(1, 2), 0, 0),
                                {StringFileInfo({Table("040904e4", {StringValue("FileVersion", u"9.9"),
                                                                    StringValue("ProductVersion", u"9.9")})}),
                                 VarFileInfo({{0x0407, 0x04b0}})}));
    const VersionNumbers numbers = ChooseVersionNumbers(*info);
    EXPECT_EQ(numbers.fixedFileVersion, "65535.0.1.2");
    EXPECT_EQ(numbers.fileVersion, "");
    EXPECT_EQ(numbers.productVersion, "");

    // Without a root block nothing is read, not even the strings.
    const auto noRoot = Make(Root("", {StringFileInfo({Table("040904e4", {StringValue("FileVersion", u"9.9")})}),
                                       VarFileInfo({{0x0409, 0x04e4}})}));
    const VersionNumbers empty = ChooseVersionNumbers(*noRoot);
    EXPECT_EQ(empty.fixedFileVersion, "");
    EXPECT_EQ(empty.fileVersion, "");
}

TEST(FileIdentity, FullElement) {
    const auto info = Make(Root(
        FixedInfo(Version(1, 2), Version(3, 4), Version(1, 2), 0),
        {StringFileInfo({Table("040904e4", {StringValue("FileVersion", u"1.2.3.4"),
                                            StringValue("ProductVersion", u"1.2"),
                                            StringValue("ProductName", u"Caf\u00e9 & Bar"),
                                            StringValue("FileDescription", u""),
                                            StringValue("CompanyName", u"Not written")})}),
         VarFileInfo({{0x0409, 0x04e4}})}));
    EXPECT_EQ(IdentityXml(info.get(), "C:\\App\\app.exe", "0123456789abcdef0123456789abcdef"),
              "<ProcessIdentity>\n"
              " <BaseName>app.exe</BaseName>\n"
              " <CheckSum algorithm=\"MD5\">0123456789abcdef0123456789abcdef</CheckSum>\n"
              " <PathName>C:\\App\\app.exe</PathName>\n"
              " <Version from=\"FileVersion_FIXEDFILEINFO\">1.2.3.4</Version>\n"
              " <Version from=\"ProductVersion_FIXEDFILEINFO\">1.2.0.0</Version>\n"
              " <Version from=\"FileVersion_String\">1.2.3.4</Version>\n"
              " <Version from=\"ProductVersion_String\">1.2</Version>\n"
              " <Name from=\"ProductName_String\">Caf&#233; &amp; Bar</Name>\n"
              "</ProcessIdentity>");
}

TEST(FileIdentity, WhereTheElementStopsEarly) {
    const auto info = Make(Root(FixedAll(1, 0, 0, 0), {}));
    // A digest that is not 32 characters is left out.
    EXPECT_EQ(IdentityXml(info.get(), "C:\\a.exe", "0123456789abcdef0123456789abcde"),
              "<ProcessIdentity>\n <BaseName>app.exe</BaseName>\n <PathName>C:\\a.exe</PathName>\n"
              " <Version from=\"FileVersion_FIXEDFILEINFO\">1.0.0.0</Version>\n"
              " <Version from=\"ProductVersion_FIXEDFILEINFO\">1.0.0.0</Version>\n</ProcessIdentity>");
    // No path: nothing after the digest.
    EXPECT_EQ(IdentityXml(info.get(), "", "0123456789abcdef0123456789abcdef"),
              "<ProcessIdentity>\n <BaseName>app.exe</BaseName>\n"
              " <CheckSum algorithm=\"MD5\">0123456789abcdef0123456789abcdef</CheckSum>\n</ProcessIdentity>");
    // No readable resource, or no root block: nothing after the path.
    const std::string pathOnly =
        "<ProcessIdentity>\n <BaseName>app.exe</BaseName>\n <PathName>C:\\a.exe</PathName>\n</ProcessIdentity>";
    EXPECT_EQ(IdentityXml(nullptr, "C:\\a.exe"), pathOnly);
    const auto noRoot = Make(Root("", {StringFileInfo({Table("040904e4", {StringValue("ProductName", u"P")})})}));
    EXPECT_EQ(IdentityXml(noRoot.get(), "C:\\a.exe"), pathOnly);
    // A path too long for the file calls is written but not read.
    const std::string longPath = "C:\\" + std::string(kMaxFilePath - 3, 'x');
    EXPECT_EQ(IdentityXml(info.get(), longPath),
              "<ProcessIdentity>\n <BaseName>app.exe</BaseName>\n <PathName>" + longPath +
                  "</PathName>\n</ProcessIdentity>");
    EXPECT_NE(IdentityXml(info.get(), longPath.substr(1)).find("FIXEDFILEINFO"), std::string::npos);
}

TEST(FileIdentity, ZeroFixedVersionsAndTheDefaultTable) {
    // No translation: the default table 040904E4 (matching a table spelled in
    // lower case). A zero product version leaves out both product versions.
    const auto info = Make(Root(FixedInfo(0, 0, 0, 0),
                                {StringFileInfo({Table("040904e4", {StringValue("ProductVersion", u"2.0"),
                                                                    StringValue("FileDescription", u"Tool")})})}));
    EXPECT_EQ(IdentityXml(info.get(), "C:\\a.exe"),
              "<ProcessIdentity>\n <BaseName>app.exe</BaseName>\n <PathName>C:\\a.exe</PathName>\n"
              " <Name from=\"FileDescription_String\">Tool</Name>\n</ProcessIdentity>");
}

TEST(FileIdentity, MissingTableFallsBackToTheFirstOne) {
    const auto info = Make(Root(FixedAll(2, 0, 0, 0),
                                {StringFileInfo({Table("041104b0", {StringValue("ProductName", u"First")}),
                                                 Table("040904e4", {StringValue("ProductName", u"Second")})}),
                                 VarFileInfo({{0x0407, 0x04e4}})}));
    EXPECT_NE(IdentityXml(info.get()).find("<Name from=\"ProductName_String\">First</Name>"), std::string::npos);

    // Without any StringFileInfo the chosen table stays and nothing is found.
    const auto none = Make(Root(FixedAll(2, 0, 0, 0), {VarFileInfo({{0x0407, 0x04e4}})}));
    EXPECT_EQ(IdentityXml(none.get()).find("_String"), std::string::npos);
}

TEST(FileIdentity, UnderAParentAndFromAFile) {
    const testing_support::TempFolder folder("varnel-identity");
    const std::filesystem::path& dir = folder.path();
    const std::string program = (dir / "tool.exe").string();
    std::ofstream(program, std::ios::binary)
        << PeImage(EncodeBlock(Root(FixedAll(4, 5, 6, 7),
                                    {StringFileInfo({Table("040904e4", {StringValue("ProductName", u"Tool")})}),
                                     VarFileInfo({{0x0409, 0x04e4}})})));
    vnxml::CXMLMemorySink sink;
    {
        vnxml::CXMLWriter doc(sink);
        vnxml::CXMLElement item = doc.AddElement("item");
        AddFileIdentity(item, "Identity", "", program, "");
    }
    EXPECT_EQ(sink.Str(), "<item>\n <Identity>\n  <PathName>" + program +
                              "</PathName>\n"
                              "  <Version from=\"FileVersion_FIXEDFILEINFO\">4.5.6.7</Version>\n"
                              "  <Version from=\"ProductVersion_FIXEDFILEINFO\">4.5.6.7</Version>\n"
                              "  <Name from=\"ProductName_String\">Tool</Name>\n </Identity>\n</item>");
    EXPECT_EQ(FileIdentityXml(kProcessIdentity, "x.exe", (dir / "missing.exe").string(), ""),
              "<ProcessIdentity>\n <BaseName>x.exe</BaseName>\n <PathName>" + (dir / "missing.exe").string() +
                  "</PathName>\n</ProcessIdentity>");
}

TEST(IconElements, Forms) {
    IconText icon{"32", "32", "32", "false", "iVBORw0KGgo="};
    EXPECT_EQ(IconElement("1234", icon),
              "<icon productID=\"1234\" width=\"32\" height=\"32\" pixelDepth=\"32\" hasAlpha=\"false\" "
              "format=\"PNG\" encoding=\"Base64\">iVBORw0KGgo=</icon>\n");
    // An identifier from the service cannot break the attribute.
    EXPECT_EQ(IconElement("a\"b<&", icon).substr(0, 38), "<icon productID=\"a&quot;b&lt;&amp;\" wi");
    icon.base64.clear();
    EXPECT_EQ(IconElement("1234", icon), "");
    EXPECT_EQ(GenericIconElement(), "<icon generic=\"true\"></icon>\n");
}

TEST(Base64, Rfc4648VectorsAndBinary) {
    EXPECT_EQ(Base64Encode(""), "");
    EXPECT_EQ(Base64Encode("f"), "Zg==");
    EXPECT_EQ(Base64Encode("fo"), "Zm8=");
    EXPECT_EQ(Base64Encode("foo"), "Zm9v");
    EXPECT_EQ(Base64Encode("foob"), "Zm9vYg==");
    EXPECT_EQ(Base64Encode("fooba"), "Zm9vYmE=");
    EXPECT_EQ(Base64Encode("foobar"), "Zm9vYmFy");
    EXPECT_EQ(Base64Encode(std::string("\x00\xff\xfe\x80", 4)), "AP/+gA==");
    const std::string long_(1000, '\xfb');
    const std::string text = Base64Encode(long_);
    EXPECT_EQ(text.size(), 1336u);
    EXPECT_EQ(text.find('\n'), std::string::npos);  // one line, however long
}

TEST(IconLocation, FileAndIndexAsUninstallEntriesWriteThem) {
    const struct {
        const char* text;
        const char* path;
        int index;
    } cases[] = {
        {"C:\\App\\app.exe", "C:\\App\\app.exe", 0},
        {"C:\\App\\app.exe,0", "C:\\App\\app.exe", 0},
        {" \"C:\\Program Files\\App\\app.exe\" , 2 ", "C:\\Program Files\\App\\app.exe", 2},
        {"\"C:\\App\\app.exe\"", "C:\\App\\app.exe", 0},
        {"%SystemRoot%\\system32\\shell32.dll,-154", "%SystemRoot%\\system32\\shell32.dll", -154},
        {"C:\\Apps,Tools\\app.exe", "C:\\Apps,Tools\\app.exe", 0},  // a comma in the name
        {"C:\\App\\app.exe,x", "C:\\App\\app.exe,x", 0},
        {"C:\\App\\app.exe,99999999999", "C:\\App\\app.exe,99999999999", 0},
        {"\"C:\\App\\app.exe", "C:\\App\\app.exe", 0},  // no closing quote
        {"", "", 0},
    };
    for (const auto& c : cases) {
        const IconLocation where = ParseIconLocation(c.text);
        EXPECT_EQ(where.path, c.path) << c.text;
        EXPECT_EQ(where.index, c.index) << c.text;
    }
}
