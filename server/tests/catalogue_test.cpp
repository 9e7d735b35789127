// Recognising items against the catalogue, comparing versions, and the
// catalogue's seed files.
#include <gtest/gtest.h>

#include "catalogue_index.h"
#include "platform/files.h"
#include "scan_service.h"
#include "version.h"
#include "xml_writer.h"

using namespace vnservice;

namespace {

std::string Seed() {
    return platform::ReadWholeFile(std::string(VARNEL_SOURCE_DIR) + "/server/seed/catalog.sql").value_or("");
}

RequestItem Item(std::vector<ItemField> fields) {
    RequestItem item;
    item.fields = std::move(fields);
    return item;
}

class CatalogueTest : public ::testing::Test {
protected:
    CatalogueTest() : store_(":memory:") {
        auto lock = store_.Lock();
        store_.ReplaceCatalogue({Seed()});
        index_ = std::make_unique<CatalogueIndex>(store_.Products(), store_.MatchRules());
    }
    // The product id an item is recognised as (0: not recognised) and how.
    std::pair<int64_t, std::string> Recognise(std::vector<ItemField> fields) const {
        const auto r = index_->Recognise(Item(std::move(fields)));
        if (!r) return {0, ""};
        return {r->product->id, r->matchedBy};
    }
    ServiceStore store_;
    std::unique_ptr<CatalogueIndex> index_;
};

using Match = std::pair<int64_t, std::string>;

}  // namespace

TEST(Version, ComparesNumbersNotText) {
    const struct {
        const char *a, *b;
        int expected;
    } cases[] = {
        {"1.10", "1.9", 1},
        {"22.01", "22.1.0.0", 0},
        {"115.0.2", "127.0.2", -1},
        {"8.0.4110.9", "8.0.3910.11", 1},
        {"7, 0, 1, 0", "7.0.1", 0},
        {"v3.6.1 (x64)", "3.6.2", -1},
        {"2024.2.2.25170", "2024.2.2.25170", 0},
        {"1.3.1.55", "1.3.2.12", -1},
        {"00012.5", "12.05", 0},
        {"99999999999999999999999.1", "99999999999999999999998.9", 1},  // beyond 64 bits
        {"1.2-beta3", "1.2", 0},
        {"1.2.", "1.2", 0},
    };
    for (const auto& c : cases) {
        const auto result = CompareVersions(c.a, c.b);
        ASSERT_TRUE(result) << c.a << " vs " << c.b;
        EXPECT_EQ(*result, c.expected) << c.a << " vs " << c.b;
    }
    EXPECT_FALSE(CompareVersions("", "1.0"));
    EXPECT_FALSE(CompareVersions("unknown", "1.0"));
    EXPECT_EQ(CanonicalVersion("23.01.00.0"), "23.1");
    EXPECT_EQ(CanonicalVersion("0.0"), "0");
    EXPECT_EQ(CanonicalVersion("none"), "");
}

TEST_F(CatalogueTest, TheSeedIsARealisticCatalogue) {
    auto lock = store_.Lock();
    EXPECT_GE(store_.ProductCount(), 40);
    EXPECT_GE(store_.Exclusions().size(), 10u);
    EXPECT_EQ(store_.SiteSetting("exclusion_rev_date"), "2024-06-01");
    for (const Product& p : store_.Products()) {
        EXPECT_FALSE(p.name.empty());
        EXPECT_FALSE(p.publisher.empty()) << p.name;
        EXPECT_TRUE(ParseVersion(p.currentVersion)) << p.name;
        EXPECT_EQ(p.releaseDate.size(), 10u) << p.name;
        EXPECT_EQ(p.downloadUrl.rfind("https://", 0), 0u) << p.name;
    }
}

TEST_F(CatalogueTest, RecognisesByEachKindOfEvidenceInOrderOfTrust) {
    EXPECT_EQ(Recognise({{"ProgName", "7-Zip 23.01 (x64)"}}), Match(107, "name"));
    EXPECT_EQ(Recognise({{"ExecutableName", "FIREFOX.EXE"}}), Match(101, "executable"));
    EXPECT_EQ(Recognise({{"ProcessIdentity/BaseName", "vlc.exe"}}), Match(109, "executable"));
    EXPECT_EQ(Recognise({{"TargetName", "C:\\Program Files\\Notepad++\\notepad++.exe"}}), Match(110, "executable"));
    EXPECT_EQ(Recognise({{"GUID[product]", "23170F69-40C1-2702-2201-000001000000"}}), Match(107, "product code"));
    EXPECT_EQ(Recognise({{"SuiteIdentity/InstalledProductName", "PuTTY release 0.80 (64-bit)"}}), Match(118, "name"));

    // Stronger evidence wins over a name that says otherwise.
    EXPECT_EQ(Recognise({{"ProgName", "Google Chrome"}, {"ExecutableName", "vlc.exe"}}), Match(109, "executable"));
    EXPECT_EQ(Recognise({{"ExecutableName", "vlc.exe"}, {"ID[fingerPrint]", "fp-133"}}), Match(133, "fingerprint"));
    // A fingerprint of a product that is no longer in the catalogue is no evidence.
    EXPECT_EQ(Recognise({{"ID[fingerPrint]", "fp-999"}, {"ProgName", "Git"}}), Match(123, "name"));
    EXPECT_EQ(Recognise({{"ID[fingerPrint]", "fp-12x"}}), Match(0, ""));
}

