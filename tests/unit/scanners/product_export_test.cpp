// The inventory export functions over recorded product data and a counting
// allocator: which entries and records are filled, what is released and
// when, and the 8-bit texts handed back.
#include "scanners/product_export.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "platform/codepage.h"
#include "product_fakes.h"
#include "scanners/md5.h"

using namespace productexport;
using namespace producttest;
using RegScan::UninstallRoot;

namespace {

// Blocks handed out and not yet released, with their sizes.
class CountingMemory : public ITaskMemory {
public:
    ~CountingMemory() override {
        for (auto& [block, size] : live) std::free(block);
    }
    void* Alloc(size_t bytes) override {
        if (failAll) return nullptr;
        void* block = std::malloc(bytes);
        live[block] = bytes;
        return block;
    }
    void Free(void* block) override {
        if (!block) return;
        ASSERT_EQ(live.erase(block), 1u) << "released a block not handed out";
        std::free(block);
    }
    char* Text(const std::string& text) {
        auto* block = static_cast<char*>(Alloc(text.size() + 1));
        std::memcpy(block, text.c_str(), text.size() + 1);
        return block;
    }
    char16_t* Wide(const std::string& text) { return NewWideString(*this, text); }

    std::map<void*, size_t> live;
    bool failAll = false;
};

std::string Narrow(const char16_t* text) { return text ? platform::Utf16ToAnsi(text) : "(null)"; }

class ProductExport : public ::testing::Test {
protected:
    ProductExport() {
        // Map order: "Alpha", "Beta", then the installer's product code.
        keys.Add(UninstallRoot::User, "Beta", Entry("Beta Tool", "C:\\beta\\remove.exe"));
        keys.Add(UninstallRoot::Machine64, "Alpha", Entry("Alpha Suite", "C:\\alpha\\remove.exe", "1.0"));
        installer.AddProduct(kCode, {{"VersionString", "3.1"}});  // no ProductName
    }
    RegScan::ProductSources Sources() { return {&keys, &installer}; }
    void FreeRecord(ProductInfo& r) {
        for (char16_t* field : {r.key, r.name, r.signature, r.hash}) memory.Free(field);
        r = ProductInfo{};
    }

    static constexpr char kCode[] = "{5A1B7C3D-0009-4E6F-8A9B-0C1D2E3F4A51}";
    FakeUninstallKeys keys;
    FakeInstaller installer;
    CountingMemory memory;
};

TEST_F(ProductExport, KeysFillEntriesInMapOrderReleasingWhatTheyHeldAndLeaveTheRest) {
    keys.Add(UninstallRoot::User, "", Entry("Nameless key", "x.exe"));  // an empty key uses no entry
    char16_t* entries[5] = {memory.Wide("old"), nullptr, nullptr, nullptr, memory.Wide("spare")};
    char16_t* spare = entries[4];
    AllProductKeys(memory, Sources(), entries, 5);
    EXPECT_EQ(Narrow(entries[0]), "Alpha");
    EXPECT_EQ(Narrow(entries[1]), "Beta");
    EXPECT_EQ(Narrow(entries[2]), kCode);
    EXPECT_EQ(entries[3], nullptr);
    EXPECT_EQ(entries[4], spare);
    EXPECT_EQ(memory.live.size(), 4u);  // "old" was released

    char16_t* two[2] = {};
    AllProductKeys(memory, Sources(), two, 2);
    EXPECT_EQ(Narrow(two[1]), "Beta");
}

TEST_F(ProductExport, RecordsHoldKeyNameSignatureAndHashWithNullForEmptyValues) {
    ProductInfo records[4] = {};
    ASSERT_EQ(AllProductInfo(memory, Sources(), records, 4), AllProductsCount(Sources()));
    EXPECT_EQ(AllProductsCount(Sources()), 3);
    EXPECT_EQ(Narrow(records[0].key), "Alpha");
    EXPECT_EQ(Narrow(records[0].name), "Alpha Suite");
    EXPECT_EQ(Narrow(records[0].signature), "Alpha|Alpha Suite|1.0|||0");
    EXPECT_EQ(Narrow(records[0].hash), digest::StringDigest("Alpha|Alpha Suite|1.0|||0"));
    EXPECT_EQ(Narrow(records[2].key), kCode);
    EXPECT_EQ(records[2].name, nullptr);
    EXPECT_EQ(Narrow(records[2].signature), std::string(kCode) + "||3.1");
    EXPECT_EQ(records[3].key, nullptr);
    EXPECT_EQ(AllProductInfo(memory, Sources(), records, 1), 1);  // overwrote record 0 unreleased
}

TEST_F(ProductExport, ASecondReadIntoFreedRecordsLeavesNothingBehind) {
    ProductInfo records[3] = {};
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(AllProductInfo(memory, Sources(), records, 3), 3);
        EXPECT_EQ(memory.live.size(), 11u);  // 4 + 4 + 3 fields (no name for the installer's product)
        for (ProductInfo& r : records) FreeRecord(r);
        EXPECT_TRUE(memory.live.empty());
    }
}

