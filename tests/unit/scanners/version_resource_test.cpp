#include "scanners/version_resource.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/temp_folder.h"
#include "scanners/file_identity.h"
#include "version_builder.h"

using namespace fileid;
using namespace testdata;

namespace {

std::string SampleResource() {
    return EncodeBlock(Root(FixedInfo(Version(1, 2), Version(3, 4), Version(5, 6), Version(7, 8)),
                            {StringFileInfo({Table("040704b0", {StringValue("CompanyName", u"Gr\u00fcn & Co"),
                                                                StringValue("ProductName", u"Produkt \u20ac\u4e00"),
                                                                StringValue("Comments", u"")}),
                                             Table("040904e4", {StringValue("ProductName", u"Product")})}),
                             VarFileInfo({{0x0407, 0x04b0}, {0x0409, 0x04e4}})}));
}

}  // namespace

TEST(VersionResource, AnswersQueriesAsTheVersionApi) {
    const auto info = CVersionResource::Parse(SampleResource());
    ASSERT_NE(info, nullptr);

    const auto fixed = info->Fixed();
    ASSERT_TRUE(fixed);
    EXPECT_EQ(fixed->fileVersionMS, Version(1, 2));
    EXPECT_EQ(fixed->fileVersionLS, Version(3, 4));
    EXPECT_EQ(fixed->productVersionMS, Version(5, 6));
    EXPECT_EQ(fixed->productVersionLS, Version(7, 8));

    const auto translation = info->FirstTranslation();
    ASSERT_TRUE(translation);
    EXPECT_EQ(translation->language, 0x0407);
    EXPECT_EQ(translation->codePage, 0x04b0);

    // Text in the ANSI code page (Windows-1252 on the host): what it cannot
    // hold becomes '?'.
    EXPECT_EQ(info->Text("\\StringFileInfo\\040704b0\\CompanyName"), "Gr\xfcn & Co");
    EXPECT_EQ(info->Text("\\StringFileInfo\\040704b0\\ProductName"), "Produkt \x80?");
    EXPECT_EQ(info->Text("\\StringFileInfo\\040704b0\\Comments"), "");
    EXPECT_EQ(info->Text("\\StringFileInfo\\040704b0\\FileVersion"), std::nullopt);

    // Keys compare without regard to case, and empty path parts are skipped.
    EXPECT_EQ(info->Text("\\stringfileinfo\\040904E4\\PRODUCTNAME"), "Product");
    EXPECT_EQ(info->Text("\\\\StringFileInfo\\\\040904e4\\ProductName\\"), "Product");
    EXPECT_FALSE(info->HasBlock("\\StringFileInfo\\040904e4\\Product"));  // no prefix matches

    EXPECT_TRUE(info->HasBlock("\\StringFileInfo"));
    EXPECT_TRUE(info->HasBlock("\\"));
    EXPECT_FALSE(info->HasBlock("\\StringFileInfo\\041104b0"));
    EXPECT_EQ(info->FirstChildKey("\\StringFileInfo"), "040704b0");
    EXPECT_EQ(info->FirstChildKey("\\StringFileInfo\\040904e4\\ProductName"), std::nullopt);
}

TEST(VersionResource, RootWithoutCompleteFixedInfo) {
    // No value, and a value shorter than VS_FIXEDFILEINFO: no root block.
    for (const std::string& value : {std::string(), FixedInfo(1, 2, 3, 4).substr(0, 51)}) {
        const auto info = CVersionResource::Parse(EncodeBlock(Root(value, {VarFileInfo({{0x409, 1252}})})));
        ASSERT_NE(info, nullptr);
        EXPECT_FALSE(info->Fixed());
        EXPECT_TRUE(info->FirstTranslation());  // the children are still found after it
    }
    // A translation value too short for a pair.
    VersionBlock var = VarFileInfo({});
    var.children[0].value = "\x09\x04";
    EXPECT_FALSE(CVersionResource::Parse(EncodeBlock(Root(FixedInfo(0, 0, 0, 0), {var})))->FirstTranslation());
}

TEST(VersionResource, BinaryTypedTextIsMeasuredInBytes) {
    // Some tools write string values with type 0 and a length in bytes.
    VersionBlock name = StringValue("ProductName", u"Bytes");
    name.type = 0;
    const auto info = CVersionResource::Parse(
        EncodeBlock(Root(FixedInfo(0, 0, 0, 0), {StringFileInfo({Table("040904e4", {name,
                                                                                      StringValue("CompanyName", u"Next")})})})));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->Text("\\StringFileInfo\\040904e4\\ProductName"), "Bytes");
    EXPECT_EQ(info->Text("\\StringFileInfo\\040904e4\\CompanyName"), "Next");
}

