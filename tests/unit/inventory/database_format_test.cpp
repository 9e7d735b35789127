// The database files' bytes: golden images written out here field by field
// from the file layout, boundaries of the length and count encodings, and
// every form of object reference.
#include <gtest/gtest.h>

#include "inventory/archive.h"
#include "inventory/database.h"
#include "inventory/ms_update_item.h"
#include "inventory_test_support.h"
#include "platform/text.h"

using inventory::ArchiveError;
using inventory::ArchiveReader;
using inventory::ArchiveWriter;
using inventory::ItemList;
using inventory::ParseObjectList;
using inventory::SerializeObjectList;
using testsupport::Bytes;

namespace {

// The common prefix of watch and driver items for an item whose only set
// field is progName.
Bytes& PlainUpdatedPrefix(Bytes& b, const std::string& progName) {
    b.d(0).b(false);                                // removed, expanded
    b.str("").str("");                              // productGuid, componentGuid
    b.b(false).b(false).b(false).d(0);              // group flags, groupCurrentCount
    b.str(progName);                                // progName
    for (int i = 0; i < 6; ++i) b.str("");          // myVersion .. additionalInfo
    b.b(false).b(false).b(false).b(false);          // updateAvailable .. serverNeedsIcon
    b.str("").str("");                              // productUrl, directDlUrl
    b.b(false).b(false).d(0).str("");               // directDlIsFile, userAdded, reportReason, reportComments
    return b;
}

Bytes& PlainWatchBody(Bytes& b, const std::string& progName) {
    PlainUpdatedPrefix(b, progName);
    for (int i = 0; i < 5; ++i) b.str("");   // uninstallString .. matchedPvId
    for (int i = 0; i < 10; ++i) b.str("");  // packageName .. executableName
    b.str("registry");                       // source
    b.d(0).w(0).str("");                     // reserved, comFromReg, reservedText2
    return b;
}

std::unique_ptr<VN_WatchItem> NamedWatchItem(const std::string& name) {
    auto w = std::make_unique<VN_WatchItem>();
    w->progName = name;
    return w;
}

std::string Hex(const std::string& s) {
    std::string out;
    for (unsigned char c : s) out += textutil::Format("%02X ", c);
    return out;
}

}  // namespace

TEST(DatabaseFormat, EmptyListIsTwoZeroBytes) {
    EXPECT_EQ(SerializeObjectList(ItemList{}), std::string("\0\0", 2));
    EXPECT_TRUE(ParseObjectList(std::string("\0\0", 2)).empty());
}

TEST(DatabaseFormat, ThreeWatchItemsNameTheClassOnceThenReferToIt) {
    ItemList items;
    items.push_back(NamedWatchItem("Alpha"));
    items.push_back(NamedWatchItem("Beta"));
    items.push_back(NamedWatchItem("Gamma"));

    Bytes expected;
    expected.w(3).newClass("VN_WatchItem");
    PlainWatchBody(expected, "Alpha");
    PlainWatchBody(expected.w(0x8001), "Beta");
    PlainWatchBody(expected.w(0x8001), "Gamma");
    EXPECT_EQ(Hex(SerializeObjectList(items)), Hex(expected.s));

    const ItemList back = ParseObjectList(expected.s);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(dynamic_cast<VN_WatchItem&>(*back[2]).progName, "Gamma");
    EXPECT_EQ(dynamic_cast<VN_WatchItem&>(*back[0]).source, "registry");
}

