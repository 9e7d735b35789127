#include <gtest/gtest.h>

#include <set>

#include "platform/files.h"
#include "scan_service.h"
#include "secure_random.h"
#include "xml_tree.h"

using namespace vnservice;

namespace {

const char kPublic[] = "http://127.0.0.1:9999";

std::string Read(const std::string& relative) {
    auto text = platform::ReadWholeFile(std::string(VARNEL_SOURCE_DIR) + "/" + relative);
    EXPECT_TRUE(text) << relative;
    return text.value_or("");
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

struct Reply {
    ScanOutcome outcome;
    std::unique_ptr<testxml::Node> root;
    const testxml::Node& Status() const { return *root->Child("status"); }
    // The update record for a sequence number, or null.
    const testxml::Node* Update(const std::string& sequence) const {
        for (const testxml::Node* u : root->All("update"))
            if (u->Text("Sequence") == sequence) return u;
        return nullptr;
    }
};

class ScanServiceTest : public ::testing::Test {
protected:
    ScanServiceTest() : store_(":memory:"), service_(store_, kPublic) {
        auto lock = store_.Lock();
        store_.ReplaceCatalogue({Read("server/seed/catalog.sql")});
    }

    Reply Post(const std::string& document) {
        const ParsedRequest parsed = ParseScanRequest(document);
        EXPECT_TRUE(parsed.ok) << parsed.error;
        Reply reply;
        reply.outcome = service_.Handle(parsed.request);
        reply.root = testxml::Parse(reply.outcome.reply);
        EXPECT_TRUE(reply.root) << reply.outcome.reply;
        return reply;
    }

    Reply PreScan(const std::string& machineId = "", const std::string& clientVersion = "1.3.1.55") {
        std::string doc = Read("server/tests/data/prescan.xml");
        doc = Replace(doc, "<machineid/>", "<machineid>" + machineId + "</machineid>");
        doc = Replace(doc, "clientVersion=\"1.3.1.55\"", "clientVersion=\"" + clientVersion + "\"");
        return Post(doc);
    }

    Reply Check(const std::string& machineId, const std::string& scanId) {
        std::string doc = Read("server/tests/data/check.xml");
        return Post(Replace(Replace(doc, "@MACHINEID@", machineId), "@SCANID@", scanId));
    }

    int64_t Count(const std::string& sql) {
        auto lock = store_.Lock();
        Statement s = store_.Db().Prepare(sql);
        return s.Step() ? s.Int(0) : -1;
    }

    std::string Token(const std::string& machineId) {
        auto lock = store_.Lock();
        return store_.StoredPageToken(machineId);
    }

    ServiceStore store_;
    ScanService service_;
};

}  // namespace

TEST_F(ScanServiceTest, PreScanRegistersANewMachine) {
    const Reply r = PreScan();
    ASSERT_TRUE(r.root);
    EXPECT_EQ(r.root->name, "meridox");
    // No namespace: the agent's XPath "/meridox/status/exclusion" has no prefix.
    EXPECT_EQ(r.root->attrs.count("xmlns"), 0u);

    const testxml::Node& status = r.Status();
    EXPECT_EQ(status.Text("code"), "0");
    const std::string id = status.Text("set-machine-id");
    EXPECT_TRUE(IsPlausibleId(id)) << id;
    EXPECT_EQ(id.size(), 36u);
    EXPECT_TRUE(IsPlausibleId(status.Text("scanid")));
    EXPECT_NE(status.Text("scanid"), id);
    const std::string token = Token(id);
    EXPECT_EQ(token.size(), 2 * kPageTokenBytes);
    EXPECT_EQ(status.Text("progresspage"), std::string(kPublic) + "/welcome/?machineId=" + id + "&token=" + token);
    EXPECT_EQ(r.root->Child("authentication")->Text("machineid"), id);
    EXPECT_EQ(r.root->Child("authentication")->Text("machinename"), "DESKTOP-7Q2LK");
    EXPECT_TRUE(r.root->All("update").empty());

    // The machine and what it sent are kept; the scan waits for its check.
    EXPECT_EQ(Count("SELECT COUNT(*) FROM machines WHERE machine_name = 'DESKTOP-7Q2LK' AND client_version = '1.3.1.55'"), 1);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM machine_facts WHERE section = 'profile' AND name = 'operatingSystem/name'"
                    " AND value = 'Windows 10 Pro'"),
              1);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM machine_facts WHERE section = 'clientsettings'"), 7);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM machine_facts WHERE section = 'prescan' AND name = 'exclusionListDate'"
                    " AND value = '2001-01-01'"),
              1);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM scans WHERE status = 'IN_PROGRESS'"), 1);
}

