// Damaged and foreign database images: every one must fail cleanly (an
// ArchiveError, never a crash or a huge allocation), and a list loading one
// must end up empty.
#include <gtest/gtest.h>

#include "inventory/archive.h"
#include "inventory/database.h"
#include "inventory/list_base.h"
#include "inventory/ms_update_item.h"
#include "inventory_test_support.h"

using inventory::ArchiveError;
using inventory::ItemList;
using inventory::ParseObjectList;
using testsupport::Bytes;

namespace {

std::string SmallMixedFile() {
    ItemList items;
    items.push_back(testsupport::FullWatchItem("a"));
    items.push_back(nullptr);
    items.push_back(testsupport::FullWatchItem("b"));
    items.push_back(testsupport::FullDriverItem());
    return inventory::SerializeObjectList(items);
}

// Expects the image to be rejected with a message mentioning `what`.
void ExpectRejected(const std::string& image, const std::string& what) {
    try {
        ParseObjectList(image);
        ADD_FAILURE() << "accepted; expected: " << what;
    } catch (const ArchiveError& e) {
        EXPECT_NE(std::string(e.what()).find(what), std::string::npos) << e.what();
    }
}

}  // namespace

TEST(DamagedFile, EveryTruncationIsRejected) {
    const std::string full = SmallMixedFile();
    ASSERT_EQ(ParseObjectList(full).size(), 4u);
    for (size_t n = 0; n < full.size(); ++n) EXPECT_THROW(ParseObjectList(full.substr(0, n)), ArchiveError) << n;
}

TEST(DamagedFile, ForeignClassesSchemasAndIndicesAreRejected) {
    ExpectRejected(Bytes().w(1).newClass("VN_WatchItem", 2).s, "schema 2");
    ExpectRejected(Bytes().w(1).newClass("VN_SomethingElse").d(0).s, "unknown class \"VN_SomethingElse\"");
    ExpectRejected(Bytes().w(1).newClass("vn_watchitem").s, "unknown class");  // names are exact
    ExpectRejected(Bytes().w(1).w(0xFFFF).w(1).w(64).raw(std::string(64, 'A')).s, "class name of 64");
    // Bytes of the name that could break the one-line message are quoted.
    ExpectRejected(Bytes().w(1).newClass("VN_\nItem\xE9\"\\").s, "unknown class \"VN_\\x0AItem\\xE9\\x22\\x5C\" at");
    // Class references: nothing registered yet; index 2 is an object, not a class.
    ExpectRejected(Bytes().w(1).w(0x8001).s, "index 1 of 0");
    ExpectRejected(Bytes().w(2).newClass("CMsItem").d(0).w(0x8002).s, "index 2 is not a class");
    ExpectRejected(Bytes().w(1).w(0x7FFF).d(0x80000009).s, "index 9");
    // Object references: past the end, or naming a class.
    ExpectRejected(Bytes().w(2).newClass("CMsItem").d(0).w(3).s, "index 3 of 2");
    ExpectRejected(Bytes().w(2).newClass("CMsItem").d(0).w(1).s, "index 1 is not an object");
    ExpectRejected(Bytes().w(1).w(0x7FFF).d(0x7FFFFFFF).s, "index 2147483647");
}

TEST(DamagedFile, HostileLengthsAndCountsFailBeforeAllocating) {
    // List count of four billion entries in a ten-byte file.
    ExpectRejected(Bytes().w(0xFFFF).d(0xFFFFFFFF).w(0).s, "does not fit");
    // A string claiming four gigabytes, and a 2-byte-character one claiming 64 K characters.
    ExpectRejected(Bytes().w(1).newClass("CHistoryItem").d(0).u8(0xFF).w(0xFFFF).d(0xFFFFFFF0).s, "end of data");
    ExpectRejected(Bytes().w(1).newClass("CHistoryItem").d(0).u8(0xFF).w(0xFFFE).u8(0xFF).w(0xFFF0).s, "end of data");
    // Driver identifier arrays: huge and negative counts.
    Bytes prefix;
    prefix.w(1).newClass("VN_DriverItem").d(0).b(true).str("").str("").b(false).b(false).b(false).d(0);
    for (int i = 0; i < 7; ++i) prefix.str("");
    prefix.b(false).b(false).b(false).b(false).str("").str("").b(false).b(false).d(0).str("");
    for (int i = 0; i < 9; ++i) prefix.str("");
    ExpectRejected(Bytes(prefix).d(0x7FFFFFFF).s, "does not fit");
    ExpectRejected(Bytes(prefix).d(0xFFFFFFFF).s, "negative count");
    // Links of a today's-updates entry.
    Bytes daily;
    daily.w(1).newClass("VN_DailyItem");
    for (int i = 0; i < 18; ++i) daily.str("");
    ExpectRejected(Bytes(daily).d(1000).raw(std::string(5999, '\0')).s, "does not fit");
    EXPECT_EQ(ParseObjectList(Bytes(daily).d(1000).raw(std::string(6000, '\0')).s).size(), 1u);
}

TEST(DamagedFile, RepeatsOfALargeObjectCannotMultiplyTheFile) {
    // One download-history entry with a long name, then many list entries
    // that repeat it: each repeat would be a full copy of the name.
    const std::string name(5000, 'n');
    auto image = [&](unsigned repeats) {
        Bytes b;
        b.w(1 + repeats).newClass("CHistoryItem").d(6).u8(0xFF).w(5000).raw(name).str("u").str("d").q(0).d(0);
        for (unsigned i = 0; i < repeats; ++i) b.w(2);
        return b.s;
    };
    // A few repeats are equal, separate copies.
    const ItemList few = ParseObjectList(image(3));
    ASSERT_EQ(few.size(), 4u);
    EXPECT_EQ(testsupport::StoredFields(*few[3]), testsupport::StoredFields(*few[0]));
    // Thousands are refused long before they add up (they would copy 10 MB
    // out of a 9 KB file).
    ExpectRejected(image(2000), "repeated objects would copy more than");
}

TEST(DamagedFile, StringListFileRejectsDamageAndKeepsNothing) {
    testsupport::TempDir dir;
    const std::string path = dir.File("outdatedproductlist.db");
    std::vector<std::string> names = {"kept"};
    EXPECT_TRUE(inventory::LoadStringListFile(path, names));  // missing: unchanged
    EXPECT_EQ(names, std::vector<std::string>{"kept"});

    const std::vector<std::string> stored = {"Adobe Reader", std::string(300, 'n'), ""};
    ASSERT_TRUE(inventory::SaveStringListFile(path, stored));
    EXPECT_EQ(testsupport::ReadFile(path).substr(0, 9), Bytes().w(3).str("Adobe Reader").s.substr(0, 9));
    EXPECT_TRUE(inventory::LoadStringListFile(path, names));
    EXPECT_EQ(names, stored);

    testsupport::WriteFile(path, Bytes().w(3).str("Adobe Reader").u8(0xFF).w(300).raw("nnn").s);
    EXPECT_FALSE(inventory::LoadStringListFile(path, names));
    EXPECT_TRUE(names.empty());
}