TEST(DatabaseFormat, FullWatchItemFieldsInFileOrder) {
    ItemList items;
    items.push_back(testsupport::FullWatchItem());
    const VN_WatchItem& w = dynamic_cast<VN_WatchItem&>(*items[0]);

    Bytes e;
    e.w(1).newClass("VN_WatchItem");
    e.d(1).b(true).str(w.productGuid).str(w.componentGuid).b(true).b(false).b(true).d(3);
    e.str(w.progName).str(w.myVersion).str(w.currentVers).str(w.currentDate).str("r1").str("100231");
    e.str("Service Pack 3").b(true).b(true).b(false).b(true).str(w.productUrl).str(w.directDlUrl);
    e.b(true).b(false).d(57412).str("wrong edition");
    e.str(w.uninstallString).str(w.signature).str(w.iconPath).str(w.keyName).str("pv-88812");
    e.str("Microsoft Corporation").str("Microsoft Office Word").str(w.shortcutName).str(w.targetName);
    e.str("12.0.6612.1000").str("12.0.6612").str("12.0").str("Word processor").str("").str("WINWORD.EXE");
    e.str("exe").d(0).w(1).str("r2");
    EXPECT_EQ(Hex(SerializeObjectList(items)), Hex(e.s));
}

TEST(DatabaseFormat, DriverItemWithIdentifierArrays) {
    ItemList items;
    items.push_back(testsupport::FullDriverItem());
    const VN_DriverItem& d = dynamic_cast<VN_DriverItem&>(*items[0]);

    Bytes e;
    e.w(1).newClass("VN_DriverItem");
    e.d(0).b(true).str("").str("").b(false).b(false).b(false).d(0);  // drivers start expanded
    e.str(d.progName).str(d.myVersion);
    for (int i = 0; i < 5; ++i) e.str("");
    e.b(false).b(false).b(false).b(false).str("").str("").b(false).b(false).d(0).str("");
    e.str("rd").str(d.deviceDesc).str("Ethernet").str("PCI").str("Net").str(d.classGuid).str(d.driverKey);
    e.str("Realtek").str("rt640x64");
    e.d(2).str(d.hardwareIds[0]).str(d.hardwareIds[1]);
    e.d(3).str(d.compatibleIds[0]).str(d.compatibleIds[1]).str(d.compatibleIds[2]);
    e.str(d.driverKeyPath).str("11-17-2019").str(d.driverDesc).str("10.38.1117.2019").str("Realtek");
    e.str("oem7.inf").str("RTL8168h.ndi.NT").str(d.matchingDeviceId).str(d.serviceKeyPath).str("NDIS").str(d.files);
    EXPECT_EQ(Hex(SerializeObjectList(items)), Hex(e.s));

    const ItemList back = ParseObjectList(e.s);
    const VN_DriverItem& r = dynamic_cast<VN_DriverItem&>(*back[0]);
    EXPECT_EQ(r.hardwareIds, d.hardwareIds);
    EXPECT_EQ(r.compatibleIds, d.compatibleIds);
}

TEST(DatabaseFormat, DailyHistoryAndMsItemBodies) {
    ItemList items;
    items.push_back(testsupport::FullDailyItem());
    items.push_back(testsupport::FullHistoryItem());
    auto ms = std::make_unique<MsUpdates::CMsItem>();
    ms->removed = 2;
    items.push_back(std::move(ms));

    Bytes e;
    e.w(3).newClass("VN_DailyItem");  // class 1, object 2
    e.str("2024-05-01 08:00").str("120453").str("2311").str("4.5").str("4");
    e.str("true").str("77120").str("991").str("5531").str("cat2").str("7-Zip").str("2024-04-30").str("Free");
    e.str("Compression").str("Windows 10/11").str("x64").str("File archiver with a high compression ratio").str("24.05");
    e.d(2);
    e.str("download").str("88121").str("https://www.7-zip.org/a/7z2405-x64.exe").str("Installer");
    e.str("7z2405-x64.exe").str("1.6 MB");
    e.str("info").str("").str("https://www.7-zip.org/").str("Home page").str("").str("");
    e.newClass("CHistoryItem");  // class 3, object 4
    e.d(5).str("VLC media player").str("https://get.videolan.org/vlc/3.0.20/win64/vlc-3.0.20-win64.exe");
    e.str("C:\\Users\\ann\\Downloads\\vlc-3.0.20-win64.exe").q(4102444800LL).d(2);
    e.newClass("CMsItem").d(2);
    EXPECT_EQ(Hex(SerializeObjectList(items)), Hex(e.s));
}