TEST_F(ScanServiceTest, PreScanSendsTheExclusionListAndTheNewestAgent) {
    const Reply r = PreScan();
    const testxml::Node& status = r.Status();
    const testxml::Node* exclusion = status.Child("exclusion");
    ASSERT_TRUE(exclusion);
    EXPECT_EQ(exclusion->attrs.at("revDate"), "2024-06-01");
    const auto items = exclusion->All("item");
    ASSERT_EQ(items.size(), 14u);
    EXPECT_EQ(items[0]->attrs.at("name"), "^Security Update for .*");
    EXPECT_EQ(items[3]->attrs.at("product"), "Microsoft .NET Framework 4.8 Targeting Pack");
    EXPECT_EQ(items[10]->attrs.at("dir"), "C:\\Windows\\System32\\rundll32.exe");

    const testxml::Node* update = status.Child("clientupdate");
    ASSERT_TRUE(update);
    EXPECT_EQ(update->attrs.at("version"), "1.3.2.12");
    EXPECT_EQ(update->text, std::string(kPublic) + "/downloads/agent/VarnelSetup-1.3.2.12.msi");

    // An agent that is current, or newer (compared as numbers), is offered nothing.
    for (const char* version : {"1.3.2.12", "1.3.10.0", "2.0"})
        EXPECT_FALSE(PreScan("", version).Status().Child("clientupdate")) << version;
    EXPECT_TRUE(PreScan("", "1.3.2.9").Status().Child("clientupdate"));
}

TEST_F(ScanServiceTest, KnownMachinesKeepTheirIdentifier) {
    const std::string id = PreScan().Status().Text("set-machine-id");
    const Reply again = PreScan(id);
    EXPECT_EQ(again.Status().Text("code"), "0");
    EXPECT_FALSE(again.Status().Child("set-machine-id"));
    EXPECT_FALSE(again.Status().Child("progresspage"));  // the welcome page is for new machines
    EXPECT_TRUE(again.Status().Child("scanid"));
    EXPECT_EQ(again.root->Child("authentication")->Text("machineid"), id);

    // An identifier the service never issued, or one that cannot be one, gets a new one.
    for (const char* unknown : {"0b7c1e52-0000-4000-8000-000000000000", "&lt;script&gt;", "x' OR '1'='1"}) {
        const Reply r = PreScan(unknown);
        const std::string issued = r.Status().Text("set-machine-id");
        EXPECT_TRUE(IsPlausibleId(issued)) << unknown;
        EXPECT_NE(issued, unknown);
        EXPECT_EQ(r.root->Child("authentication")->Text("machineid"), issued);
    }
    EXPECT_EQ(Count("SELECT COUNT(*) FROM machines"), 4);
}

