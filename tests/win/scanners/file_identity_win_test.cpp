// The version readers and the file identity element on programs whose
// version resources windres compiled, read through the real version API; and
// the portable parser checked against that API on the same files.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>

#include "common/temp_folder.h"
#include "fixtures.h"
#include "platform/win/wide.h"
#include "platform/win/win.h"
#include "scanners/file_cache.h"
#include "scanners/file_identity.h"
#include "scanners/version_resource.h"
#include "scanners/win/file_md5.h"
#include "scanners/win/remote_data.h"

using namespace fileid;

namespace {

const char* const kVersionFixtures[] = {"several_tables.exe", "fallback_table.exe", "product_2007.exe",
                                        "product_50.exe", "no_translation.exe"};

std::string Identity(const std::string& file) {
    return FileIdentityXml(kProcessIdentity, file, FixturePath(file), "");
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

}  // namespace

TEST(VersionReadersWin, NamesComeFromTheFirstTranslationsTable) {
    VersionNames names;
    ASSERT_EQ(GetVersionNames(FixturePath("several_tables.exe"), names), kOk);
    EXPECT_EQ(names.productName, "Beispiel");
    EXPECT_EQ(names.companyName, "Firma M\xfcller");  // through the ANSI code page
    EXPECT_EQ(names.fileDescription, "Beispielprogramm");

    VersionNumbers numbers;
    ASSERT_EQ(GetVersionNumbers(FixturePath("several_tables.exe"), numbers), kOk);
    EXPECT_EQ(numbers.fixedFileVersion, "1.2.3.4");
    EXPECT_EQ(numbers.fileVersion, "1.2.3.4 de");
    EXPECT_EQ(numbers.productVersion, "1.2 de");
}

TEST(VersionReadersWin, NamesFallBackToTheEnglishTableButVersionsDoNot) {
    VersionNames names;
    ASSERT_EQ(GetVersionNames(FixturePath("fallback_table.exe"), names), kOk);
    EXPECT_EQ(names.productName, "Fallback");
    EXPECT_EQ(names.companyName, "Fallback Ltd");
    EXPECT_EQ(names.fileDescription, "Fallback tool");

    VersionNumbers numbers;
    ASSERT_EQ(GetVersionNumbers(FixturePath("fallback_table.exe"), numbers), kOk);
    EXPECT_EQ(numbers.fixedFileVersion, "3.1.0.7");
    EXPECT_EQ(numbers.fileVersion, "");
    EXPECT_EQ(numbers.productVersion, "");
}

TEST(VersionReadersWin, ProductVersionStartingAboveFiftyBecomesTheFixedVersion) {
    VersionNumbers year;
    ASSERT_EQ(GetVersionNumbers(FixturePath("product_2007.exe"), year), kOk);
    EXPECT_EQ(year.productVersion, "12.0.4518.1014");
    EXPECT_EQ(year.fileVersion, "12.0.4518.1014");

    VersionNumbers fifty;
    ASSERT_EQ(GetVersionNumbers(FixturePath("product_50.exe"), fifty), kOk);
    EXPECT_EQ(fifty.productVersion, "50.2 beta");
    EXPECT_EQ(fifty.fixedFileVersion, "50.2.0.1");
}

TEST(VersionReadersWin, FilesWithoutVersionResourceOrTranslation) {
    VersionNames names;
    VersionNumbers numbers;
    EXPECT_EQ(GetVersionNames(FixturePath("no_version.exe"), names), kUnexpected);
    EXPECT_EQ(GetVersionNames(FixturePath("missing.exe"), names), kUnexpected);
    const HResult result = GetVersionNumbers(FixturePath("no_version.exe"), numbers);
    EXPECT_NE(result, kOk);
    EXPECT_EQ(static_cast<uint32_t>(result) & 0xFFFF0000u, 0x80070000u) << std::hex << result;
    EXPECT_NE(GetVersionNumbers(FixturePath("missing.exe"), numbers), kOk);

    // Strings but no translation table: the names stay empty and it is a success.
    names.productName = "stale";
    ASSERT_EQ(GetVersionNames(FixturePath("no_translation.exe"), names), kOk);
    EXPECT_EQ(names.productName, "");
    EXPECT_EQ(names.companyName, "");
    ASSERT_EQ(GetVersionNumbers(FixturePath("no_translation.exe"), numbers), kOk);
    EXPECT_EQ(numbers.fixedFileVersion, "0.0.0.0");
    EXPECT_EQ(numbers.productVersion, "");
}

// A missing program file or folder is answered without the version API; the
// answer must be the one that API gives for it.
TEST(VersionReadersWin, MissingFilesFailAsTheVersionApiDoes) {
    for (const std::string& path : {FixturePath("missing.exe"), FixturePath("no such folder\\missing.exe")}) {
        DWORD handle = 0;
        ASSERT_EQ(::GetFileVersionInfoSizeW(platform::Widen(path).c_str(), &handle), 0u) << path;
        const HResult expected = FromSystemError(::GetLastError());
        EXPECT_EQ(ReadVersionBytes(path).result, expected) << path;
        VersionNumbers numbers;
        EXPECT_EQ(GetVersionNumbers(path, numbers), expected) << path;
    }
}

TEST(FileIdentityWin, ElementFromTheFirstTranslationsTable) {
    EXPECT_EQ(Identity("several_tables.exe"),
              "<ProcessIdentity>\n"
              " <BaseName>several_tables.exe</BaseName>\n"
              " <PathName>" + FixturePath("several_tables.exe") + "</PathName>\n"
              " <Version from=\"FileVersion_FIXEDFILEINFO\">1.2.3.4</Version>\n"
              " <Version from=\"ProductVersion_FIXEDFILEINFO\">1.2.0.0</Version>\n"
              " <Version from=\"FileVersion_String\">1.2.3.4 de</Version>\n"
              " <Version from=\"ProductVersion_String\">1.2 de</Version>\n"
              " <Name from=\"ProductName_String\">Beispiel</Name>\n"
              " <Name from=\"FileDescription_String\">Beispielprogramm</Name>\n"
              "</ProcessIdentity>");
}

TEST(FileIdentityWin, MissingTableFallsBackToTheFirstTableThere) {
    EXPECT_EQ(Identity("fallback_table.exe"),
              "<ProcessIdentity>\n"
              " <BaseName>fallback_table.exe</BaseName>\n"
              " <PathName>" + FixturePath("fallback_table.exe") + "</PathName>\n"
              " <Version from=\"FileVersion_FIXEDFILEINFO\">3.1.0.7</Version>\n"
              " <Version from=\"ProductVersion_FIXEDFILEINFO\">3.1.0.0</Version>\n"
              " <Version from=\"FileVersion_String\">3.1.0.7</Version>\n"
              " <Version from=\"ProductVersion_String\">3.1</Version>\n"
              " <Name from=\"ProductName_String\">Fallback</Name>\n"
              " <Name from=\"FileDescription_String\">Fallback tool</Name>\n"
              "</ProcessIdentity>");
}

TEST(FileIdentityWin, ZeroFixedVersionsAndNoResource) {
    // No translation: the default table; zero fixed versions: no fixed texts and
    // no product version string.
    EXPECT_EQ(Identity("no_translation.exe"),
              "<ProcessIdentity>\n"
              " <BaseName>no_translation.exe</BaseName>\n"
              " <PathName>" + FixturePath("no_translation.exe") + "</PathName>\n"
              " <Version from=\"FileVersion_String\">0.9</Version>\n"
              " <Name from=\"ProductName_String\">Untranslated</Name>\n"
              " <Name from=\"FileDescription_String\">Untranslated tool</Name>\n"
              "</ProcessIdentity>");
    EXPECT_EQ(Identity("no_version.exe"),
              "<ProcessIdentity>\n"
              " <BaseName>no_version.exe</BaseName>\n"
              " <PathName>" + FixturePath("no_version.exe") + "</PathName>\n"
              "</ProcessIdentity>");
}

// The portable parser must answer as VerQueryValue does, both on the buffer
// GetFileVersionInfo returns and on the resource it finds in the file itself.
TEST(VersionResourceWin, PortableParserAgreesWithTheVersionApi) {
    for (const char* file : kVersionFixtures) {
        SCOPED_TRACE(file);
        const std::string path = FixturePath(file);
        const VersionInfoRead api = ReadVersionInfo(path);
        ASSERT_EQ(api.result, kOk);

        const std::wstring wide = platform::Widen(path);
        DWORD handle = 0;
        const DWORD size = ::GetFileVersionInfoSizeW(wide.c_str(), &handle);
        ASSERT_GT(size, 0u);
        std::string buffer(size, '\0');
        ASSERT_TRUE(::GetFileVersionInfoW(wide.c_str(), 0, size, &buffer[0]));

        const std::string image = ReadBytes(path);
        const std::optional<std::string_view> inFile = FindVersionResource(image);
        ASSERT_TRUE(inFile.has_value());

        for (const std::string& bytes : {buffer, std::string(*inFile)}) {
            const std::unique_ptr<CVersionResource> parsed = CVersionResource::Parse(bytes);
            ASSERT_NE(parsed, nullptr);
            const IVersionInfo& a = *api.info;
            const IVersionInfo& b = *parsed;
            ASSERT_EQ(a.Fixed().has_value(), b.Fixed().has_value());
            EXPECT_EQ(a.Fixed()->fileVersionMS, b.Fixed()->fileVersionMS);
            EXPECT_EQ(a.Fixed()->fileVersionLS, b.Fixed()->fileVersionLS);
            EXPECT_EQ(a.Fixed()->productVersionMS, b.Fixed()->productVersionMS);
            EXPECT_EQ(a.Fixed()->productVersionLS, b.Fixed()->productVersionLS);
            ASSERT_EQ(a.FirstTranslation().has_value(), b.FirstTranslation().has_value());
            if (a.FirstTranslation()) {
                EXPECT_EQ(a.FirstTranslation()->language, b.FirstTranslation()->language);
                EXPECT_EQ(a.FirstTranslation()->codePage, b.FirstTranslation()->codePage);
            }
            EXPECT_EQ(a.FirstChildKey("\\StringFileInfo"), b.FirstChildKey("\\StringFileInfo"));
            for (const char* table : {"040704e4", "040904E4", "040904b0", "040704b0"}) {
                const std::string base = std::string("\\StringFileInfo\\") + table;
                EXPECT_EQ(a.HasBlock(base), b.HasBlock(base)) << base;
                for (const char* key : {"CompanyName", "FileDescription", "FileVersion", "productname",
                                        "ProductVersion", "Comments"}) {
                    const std::string sub = base + "\\" + key;
                    EXPECT_EQ(a.Text(sub), b.Text(sub)) << sub;
                }
            }
            EXPECT_EQ(a.HasBlock("\\VarFileInfo"), b.HasBlock("\\VarFileInfo"));
            EXPECT_EQ(a.HasBlock("\\NoSuchBlock"), b.HasBlock("\\NoSuchBlock"));
        }
    }
    // No resource in the program: the file lookup agrees with the API.
    EXPECT_FALSE(FindVersionResource(ReadBytes(FixturePath("no_version.exe"))).has_value());
    EXPECT_NE(ReadVersionInfo(FixturePath("no_version.exe")).result, kOk);
}

// A program whose data is elsewhere (a cloud placeholder, an offline file) is
// read neither for its version nor for its digest, since the read would
// download it; the file cache keeps no answer for it, so once the file is
// local the next pass reads it.
TEST(RemoteDataWin, AProgramWhoseDataIsElsewhereIsReadOnlyOnceItIsLocal) {
    const testing_support::TempFolder folder("varnel-remote-data");
    const std::string program = folder.Path("placeholder.exe");
    const std::wstring wide = platform::Widen(program);
    ASSERT_TRUE(::CopyFileW(platform::Widen(FixturePath("several_tables.exe")).c_str(), wide.c_str(), FALSE));
    const std::string digest = CFileMd5(FixturePath("several_tables.exe")).Digest();
    ASSERT_EQ(digest.size(), 32u);
    const auto cachedDigest = [&] {
        return ProcessFileCache().Digest(program, [&] { return CFileMd5(program).Digest(); });
    };

    ProcessFileCache().Open(folder.Path("filecache.db"));
    ProcessFileCache().BeginPass();
    {
        ASSERT_TRUE(::SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_OFFLINE));
        // Wine keeps only the read-only, hidden and system attributes; the
        // file is given the one Windows would report.
        std::optional<ScopedExtraAttributes> offline;
        if (!(::GetFileAttributesW(wide.c_str()) & FILE_ATTRIBUTE_OFFLINE))
            offline.emplace(wide, FILE_ATTRIBUTE_OFFLINE);
        EXPECT_EQ(ReadVersionInfo(program).result, FromSystemError(ERROR_FILE_OFFLINE));
        EXPECT_EQ(cachedDigest(), "");
    }
    for (const DWORD recall : {kAttributeRecallOnDataAccess, kAttributeRecallOnOpen}) {
        const ScopedExtraAttributes placeholder(wide, recall);
        EXPECT_EQ(ReadVersionInfo(program).result, FromSystemError(ERROR_FILE_OFFLINE)) << recall;
        EXPECT_EQ(CFileMd5(program).Digest(), "") << recall;
    }

    // Made local: the attribute goes, the size and time stay.
    ASSERT_TRUE(::SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL));
    const VersionInfoRead read = ReadVersionInfo(program);
    EXPECT_EQ(read.result, kOk);
    ASSERT_NE(read.info, nullptr);
    EXPECT_TRUE(read.info->Fixed().has_value());
    EXPECT_EQ(cachedDigest(), digest);
    ProcessFileCache().Close();
}
