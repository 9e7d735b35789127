// The machine page, its token, and the REST reports, over HTTP as the agent
// and a browser reach them, with machines populated by real check requests.
#include <gtest/gtest.h>
#include <httplib.h>

#include <cstdio>
#include <thread>

#include "html.h"
#include "platform/files.h"
#include "report_endpoint.h"
#include "running_service.h"
#include "xml_tree.h"
#include "xml_writer.h"

using namespace vnservice;

namespace {

const char kScanPath[] = "/cgi-bin/vncheck.fcgi";

std::string Read(const std::string& relative) {
    return platform::ReadWholeFile(std::string(VARNEL_SOURCE_DIR) + "/" + relative).value_or("");
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

size_t Occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size()) ++n;
    return n;
}

struct Registered {
    std::string machineId, scanId, homepage;
};

class ReportPagesTest : public ::testing::Test {
protected:
    void Start(ServiceOptions options = {}) {
        const ServiceOptions test = TestServiceOptions();
        options.port = test.port;
        options.database = database_.empty() ? test.database : database_;
        options.seeds = test.seeds;
        running_ = std::make_unique<RunningService>(options);
        service_ = &running_->Service();
        service_->SetNotice([this](const std::string& line) {
            std::lock_guard<std::mutex> guard(noticeMutex_);
            notices_.push_back(line);
        });
        ASSERT_TRUE(running_->Start());
        port_ = service_->Port();
        client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
    }
    // The service stops before the notices it writes to go.
    void TearDown() override { running_.reset(); }

    std::unique_ptr<testxml::Node> PostScan(const std::string& document) {
        auto res = client_->Post(kScanPath, document, "text/xml");
        EXPECT_TRUE(res);
        if (!res) return nullptr;
        EXPECT_EQ(res->status, 200) << res->body;
        return testxml::Parse(res->body);
    }

    // A pre-scan and then a check, as the agent sends them.
    Registered Register(const std::string& machineName = "DESKTOP-7Q2LK") {
        Registered r;
        auto pre = PostScan(
            Replace(Read("server/tests/data/prescan.xml"), "DESKTOP-7Q2LK", EscapeXml(machineName, false)));
        if (!pre) return r;
        r.machineId = pre->Child("status")->Text("set-machine-id");
        r.scanId = pre->Child("status")->Text("scanid");
        r.homepage = Check(r, machineName);
        return r;
    }
    std::string Check(const Registered& r, const std::string& machineName = "DESKTOP-7Q2LK") {
        std::string doc = Read("server/tests/data/check.xml");
        doc = Replace(Replace(Replace(doc, "@MACHINEID@", r.machineId), "@SCANID@", r.scanId), "DESKTOP-7Q2LK",
                      EscapeXml(machineName, false));
        auto reply = PostScan(doc);
        return reply ? reply->Child("status")->Text("homepage") : std::string();
    }

    // The path and query of one of this service's addresses.
    std::string Local(const std::string& url) {
        const std::string base = service_->PublicUrl();
        EXPECT_EQ(url.rfind(base, 0), 0u) << url;
        return url.substr(base.size());
    }

    httplib::Result Get(const std::string& path) { return client_->Get(path); }

    std::string ScanStatus(const std::string& scanId) {
        auto res = Get(std::string(kScanReportPath) + "?scanId=" + scanId);
        if (!res || res->status != 200) return "<http error>";
        auto root = testxml::Parse(res->body);
        return root ? root->Child("ScanReport")->Text("Status") : "<not xml>";
    }

    std::string database_;
    std::mutex noticeMutex_;
    std::vector<std::string> notices_;  // what the service prints for whoever runs it
    std::unique_ptr<RunningService> running_;
    UpdateService* service_ = nullptr;
    int port_ = 0;
    std::unique_ptr<httplib::Client> client_;
};

}  // namespace