TEST_F(CatalogueTest, NamePrefixesStopAtAWordBoundary) {
    EXPECT_EQ(Recognise({{"ProgName", "Git"}}), Match(123, "name"));
    EXPECT_EQ(Recognise({{"ProgName", "Git version 2.44.0"}}), Match(123, "name"));
    // Not "Git" with more letters.
    EXPECT_EQ(Recognise({{"ProgName", "GitHub Desktop"}}), Match(124, "name"));
    EXPECT_EQ(Recognise({{"ProgName", "Gitter"}}), Match(0, ""));
    // The longest known name wins.
    EXPECT_EQ(Recognise({{"ProgName", "FileZilla Server 1.8.1"}}), Match(121, "name"));
    EXPECT_EQ(Recognise({{"ProgName", "FileZilla 3.66.5"}}), Match(120, "name"));
    EXPECT_EQ(Recognise({{"ProgName", "  mozilla firefox (x64 en-US) "}}), Match(101, "name"));
    // Drivers and nameless items are not guessed at.
    EXPECT_EQ(Recognise({{"DeviceDesc", "Git"}, {"ItemType", "driver"}, {"ProgName", "Git"}}), Match(0, ""));
    EXPECT_EQ(Recognise({{"ProgName", ""}}), Match(0, ""));
}

TEST(Identifiers, ProductCodesFingerprintsAndIds) {
    EXPECT_EQ(NormaliseProductCode("{23170f69-40c1-2702-2301-000001000000}"), "{23170F69-40C1-2702-2301-000001000000}");
    EXPECT_EQ(NormaliseProductCode("23170f69-40c1-2702-2301-000001000000"), "{23170F69-40C1-2702-2301-000001000000}");
    EXPECT_EQ(NormaliseProductCode("{23170f69-40c1-2702-2301-00000100000}"), "");
    EXPECT_EQ(NormaliseProductCode("{23170f69x40c1-2702-2301-000001000000}"), "");
    EXPECT_EQ(ParseFingerprint(Fingerprint(4711)), 4711);
    EXPECT_FALSE(ParseFingerprint("fp-"));
    EXPECT_FALSE(ParseFingerprint("fp-1234567890123456789"));  // would not fit
    EXPECT_TRUE(IsPlausibleId("0b7c1e52-9f3a-4d0e-8b1c-2a3f4e5d6c7b"));
    EXPECT_FALSE(IsPlausibleId(""));
    EXPECT_FALSE(IsPlausibleId(std::string(65, 'a')));
    EXPECT_FALSE(IsPlausibleId("a b"));
}

TEST(Base64, DecodesStrictly) {
    EXPECT_EQ(DecodeBase64("aGVsbG8="), "hello");
    EXPECT_EQ(DecodeBase64("aGVs\r\nbG8h"), "hello!");
    EXPECT_EQ(DecodeBase64("aGk="), "hi");
    EXPECT_EQ(DecodeBase64(""), "");
    EXPECT_FALSE(DecodeBase64("aGVsbG8*"));
    EXPECT_FALSE(DecodeBase64("aGVsbG8=x"));
    EXPECT_FALSE(DecodeBase64("a"));
    EXPECT_FALSE(DecodeBase64("aGk==="));
}

TEST(XmlEscape, TextAndAttributes) {
    EXPECT_EQ(EscapeXml("a&b<c>d\"e'f", false), "a&amp;b&lt;c&gt;d&quot;e'f");
    EXPECT_EQ(EscapeXml("a'b\tc", true), "a&apos;b&#9;c");
    EXPECT_EQ(EscapeXml("tab\tline\r\n", false), "tab\tline\r\n");
    EXPECT_EQ(EscapeXml("bell\x07", false), "bell");
    EXPECT_EQ(EscapeXml("caf\xC3\xA9 \xF0\x9F\x98\x80", false), "caf&#233; &#128512;");
    EXPECT_EQ(EscapeXml("bad\xE9!", false), "bad&#65533;!");  // not UTF-8
    XmlWriter xml;
    xml.Open("a", {{"k", "v&"}});
    xml.Leaf("b", " padded ");
    xml.Empty("c", {});
    EXPECT_EQ(xml.Finish(), "<?xml version=\"1.0\"?>\n<a k=\"v&amp;\">\n\t<b> padded </b>\n\t<c/>\n</a>\n");
}

TEST(Seeds, MayOnlyInsertCatalogueRows) {
    ServiceStore store(":memory:");
    auto lock = store.Lock();
    store.ReplaceCatalogue({Seed()});
    const int64_t products = store.ProductCount();
    {
        Transaction tx(store.Db());
        store.CreateMachine("m1", "2024-01-01T00:00:00Z");
        tx.Commit();
    }
    for (const std::string& hostile : {
             std::string("DROP TABLE machines;"),
             std::string("DELETE FROM machines;"),
             std::string("INSERT INTO machines(id, first_seen, last_seen) VALUES('x', '', '');"),
             std::string("UPDATE products SET name = 'x';"),
             std::string("PRAGMA foreign_keys=OFF;"),
             std::string("ATTACH DATABASE '/tmp/elsewhere.db' AS other;"),
             std::string("INSERT INTO products(id, name, current_version) VALUES(1, 'ok', '1.0'); DROP TABLE scans;"),
         }) {
        EXPECT_THROW(store.ReplaceCatalogue({hostile}), StoreError) << hostile;
        // The failed load changed nothing.
        EXPECT_EQ(store.ProductCount(), products) << hostile;
        EXPECT_TRUE(store.FindMachine("m1")) << hostile;
    }
    // A second seed adds to the first within one load.
    store.ReplaceCatalogue({Seed(), "INSERT INTO products(id, name, current_version) VALUES(9001, 'Fixture App', '2.0');"
                                    "INSERT INTO product_matches VALUES(9001, 'exe', 'fixture.exe');"});
    EXPECT_EQ(store.ProductCount(), products + 1);
}