TEST(VersionResource, DamagedLengthsStayInsideTheData) {
    // A value length far beyond its block: the value ends with the block and the
    // next sibling is still read.
    VersionBlock longValue = StringValue("ProductName", u"Long");
    longValue.declaredValueLength = 30000;
    // A child claiming more than its parent holds is cut at the parent's end.
    VersionBlock table = Table("040904e4", {longValue});
    const std::string bytes =
        EncodeBlock(Root(FixedInfo(1, 0, 0, 0), {StringFileInfo({table, Table("040704b0", {StringValue("A", u"b")})}),
                                                 VarFileInfo({{0x409, 0x4e4}})}));
    const auto info = CVersionResource::Parse(bytes);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->Text("\\StringFileInfo\\040904e4\\ProductName"), "Long");
    EXPECT_EQ(info->Text("\\StringFileInfo\\040704b0\\A"), "b");
    EXPECT_TRUE(info->FirstTranslation());

    // A child whose length is too small for a header ends its parent's list
    // (rather than looping on it).
    VersionBlock broken = StringValue("Broken", u"x");
    broken.declaredLength = 2;
    const auto cut = CVersionResource::Parse(EncodeBlock(
        Root(FixedInfo(1, 0, 0, 0), {StringFileInfo({Table("040904e4", {broken, StringValue("After", u"y")})})})));
    ASSERT_NE(cut, nullptr);
    EXPECT_FALSE(cut->HasBlock("\\StringFileInfo\\040904e4\\After"));
    EXPECT_TRUE(cut->HasBlock("\\StringFileInfo\\040904e4"));

    // Not even a root header.
    EXPECT_EQ(CVersionResource::Parse(""), nullptr);
    EXPECT_EQ(CVersionResource::Parse(std::string("\x04\x00\x00\x00\x00\x00", 6)), nullptr);
}

TEST(VersionResource, EveryTruncationIsSafeAndNeverInventsData) {
    const std::string full = SampleResource();
    const auto whole = CVersionResource::Parse(full);
    for (size_t n = 0; n < full.size(); ++n) {
        const auto info = CVersionResource::Parse(full.substr(0, n));
        if (!info) continue;
        // What is read from a cut resource is either complete and right, or missing.
        if (const auto fixed = info->Fixed()) {
            EXPECT_EQ(fixed->fileVersionLS, whole->Fixed()->fileVersionLS) << n;
        }
        if (const auto t = info->FirstTranslation()) {
            EXPECT_EQ(t->language, 0x0407) << n;
        }
        if (const auto text = info->Text("\\StringFileInfo\\040904e4\\ProductName")) {
            EXPECT_EQ(std::string("Product").compare(0, text->size(), *text), 0) << n;
        }
    }
}

TEST(VersionResource, NestingDeeperThanTheLimitIsNotRead) {
    VersionBlock block = StringValue("Leaf", u"deep");
    std::string path = "\\Leaf";
    for (int i = 0; i < 40; ++i) {
        VersionBlock parent;
        parent.key = U16("B");
        parent.type = 1;
        parent.children.push_back(block);
        block = parent;
        path = "\\B" + path;
    }
    const auto info = CVersionResource::Parse(EncodeBlock(Root(FixedInfo(0, 0, 0, 0), {block})));
    ASSERT_NE(info, nullptr);
    EXPECT_FALSE(info->HasBlock(path));
    std::string shallow;
    for (int i = 0; i < CVersionResource::kMaxDepth; ++i) shallow += "\\B";
    EXPECT_TRUE(info->HasBlock(shallow));
}

TEST(PeVersionResource, FindsTheResourceInBothImageKinds) {
    const std::string resource = SampleResource();
    for (bool plus : {true, false}) {
        const std::string image = PeImage(resource, 16, 1, plus);
        const auto found = FindVersionResource(image);
        ASSERT_TRUE(found) << plus;
        EXPECT_EQ(*found, resource);
    }
    // Name 1 is preferred; any other name is taken when it is the only one.
    EXPECT_EQ(FindVersionResource(PeImage(resource, 16, 7)), std::optional<std::string_view>(resource));
    // Another resource type only, or no PE image at all.
    EXPECT_FALSE(FindVersionResource(PeImage(resource, 3)));
    EXPECT_FALSE(FindVersionResource("MZ"));
    EXPECT_FALSE(FindVersionResource(std::string(4096, 'M')));
}

TEST(PeVersionResource, DamagedImagesAreRefused) {
    const std::string resource = SampleResource();
    const std::string image = PeImage(resource);
    for (size_t n = 0; n < image.size(); ++n) {
        const auto found = FindVersionResource(std::string_view(image.data(), n));
        if (found) {
            EXPECT_EQ(*found, resource) << n;
        }
    }
    // A data entry whose size runs past the section.
    std::string bigger = image;
    const size_t sizeField = 0x200 + 0x48 + 4;
    bigger[sizeField + 2] = 0x10;
    EXPECT_FALSE(FindVersionResource(bigger));
    // A directory entry pointing outside the resource section.
    std::string outside = image;
    outside[0x200 + 0x14 + 2] = 0x7F;
    EXPECT_FALSE(FindVersionResource(outside));
}

TEST(VersionReadersHost, ReadProgramFiles) {
    const testing_support::TempFolder folder("varnel-version");
    const std::filesystem::path& dir = folder.path();
    const std::string program = (dir / "prog.exe").string();
    std::ofstream(program, std::ios::binary) << PeImage(SampleResource());
    const std::string text = (dir / "readme.txt").string();
    std::ofstream(text, std::ios::binary) << "not a program";

    VersionNames names;
    ASSERT_EQ(GetVersionNames(program, names), kOk);
    EXPECT_EQ(names.companyName, "Gr\xfcn & Co");
    VersionNumbers numbers;
    ASSERT_EQ(GetVersionNumbers(program, numbers), kOk);
    EXPECT_EQ(numbers.fixedFileVersion, "1.2.3.4");

    EXPECT_EQ(GetVersionNames(text, names), kUnexpected);
    EXPECT_EQ(GetVersionNames((dir / "missing.exe").string(), names), kUnexpected);
    EXPECT_EQ(GetVersionNumbers(text, numbers), FromSystemError(kErrorResourceTypeNotFound));
    EXPECT_EQ(static_cast<uint32_t>(GetVersionNumbers(text, numbers)), 0x80070715u);
    EXPECT_EQ(GetVersionNumbers(dir.string(), numbers), FromSystemError(kErrorFileNotFound));
}