TEST_F(ReportPagesTest, MachinePageOpensOnlyWithItsOwnToken) {
    Start();
    const Registered a = Register("ALPHA-PC"), b = Register("BRAVO-PC");
    ASSERT_FALSE(a.homepage.empty());
    const std::string page = Local(a.homepage);
    const std::string token = page.substr(page.find("token=") + 6);
    EXPECT_EQ(token.size(), 32u);

    // The agent opens the address with "tag=client" added; that is ignored.
    auto ok = Get(page + "&tag=client");
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->status, 200);
    EXPECT_EQ(ok->get_header_value("Content-Type"), "text/html; charset=utf-8");
    EXPECT_EQ(ok->get_header_value("Referrer-Policy"), "no-referrer");
    EXPECT_NE(ok->body.find("ALPHA-PC"), std::string::npos);

    std::string wrong = token;
    wrong.back() = wrong.back() == '0' ? '1' : '0';
    const std::string bToken = Local(b.homepage).substr(Local(b.homepage).find("token=") + 6);
    const std::string refused[] = {
        "/my/" + a.machineId,                                   // no token
        "/my/" + a.machineId + "?token=",                       // empty token
        "/my/" + a.machineId + "?token=" + wrong,               // one digit off
        "/my/" + a.machineId + "?token=" + token.substr(0, 31),  // a prefix
        "/my/" + a.machineId + "?token=" + bToken,              // another machine's token
        "/my/" + b.machineId + "?token=" + token,               // this token on another machine
        "/my/00000000-0000-4000-8000-000000000000?token=" + token,  // unknown machine
        "/my/" + a.machineId + "/extra?token=" + token,
    };
    const auto first = Get(refused[0]);
    ASSERT_TRUE(first);
    for (const std::string& path : refused) {
        auto res = Get(path);
        ASSERT_TRUE(res) << path;
        EXPECT_EQ(res->status, 404) << path;
        EXPECT_EQ(res->body, first->body) << "every refusal looks the same: " << path;
        EXPECT_EQ(res->body.find("ALPHA-PC"), std::string::npos) << path;
        EXPECT_EQ(res->body.find("BRAVO-PC"), std::string::npos) << path;
    }

}

TEST_F(ReportPagesTest, MachineTextsAreEscapedOnThePage) {
    Start();
    const std::string name = "<script>document.title='owned'</script>\"&'";
    const Registered r = Register(name);
    auto res = Get(Local(r.homepage));
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200);
    const std::string& html = res->body;
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_NE(html.find("&lt;script&gt;document.title=&#39;owned&#39;&lt;/script&gt;&quot;&amp;&#39;"),
              std::string::npos);
    // The program name sent as "Contoso Widget & Tools <Beta>".
    EXPECT_NE(html.find("Contoso Widget &amp; Tools &lt;Beta&gt;"), std::string::npos);

    EXPECT_EQ(EscapeHtml(std::string("a\x01\tb\xC3\xA9\xFF")), "a b\xC3\xA9\xEF\xBF\xBD");
    EXPECT_EQ(SafeHref("javascript:alert(1)"), "");
    EXPECT_EQ(SafeHref("https://x/?a=1&b=\"2\""), "https://x/?a=1&amp;b=&quot;2&quot;");
}

TEST_F(ReportPagesTest, PageAndOutOfDateReportShowTheSameLatestScan) {
    Start();
    const Registered r = Register();
    auto page = Get(Local(r.homepage));
    ASSERT_TRUE(page);
    auto res = Get(std::string(kOutOfDateReportPath) + "?machineId=" + r.machineId);
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200);
    auto root = testxml::Parse(res->body);
    ASSERT_TRUE(root);
    const testxml::Node* report = root->Child("InstalledProductReport");
    ASSERT_TRUE(report);
    EXPECT_FALSE(report->Child("ursId"));  // not linked to a user
    EXPECT_EQ(report->Text("ScanId"), r.scanId);

    // What the agent selects: Software/Product[@outOfDate='true']/Current/Name.
    std::vector<std::string> outdated;
    size_t current = 0;
    for (const testxml::Node* p : report->Child("Software")->All("Product")) {
        if (p->attrs.at("outOfDate") == "true") outdated.push_back(p->Child("Current")->Text("Name"));
        else ++current;
    }
    EXPECT_EQ(outdated, (std::vector<std::string>{"Mozilla Firefox", "7-Zip", "Wireshark"}));
    EXPECT_EQ(current, 2u);
    EXPECT_EQ(Occurrences(page->body, "<tr class=\"outdated\""), outdated.size());
    EXPECT_EQ(Occurrences(page->body, "<tr class=\"current\""), current);
    EXPECT_NE(page->body.find("id=\"count-outdated\"><b>3</b>"), std::string::npos);
    {
        std::lock_guard<std::mutex> guard(noticeMutex_);
        EXPECT_EQ(notices_, std::vector<std::string>{"machine page: " + r.homepage + " (7 items, 3 out of date)"});
    }

    // A second check of the same machine: the report follows the latest one.
    std::string doc = Read("server/tests/data/check.xml");
    doc = Replace(Replace(doc, "@MACHINEID@", r.machineId), "@SCANID@", "");
    doc = Replace(doc, "<InstalledVers>115.0.2</InstalledVers>", "<InstalledVers>127.0.2</InstalledVers>");
    ASSERT_TRUE(PostScan(doc));
    root = testxml::Parse(Get(std::string(kOutOfDateReportPath) + "?machineId=" + r.machineId)->body);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->Child("InstalledProductReport")->Child("Software")->attrs.at("outOfDateCount"), "2");
    page = Get(Local(r.homepage));
    EXPECT_EQ(Occurrences(page->body, "<tr class=\"outdated\""), 2u);
    EXPECT_EQ(Occurrences(page->body, "<tr class=\"scan\""), 2u);  // both checks in the history
}