TEST_F(ScanServiceTest, CheckAnswersEachRecognisedItem) {
    const Reply pre = PreScan();
    const std::string machine = pre.Status().Text("set-machine-id");
    const std::string scan = pre.Status().Text("scanid");
    const Reply r = Check(machine, scan);

    const testxml::Node& status = r.Status();
    EXPECT_EQ(status.Text("code"), "0");
    EXPECT_FALSE(status.Child("set-machine-id"));
    EXPECT_FALSE(status.Child("scanid"));  // the check continues the pre-scan's scan
    EXPECT_EQ(status.Text("homepage"), std::string(kPublic) + "/my/" + machine + "?token=" + Token(machine));
    EXPECT_EQ(status.Text("helpage"), std::string(kPublic) + "/help/");

    // Items 4 (unknown program) and 7 (a driver) are not in the catalogue.
    EXPECT_EQ(r.root->All("update").size(), 5u);
    EXPECT_FALSE(r.Update("4"));
    EXPECT_FALSE(r.Update("7"));

    const testxml::Node* firefox = r.Update("1");
    ASSERT_TRUE(firefox);
    EXPECT_EQ(firefox->Text("ProgName"), "Mozilla Firefox");
    EXPECT_EQ(firefox->Text("CurrentVers"), "127.0.2");
    EXPECT_EQ(firefox->Text("CurrentDate"), "2024-06-25");
    EXPECT_EQ(firefox->Text("Outdated"), "true");
    EXPECT_EQ(firefox->Text("MyVersion"), "115.0.2");
    EXPECT_EQ(firefox->Text("URL"), "https://www.mozilla.org/firefox/");
    EXPECT_EQ(firefox->Text("DirectDLUrl"),
              "https://download.mozilla.org/?product=firefox-latest-ssl&os=win64&lang=en-US");
    EXPECT_EQ(firefox->Text("DirectDLIsFile"), "false");
    EXPECT_EQ(firefox->Text("productID"), "101");
    EXPECT_EQ(firefox->Text("MatchedPvId"), "101:115.0.2");
    EXPECT_EQ(firefox->Child("ID")->attrs.at("type"), "fingerPrint");
    EXPECT_EQ(firefox->Text("ID"), "fp-101");
    EXPECT_EQ(firefox->attrs.at("serverNeedsIcon"), "true");

    // The suite is known by its installer product code; its version comes
    // from the first version text that holds a number.
    const testxml::Node* sevenZip = r.Update("2");
    ASSERT_TRUE(sevenZip);
    EXPECT_EQ(sevenZip->Text("ProgName"), "7-Zip");
    EXPECT_EQ(sevenZip->Text("Outdated"), "true");
    EXPECT_EQ(sevenZip->Text("MyVersion"), "23.01.00.0");
    EXPECT_EQ(sevenZip->Text("MatchedPvId"), "107:23.1");
    EXPECT_EQ(sevenZip->Text("DirectDLIsFile"), "true");

    EXPECT_EQ(r.Update("3")->Text("Outdated"), "false");  // Notepad++ 8.6.8 is current

    // VLC sent its icons with this request: they are not asked for again.
    EXPECT_EQ(r.Update("5")->attrs.count("serverNeedsIcon"), 0u);

    // A fingerprint from an earlier reply identifies the item whatever its name.
    const testxml::Node* byFingerprint = r.Update("6");
    ASSERT_TRUE(byFingerprint);
    EXPECT_EQ(byFingerprint->Text("ProgName"), "Wireshark");
    EXPECT_EQ(byFingerprint->Text("Outdated"), "true");

    // Everything the machine sent is kept with the scan.
    EXPECT_EQ(Count("SELECT COUNT(*) FROM scans WHERE status = 'COMPLETE' AND item_count = 7 AND recognised_count = 5"
                    " AND outdated_count = 3"),
              1);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM scan_items WHERE kind = 'driver' AND product_id IS NULL"), 1);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM scan_item_fields WHERE name = 'ProgName' AND value = 'Contoso Widget & Tools <Beta>'"), 1);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM scan_item_fields WHERE name = 'HwId[2000]'"), 1);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM icons WHERE product_id = 109 AND generic = 0 AND length(png) > 8"), 2);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM icons WHERE product_id = 109 AND width = 32 AND height = 32"), 1);
}

TEST_F(ScanServiceTest, RepeatedCheckReplacesTheScanItems) {
    const Reply pre = PreScan();
    const std::string machine = pre.Status().Text("set-machine-id");
    const std::string scan = pre.Status().Text("scanid");
    Check(machine, scan);
    const Reply second = Check(machine, scan);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM scan_items"), 7);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM scans"), 1);
    EXPECT_EQ(second.Update("5")->attrs.count("serverNeedsIcon"), 0u);
    EXPECT_EQ(second.Update("1")->attrs.count("serverNeedsIcon"), 1u);
}

TEST_F(ScanServiceTest, CheckWithoutAUsableScanOpensOne) {
    const Reply pre = PreScan();
    const std::string machine = pre.Status().Text("set-machine-id");
    const std::string scan = pre.Status().Text("scanid");

    // A check from the tray carries no scan identifier.
    Reply r = Check(machine, "");
    const std::string opened = r.Status().Text("scanid");
    EXPECT_TRUE(IsPlausibleId(opened));
    EXPECT_NE(opened, scan);

    // Another machine's scan is neither continued nor changed, whether or
    // not it holds a check already.
    const std::string other = PreScan().Status().Text("set-machine-id");
    r = Check(other, scan);
    EXPECT_NE(r.Status().Text("scanid"), scan);
    EXPECT_EQ(Count("SELECT item_count FROM scans WHERE id = '" + scan + "'"), 0);
    Check(machine, opened);
    const int64_t fields = Count("SELECT COUNT(*) FROM scan_item_fields WHERE scan_id = '" + opened + "'");
    r = Check(other, opened);
    EXPECT_NE(r.Status().Text("scanid"), opened);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM scans WHERE id = '" + opened + "' AND machine_id = '" + machine + "'"), 1);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM scan_item_fields WHERE scan_id = '" + opened + "'"), fields);

    // A machine the service does not know is registered by its check.
    r = Check("", "");
    EXPECT_TRUE(IsPlausibleId(r.Status().Text("set-machine-id")));
    EXPECT_EQ(r.root->All("update").size(), 5u);
}