TEST(DatabaseFormat, StringLengthPrefixBoundaries) {
    struct Case {
        size_t length;
        std::string prefix;
    };
    const Case cases[] = {
        {254, "\xFE"},
        {255, std::string("\xFF\xFF\x00", 3)},
        {0xFFFD, "\xFF\xFD\xFF"},
        {0xFFFE, std::string("\xFF\xFF\xFF\xFE\xFF\x00\x00", 7)},
        {0xFFFF, std::string("\xFF\xFF\xFF\xFF\xFF\x00\x00", 7)},
        {0x10000, std::string("\xFF\xFF\xFF\x00\x00\x01\x00", 7)},
    };
    for (const Case& c : cases) {
        const std::string text(c.length, 'x');
        ArchiveWriter w;
        w.WriteString(text);
        EXPECT_EQ(Hex(w.Data().substr(0, c.prefix.size())), Hex(c.prefix)) << c.length;
        EXPECT_EQ(w.Data().size(), c.prefix.size() + c.length) << c.length;
        ArchiveReader r(w.Data());
        EXPECT_EQ(r.ReadString(), text) << c.length;
        EXPECT_EQ(r.Remaining(), 0u);
    }
}

// Short strings are copied in fixed-size pieces that overlap: every length
// of a one-byte prefix, in one image, comes back byte for byte.
TEST(DatabaseFormat, EveryShortStringLengthRoundTrips) {
    ArchiveWriter w;
    std::vector<std::string> texts;
    for (size_t length = 0; length < 255; ++length) {
        std::string text(length, '\0');
        for (size_t i = 0; i < length; ++i) text[i] = static_cast<char>('A' + (length * 7 + i) % 53);
        w.WriteString(text);
        texts.push_back(text);
    }
    ArchiveReader r(w.Data());
    for (const std::string& text : texts) {
        ASSERT_EQ(r.ReadByte(), text.size());
        std::string back(text.size(), '\0');
        for (char& c : back) c = static_cast<char>(r.ReadByte());
        EXPECT_EQ(back, text) << text.size();
    }
    EXPECT_EQ(r.Remaining(), 0u);
    ArchiveReader again(w.Data());
    for (const std::string& text : texts) EXPECT_EQ(again.ReadString(), text) << text.size();
}

TEST(DatabaseFormat, TwoByteCharacterStringsReadAsAnsi) {
    // "a", e-acute, euro sign, and a character with no ANSI form.
    Bytes b;
    b.u8(0xFF).w(0xFFFE).u8(4).w('a').w(0xE9).w(0x20AC).w(0x4E2D);
    // A longer one with a WORD length after the marker.
    b.u8(0xFF).w(0xFFFE).u8(0xFF).w(300);
    for (int i = 0; i < 300; ++i) b.w('z');
    ArchiveReader r(b.s);
    EXPECT_EQ(r.ReadString(), "a\xE9\x80?");
    EXPECT_EQ(r.ReadString(), std::string(300, 'z'));
    EXPECT_EQ(r.Remaining(), 0u);
}

TEST(DatabaseFormat, CountBoundaries) {
    ArchiveWriter w;
    w.WriteCount(0xFFFE);
    w.WriteCount(0xFFFF);
    w.WriteCount(70000);
    EXPECT_EQ(Hex(w.Data()), Hex(Bytes().w(0xFFFE).w(0xFFFF).d(0xFFFF).w(0xFFFF).d(70000).s));
    ArchiveReader r(w.Data());
    EXPECT_EQ(r.ReadCount(), 0xFFFEu);
    EXPECT_EQ(r.ReadCount(), 0xFFFFu);
    EXPECT_EQ(r.ReadCount(), 70000u);
}