TEST_F(ReportPagesTest, ScanReportIsInProgressUntilTheItemsAreProcessed) {
    ServiceOptions options;
    options.reportDelayMs = 400;
    Start(options);
    auto pre = PostScan(Read("server/tests/data/prescan.xml"));
    ASSERT_TRUE(pre);
    Registered r{pre->Child("status")->Text("set-machine-id"), pre->Child("status")->Text("scanid"), ""};
    EXPECT_EQ(ScanStatus(r.scanId), "IN_PROGRESS");  // no check yet
    r.homepage = Check(r);
    EXPECT_EQ(ScanStatus(r.scanId), "IN_PROGRESS");  // checked, still being processed
    // Meanwhile neither the report nor the page shows the unprocessed scan.
    auto list = testxml::Parse(Get(std::string(kOutOfDateReportPath) + "?machineId=" + r.machineId)->body);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->Child("InstalledProductReport")->Child("Software")->attrs.at("outOfDateCount"), "0");
    EXPECT_NE(Get(Local(r.homepage))->body.find("id=\"processing\""), std::string::npos);

    std::string status;
    for (int i = 0; i < 100 && (status = ScanStatus(r.scanId)) == "IN_PROGRESS"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(status, "COMPLETE");
    auto res = Get(std::string(kScanReportPath) + "?scanId=" + r.scanId);
    auto root = testxml::Parse(res->body);
    ASSERT_TRUE(root);
    const testxml::Node* scan = root->Child("ScanReport");
    EXPECT_EQ(scan->Child("Machine")->Text("MachineId"), r.machineId);
    EXPECT_EQ(scan->Child("Machine")->Text("UrsId"), "");
    EXPECT_EQ(scan->Child("Counts")->attrs.at("outOfDate"), "3");
}

TEST_F(ReportPagesTest, UnknownIdentifiersGetA404) {
    Start();
    const Registered r = Register();
    for (const std::string& path :
         {std::string(kScanReportPath) + "?scanId=" + r.machineId,  // a machine id is no scan id
          std::string(kScanReportPath) + "?scanId=%27%20OR%201=1",
          std::string(kOutOfDateReportPath) + "?machineId=" + r.scanId,  // a scan id is no machine id
          std::string(kOutOfDateReportPath)}) {
        auto res = Get(path);
        ASSERT_TRUE(res) << path;
        EXPECT_EQ(res->status, 404) << path;
        EXPECT_EQ(res->body.find("Firefox"), std::string::npos) << path;
    }
}

TEST_F(ReportPagesTest, OperatorLinksAMachineToAUser) {
    char path[] = "/tmp/varnel-links-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    database_ = path;
    Start();
    const Registered r = Register();
    std::string out;
    EXPECT_TRUE(ApplyUserLinks(service_->Store(), {r.machineId + "=user-4711"}, out)) << out;
    EXPECT_FALSE(ApplyUserLinks(service_->Store(), {"no-such-machine=user-1"}, out));

    auto list = testxml::Parse(Get(std::string(kOutOfDateReportPath) + "?machineId=" + r.machineId)->body);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->Child("InstalledProductReport")->Text("ursId"), "user-4711");
    auto scan = testxml::Parse(Get(std::string(kScanReportPath) + "?scanId=" + r.scanId)->body);
    ASSERT_TRUE(scan);
    EXPECT_EQ(scan->Child("ScanReport")->Child("Machine")->Text("UrsId"), "user-4711");

    EXPECT_TRUE(ApplyUserLinks(service_->Store(), {r.machineId + "="}, out));
    list = testxml::Parse(Get(std::string(kOutOfDateReportPath) + "?machineId=" + r.machineId)->body);
    EXPECT_FALSE(list->Child("InstalledProductReport")->Child("ursId"));

    const CommandLine cl = ParseCommandLine({"--link-user", "m-1=u-2", "--report-delay-ms", "1500",
                                             "--reply-delay-ms=20"});
    ASSERT_TRUE(cl.ok) << cl.error;
    EXPECT_EQ(cl.options.userLinks, std::vector<std::string>{"m-1=u-2"});
    EXPECT_EQ(cl.options.reportDelayMs, 1500);
    EXPECT_EQ(cl.options.replyDelayMs, 20);
    for (const auto& bad : std::vector<std::vector<std::string>>{
             {"--link-user", "=u"}, {"--link-user", "m"}, {"--report-delay-ms", "-1"}, {"--reply-delay-ms", "x"}})
        EXPECT_FALSE(ParseCommandLine(bad).ok) << bad[0] << " " << bad[1];

    running_.reset();
    std::remove(path);
    std::remove((std::string(path) + "-wal").c_str());
    std::remove((std::string(path) + "-shm").c_str());
}