TEST_F(ScanServiceTest, BlockedMachineIsRefused) {
    const std::string machine = PreScan().Status().Text("set-machine-id");
    {
        auto lock = store_.Lock();
        store_.SetMachineBlocked(machine, true);
    }
    for (int check = 0; check < 2; ++check) {
        const Reply r = check ? Check(machine, "") : PreScan(machine);
        EXPECT_TRUE(r.outcome.refused);
        EXPECT_EQ(r.Status().Text("code"), "2");
        EXPECT_NE(r.Status().Text("login-error"), "");
        EXPECT_NE(r.Status().Text("message"), "");
        EXPECT_FALSE(r.Status().Child("scanid"));
        EXPECT_FALSE(r.Status().Child("exclusion"));
        EXPECT_TRUE(r.root->All("update").empty());
    }
    EXPECT_EQ(Count("SELECT COUNT(*) FROM scans"), 1);  // only the first pre-scan's
    EXPECT_EQ(Count("SELECT COUNT(*) FROM scan_items"), 0);
}

TEST_F(ScanServiceTest, IconsAreCheckedBeforeTheyAreKept) {
    const std::string machine = PreScan().Status().Text("set-machine-id");
    const auto check = [&](const std::string& itemBody) {
        return Post(
            "<?xml version=\"1.0\"?><meridox clientVersion=\"1.3.1.55\"><authentication><machineid>" + machine +
            "</machineid></authentication><software.scanned><item><Sequence>1</Sequence>"
            "<ProgName>Mozilla Firefox</ProgName><InstalledVers>127.0.2</InstalledVers>" +
            itemBody + "</item></software.scanned></meridox>");
    };
    // Not Base64, not a PNG, or a format the service does not keep: ignored.
    check("<icon productID=\"101\" width=\"32\" height=\"32\" format=\"PNG\" encoding=\"Base64\">*not base64*</icon>");
    check("<icon productID=\"101\" width=\"32\" height=\"32\" format=\"PNG\" encoding=\"Base64\">R0lGODlhAQABAAAAACw=</icon>");
    check("<icon productID=\"101\" format=\"BMP\" encoding=\"Base64\">iVBORw0KGgo=</icon>");
    EXPECT_EQ(Count("SELECT COUNT(*) FROM icons"), 0);
    EXPECT_EQ(check("").Update("1")->attrs.count("serverNeedsIcon"), 1u);

    // An agent without an icon file says so; the service stops asking.
    check("<icon generic=\"true\"></icon>");
    EXPECT_EQ(Count("SELECT COUNT(*) FROM icons WHERE product_id = 101 AND generic = 1"), 1);
    const Reply after = check("");
    EXPECT_EQ(after.Update("1")->attrs.count("serverNeedsIcon"), 0u);
    EXPECT_EQ(after.Update("1")->Text("Outdated"), "false");
}

TEST_F(ScanServiceTest, RepliesAreAsciiWhateverTheCatalogueHolds) {
    {
        auto lock = store_.Lock();
        store_.ReplaceCatalogue({"INSERT INTO products(id, name, publisher, current_version, product_url) VALUES"
                                 "(7, 'Caf\xC3\xA9 Tool \xE2\x84\xA2', 'M\xC3\xBCller & Sons', '2.0', "
                                 "'https://example.com/?a=1&b=\"2\"');"});
    }
    const std::string machine = PreScan().Status().Text("set-machine-id");
    const Reply r = Post("<meridox><authentication><machineid>" + machine +
                         "</machineid></authentication><software.scanned><item><Sequence>12</Sequence>"
                         "<ProgName>caf\xC3\xA9 tool \xE2\x84\xA2</ProgName><InstalledVers>1.9.9</InstalledVers>"
                         "</item></software.scanned></meridox>");
    for (unsigned char c : r.outcome.reply) ASSERT_LT(c, 0x80) << r.outcome.reply;
    const testxml::Node* u = r.Update("12");
    ASSERT_TRUE(u);
    EXPECT_EQ(u->Text("ProgName"), "Caf\xC3\xA9 Tool \xE2\x84\xA2");
    EXPECT_EQ(u->Text("URL"), "https://example.com/?a=1&b=\"2\"");
    EXPECT_EQ(u->Text("Outdated"), "true");
    EXPECT_NE(r.outcome.reply.find("Caf&#233; Tool &#8482;"), std::string::npos);
}

TEST(SecureRandom, HexOfTheAskedLengthNeverRepeated) {
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        const std::string hex = RandomHex(16);
        ASSERT_EQ(hex.size(), 32u);
        ASSERT_EQ(hex.find_first_not_of("0123456789abcdef"), std::string::npos) << hex;
        seen.insert(hex);
    }
    EXPECT_EQ(seen.size(), 1000u);
    EXPECT_EQ(RandomHex(0), "");
}