TEST(DatabaseFormat, EveryFormOfObjectReferenceReads) {
    Bytes b;
    b.w(6);
    b.newClass("CMsItem").d(1);        // class 1, object 2
    b.w(0);                            // null entry
    b.w(0x7FFF).d(0x80000001).d(2);    // big class reference: object 3
    b.w(0x8001).d(0);                  // small class reference: object 4
    b.w(3);                            // repeats object 3
    b.w(0x7FFF).d(2);                  // big reference repeating object 2
    const ItemList items = ParseObjectList(b.s);
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items[1], nullptr);
    const int expected[] = {1, -1, 2, 0, 2, 1};
    for (size_t i = 0; i < 6; ++i) {
        if (expected[i] < 0) continue;
        ASSERT_NE(items[i], nullptr) << i;
        EXPECT_EQ(items[i]->removed, expected[i]) << i;
    }
    // A repeated object is a separate, equal item: each entry owns its own.
    EXPECT_NE(items[4].get(), items[2].get());
    EXPECT_NE(items[5].get(), items[0].get());
}

TEST(DatabaseFormat, WriterUsesBackReferencesAndBigIndexForms) {
    // 32765 CMsItems take indices 1..32766, so the next class gets 0x7FFF and
    // must be referred to in the 32-bit form.
    std::vector<std::unique_ptr<MsUpdates::CMsItem>> ms(32765);
    for (auto& m : ms) m = std::make_unique<MsUpdates::CMsItem>();
    VN_WatchItem first, second;
    ArchiveWriter w;
    for (auto& m : ms) w.WriteObject(m.get());
    const size_t before = w.Data().size();
    w.WriteObject(&first);   // new class 0x7FFF, object 0x8000
    const size_t middle = w.Data().size();
    w.WriteObject(&second);  // class reference in the big form
    w.WriteObject(&first);   // repeat of object 0x8000: big object form
    w.WriteObject(ms[0].get());  // repeat of object 2
    const std::string& data = w.Data();
    const std::string watchClass = Bytes().newClass("VN_WatchItem").s;
    EXPECT_EQ(Hex(data.substr(before, watchClass.size())), Hex(watchClass));
    EXPECT_EQ(Hex(data.substr(middle, 6)), Hex(Bytes().w(0x7FFF).d(0x80007FFF).s));
    EXPECT_EQ(Hex(data.substr(data.size() - 8)), Hex(Bytes().w(0x7FFF).d(0x8000).w(2).s));
    const std::string firstMs = Bytes().newClass("CMsItem").d(0).s;
    EXPECT_EQ(Hex(data.substr(0, firstMs.size() + 6)), Hex(firstMs + Bytes().w(0x8001).d(0).s));

    // The same stream read back as a list.
    const std::string list = Bytes().w(0xFFFF).d(32769).s + data;
    const ItemList items = ParseObjectList(list);
    ASSERT_EQ(items.size(), 32769u);
    EXPECT_NE(dynamic_cast<VN_WatchItem*>(items[32766].get()), nullptr);
    EXPECT_NE(dynamic_cast<VN_WatchItem*>(items[32767].get()), nullptr);
    EXPECT_NE(dynamic_cast<MsUpdates::CMsItem*>(items[32768].get()), nullptr);
}

// The archive walks a class's templated field list with its own exchanges;
// through the interface the same list must give the same bytes, and a load
// must take exactly what a store wrote.
TEST(DatabaseFormat, ArchiveWalksOfEveryClassMatchTheInterfaceWalk) {
    for (const inventory::PersistentClass& cls : inventory::PersistentClasses()) {
        const std::unique_ptr<VN_ItemGrandBase> item = cls.create();
        ArchiveWriter viaArchive, viaInterface;
        inventory::StoreExchange toArchive(viaArchive), toInterface(viaInterface);
        item->StoreFields(toArchive);
        item->ExchangeFields(static_cast<inventory::FieldExchange&>(toInterface));
        EXPECT_EQ(Hex(viaArchive.Data()), Hex(viaInterface.Data())) << cls.name;

        const std::unique_ptr<VN_ItemGrandBase> back = cls.create();
        ArchiveReader reader(viaArchive.Data());
        inventory::LoadExchange fromArchive(reader);
        back->LoadFields(fromArchive);
        EXPECT_EQ(reader.Remaining(), 0u) << cls.name;
    }
}