TEST_F(ProductExport, LookupByKeyFillsDetailsOrReleasesAndClearsTheKey) {
    ProductInfo found{memory.Wide("Beta"), nullptr, nullptr, nullptr};
    char16_t* key = found.key;
    ASSERT_EQ(ProductInfoByKey(memory, Sources(), &found), 1);
    EXPECT_EQ(found.key, key);
    EXPECT_EQ(Narrow(found.name), "Beta Tool");
    EXPECT_EQ(Narrow(found.hash).size(), 32u);
    FreeRecord(found);

    ProductInfo wrongCase{memory.Wide("beta"), nullptr, nullptr, nullptr};
    EXPECT_EQ(ProductInfoByKey(memory, Sources(), &wrongCase), 0);
    EXPECT_EQ(wrongCase.key, nullptr);
    EXPECT_TRUE(memory.live.empty());

    ProductInfo noKey{};
    EXPECT_EQ(ProductInfoByKey(memory, Sources(), &noKey), 0);
    EXPECT_EQ(ProductInfoByKey(memory, Sources(), nullptr), 0);
}

TEST(ProductExportTexts, ReturnedTextsTakeTheArgumentAndComeCutIn257Bytes) {
    CountingMemory memory;
    const std::string longCommand = "C:\\Missing\\uninstall.exe /remove " + std::string(300, 'x');
    char* changed = OrgToChangedUninstallString(memory, memory.Text(longCommand));
    ASSERT_NE(changed, nullptr);
    EXPECT_EQ(memory.live.size(), 1u);  // the argument was released
    EXPECT_EQ(memory.live.at(changed), kReturnChars + 1);
    EXPECT_EQ(std::string(changed), ("0 /remove " + std::string(300, 'x')).substr(0, kReturnChars));
    memory.Free(changed);

    char* hello = TestProString(memory, memory.Text("you"));
    EXPECT_STREQ(hello, "Hello world: you");
    char* hello2 = TestString2(memory, nullptr);
    EXPECT_STREQ(hello2, "Hello world From All Product API: ");
    EXPECT_EQ(memory.live.size(), 2u);
    memory.Free(hello);
    memory.Free(hello2);

    memory.failAll = true;
    EXPECT_EQ(TestProString(memory, nullptr), nullptr);
}

TEST(ProductExportTexts, ArrayTestsSumLengthsAndReplaceTheirStrings) {
    CountingMemory memory;
    char* strings[3] = {memory.Text("ab"), nullptr, memory.Text("cde")};
    EXPECT_EQ(TestArrayOfStrings(memory, strings, 3), 5);
    for (char* s : strings) EXPECT_STREQ(s, "123456789");
    EXPECT_EQ(memory.live.size(), 3u);

    NamePair pairs[2] = {{memory.Text("Ada"), memory.Text("Lovelace")}, {memory.Text("Alan"), nullptr}};
    EXPECT_EQ(TestArrayOfStructs2(memory, pairs, 2), 15);
    EXPECT_STREQ(pairs[0].first, "Ada");
    EXPECT_STREQ(pairs[0].last, "last:Lovelace");
    EXPECT_STREQ(pairs[1].last, "last:");
    EXPECT_EQ(memory.live.size(), 7u);

    // Out of memory: the strings stay as they were.
    memory.failAll = true;
    EXPECT_EQ(TestArrayOfStrings(memory, strings, 1), 9);
    EXPECT_STREQ(strings[0], "123456789");
}

}  // namespace