TEST_F(ReportPagesTest, DatabaseOfTheFirstLayoutIsMigrated) {
    char path[] = "/tmp/varnel-migrate-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    {
        // A database as the first layout left it: no token, user or ready
        // columns, and page addresses without a token.
        ServiceStore store(path);
        auto lock = store.Lock();
        store.Db().Exec(
            "DROP INDEX scans_pending; ALTER TABLE scans DROP COLUMN ready_ms;"
            "ALTER TABLE machines DROP COLUMN page_token; ALTER TABLE machines DROP COLUMN urs_id;"
            "UPDATE meta SET value = '1' WHERE key = 'schema_version';"
            "INSERT INTO machines(id, machine_name, first_seen, last_seen) VALUES('old-machine', 'OLD-PC', 'x', 'x');"
            "INSERT INTO site_settings(name, value) VALUES('homepage_url', '/my/{machineId}'),"
            " ('welcome_url', '/welcome/?machineId={machineId}');");
    }
    {
        ServiceStore store(path);
        auto lock = store.Lock();
        EXPECT_EQ(store.SiteSetting("homepage_url"), "/my/{machineId}?token={token}");
        EXPECT_EQ(store.SiteSetting("welcome_url"), "/welcome/?machineId={machineId}&token={token}");
        EXPECT_EQ(store.StoredPageToken("old-machine"), "");
        const std::string token = store.PageToken("old-machine");  // made on first use, then kept
        EXPECT_EQ(token.size(), 32u);
        EXPECT_EQ(store.PageToken("old-machine"), token);
        EXPECT_EQ(store.PageToken("unknown"), "");
        EXPECT_TRUE(store.SetUserLink("old-machine", "u"));
    }
    std::remove(path);
    std::remove((std::string(path) + "-wal").c_str());
    std::remove((std::string(path) + "-shm").c_str());
}

TEST_F(ReportPagesTest, SlowReplyIsHeldBackAndEndsWithTheService) {
    ServiceOptions options;
    options.replyDelayMs = 60 * 1000;
    Start(options);
    auto pre = PostScan(Read("server/tests/data/prescan.xml"));  // a pre-scan is never held back
    ASSERT_TRUE(pre);
    Registered r{pre->Child("status")->Text("set-machine-id"), pre->Child("status")->Text("scanid"), ""};

    httplib::Client slow("127.0.0.1", port_);
    slow.set_read_timeout(1, 0);
    std::string doc = Read("server/tests/data/check.xml");
    doc = Replace(Replace(doc, "@MACHINEID@", r.machineId), "@SCANID@", r.scanId);
    auto res = slow.Post(kScanPath, doc, "text/xml");
    EXPECT_FALSE(res);  // no reply within a second
    EXPECT_EQ(ScanStatus(r.scanId), "COMPLETE");  // though the check itself was stored
    // Stopping the service ends the held reply at once (TearDown would hang otherwise).
    const auto before = std::chrono::steady_clock::now();
    running_.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(30));
}

TEST_F(ReportPagesTest, WelcomeAndHelpPagesSayWhatIsSent) {
    Start();
    auto pre = PostScan(Read("server/tests/data/prescan.xml"));
    ASSERT_TRUE(pre);
    const std::string welcome = Local(pre->Child("status")->Text("progresspage"));
    auto res = Get(welcome);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_NE(res->body.find("id=\"your-page\""), std::string::npos);  // links to the machine's page
    EXPECT_NE(res->body.find("id=\"sys-info-list\""), std::string::npos);
    // Without the token it is the same page, minus the link.
    res = Get(welcome.substr(0, welcome.find("&token=")));
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->body.find("id=\"your-page\""), std::string::npos);

    res = Get("/help/?tag=client");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    const std::string& help = res->body;
    // The seven values the "Include Sys Info" choice controls.
    const size_t list = help.find("id=\"sys-info-list\"");
    ASSERT_NE(list, std::string::npos);
    EXPECT_EQ(Occurrences(help.substr(list, help.find("</ul>", list) - list), "<li>"), 7u);
    EXPECT_NE(help.find("id=\"how-to-remove\""), std::string::npos);
}
