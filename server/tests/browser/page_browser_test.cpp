// The service's pages in a real browser: headless Chromium loads the page of
// a machine that real check requests populated, the rendered DOM is checked,
// and screenshots at a phone and a desktop window size are saved.
#include <gtest/gtest.h>
#include <httplib.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <thread>

#include "../running_service.h"
#include "report_endpoint.h"
#include "xml_writer.h"

using namespace vnservice;
namespace fs = std::filesystem;

namespace {

const char kScanPath[] = "/cgi-bin/vncheck.fcgi";

struct Program {
    const char* name;
    const char* version;
    const char* exe;
};

// A household computer: some programs behind the catalogue, some current,
// one the catalogue does not know, and two drivers.
const Program kPrograms[] = {
    {"Mozilla Firefox (x64 en-US)", "115.0.2", "firefox.exe"},
    {"7-Zip 23.01 (x64)", "23.01", "7zFM.exe"},
    {"PuTTY release 0.80 (64-bit)", "0.80.0.0", "putty.exe"},
    {"Java 8 Update 381", "8.0.3810.9", ""},
    {"VLC media player", "3.0.21", "vlc.exe"},
    {"Notepad++ (64-bit x64)", "8.6.8", "notepad++.exe"},
    {"Git", "2.45.2", "git-bash.exe"},
    {"Python 3.12.4 (64-bit)", "3.12.4150.0", ""},
    {"LibreOffice 7.6.4.1", "7.6.4.1", "soffice.exe"},
    {"Contoso Photo Organiser & Tools <Beta>", "1.0", "organiser.exe"},
};

std::string ItemXml(int sequence, const Program& p) {
    std::string x = "<item>\n\t<Sequence>" + std::to_string(sequence) + "</Sequence>\n";
    x += "\t<ProgName>" + EscapeXml(p.name, false) + "</ProgName>\n";
    x += "\t<InstalledVers>" + EscapeXml(p.version, false) + "</InstalledVers>\n";
    x += "\t<Source>Registry</Source>\n\t<ExecutableName>" + EscapeXml(p.exe, false) + "</ExecutableName>\n</item>\n";
    return x;
}

std::string DriverXml(int sequence, const char* device, const char* version, const char* date, const char* provider) {
    return "<item>\n\t<Sequence>" + std::to_string(sequence) + "</Sequence>\n\t<DeviceDesc>" + device +
           "</DeviceDesc>\n\t<DeviceClass>Net</DeviceClass>\n\t<DriverDate>" + date +
           "</DriverDate>\n\t<DriverVersion>" + version + "</DriverVersion>\n\t<DriverProvider>" + provider +
           "</DriverProvider>\n\t<ItemType>driver</ItemType>\n</item>\n";
}

std::string Document(const std::string& machineName, const std::string& machineId, const std::string& scanId,
                     bool check) {
    std::string d =
        "<?xml version=\"1.0\"?>\n<meridox xmlns=\"http://update.zelto.example/xmlschemas/connect.up/\" "
        "revision=\"0\" clientPlatform=\"windows\" clientVersion=\"1.3.1.55\">\n";
    if (!scanId.empty()) d += "<scanid>" + scanId + "</scanid>\n";
    d += "<timestamp>2024-06-28T10:15:02+0200</timestamp>\n<authentication>\n <machinename>" +
         EscapeXml(machineName, false) + "</machinename>\n <machineid>" + machineId +
         "</machineid>\n</authentication><systemProfile>\n <platform>Windows</platform>\n <operatingSystem>\n"
         "  <name>Windows 11 Home</name>\n </operatingSystem>\n</systemProfile>\n";
    if (check) {
        d += "<software.scanned revision=\"0\">\n";
        int sequence = 0;
        for (const Program& p : kPrograms) d += ItemXml(++sequence, p);
        d += DriverXml(++sequence, "Intel(R) Wi-Fi 6 AX201 160MHz", "22.250.1.2", "3-1-2024", "Intel");
        d += DriverXml(++sequence, "Realtek PCIe GbE Family Controller", "10.68.815.2023", "8-15-2023", "Realtek");
        d += "</software.scanned>\n";
    }
    return d + "</meridox>\n";
}

// The text between `from` (found at or after `at`) and the next `to`.
std::string Between(const std::string& text, const std::string& from, const std::string& to, size_t at = 0) {
    const size_t start = text.find(from, at);
    if (start == std::string::npos) return {};
    const size_t end = text.find(to, start + from.size());
    return text.substr(start + from.size(), end == std::string::npos ? std::string::npos : end - start - from.size());
}

size_t Occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size()) ++n;
    return n;
}

class BrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        running_ = std::make_unique<RunningService>(TestServiceOptions());
        service_ = &running_->Service();
        ASSERT_TRUE(running_->Start());
        port_ = service_->Port();
        client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
        fs::create_directories(VARNEL_SCREENSHOT_DIR);
        char profile[] = "/tmp/varnel-chromium-XXXXXX";
        ASSERT_TRUE(mkdtemp(profile));
        profile_ = profile;
    }
    void TearDown() override {
        running_.reset();
        std::error_code ignored;
        fs::remove_all(profile_, ignored);
    }

    // Registers a machine with a pre-scan and checks it; the homepage address
    // the check reply gave.
    std::string Populate(const std::string& machineName) {
        auto pre = client_->Post(kScanPath, Document(machineName, "", "", false), "text/xml");
        EXPECT_TRUE(pre && pre->status == 200);
        if (!pre) return {};
        const std::string machineId = Between(pre->body, "<set-machine-id>", "</set-machine-id>");
        const std::string scanId = Between(pre->body, "<scanid>", "</scanid>");
        auto check = client_->Post(kScanPath, Document(machineName, machineId, scanId, true), "text/xml");
        EXPECT_TRUE(check && check->status == 200);
        machineId_ = machineId;
        return check ? Between(check->body, "<homepage>", "</homepage>") : std::string();
    }

    // Runs Chromium headless on `url` with these extra arguments; its standard output.
    std::string Chromium(const std::string& url, const std::string& args) {
        const std::string command = "timeout 90 " + std::string(VARNEL_CHROMIUM) +
                                    " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
                                    " --disable-background-networking --disable-component-update --disable-sync"
                                    " --disable-dev-shm-usage --hide-scrollbars --user-data-dir=" +
                                    profile_ + " " + args + " '" + url + "' 2>/dev/null";
        std::string out;
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return out;
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
        const int status = pclose(pipe);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
        return out;
    }

    std::string Dom(const std::string& url) { return Chromium(url, "--dump-dom --window-size=1280,1000"); }

    void Screenshot(const std::string& url, const std::string& name, int width, int height) {
        const std::string path = std::string(VARNEL_SCREENSHOT_DIR) + "/" + name;
        fs::remove(path);
        Chromium(url,
                 "--screenshot=" + path + " --window-size=" + std::to_string(width) + "," + std::to_string(height));
        ASSERT_TRUE(fs::exists(path)) << path;
        EXPECT_GT(fs::file_size(path), 10000u) << path << " looks blank";
    }

    std::unique_ptr<RunningService> running_;
    UpdateService* service_ = nullptr;
    int port_ = 0;
    std::unique_ptr<httplib::Client> client_;
    std::string profile_, machineId_;
};

}  // namespace

TEST_F(BrowserTest, MachinePageRendersTheCheckedPrograms) {
    const std::string home = Populate("ANNA-LAPTOP");
    ASSERT_FALSE(home.empty());
    // The address the tray opens: the check reply's homepage with "tag=client".
    const std::string url = home + "&tag=client";
    const std::string dom = Dom(url);
    ASSERT_NE(dom.find("</html>"), std::string::npos) << dom;

    EXPECT_EQ(Between(dom, "<h1 id=\"machine-name\">", "</h1>"), "ANNA-LAPTOP");
    // Out of date: Firefox, 7-Zip, PuTTY, Java 8; up to date: VLC, Notepad++,
    // Git, Python; LibreOffice 7.6 is behind 24.2 too.
    EXPECT_EQ(Occurrences(dom, "<tr class=\"outdated\""), 5u);
    EXPECT_EQ(Occurrences(dom, "<tr class=\"current\""), 4u);
    EXPECT_EQ(Occurrences(dom, "<tr class=\"unrecognised\""), 1u);
    EXPECT_EQ(Occurrences(dom, "<tr class=\"driver\""), 2u);
    EXPECT_EQ(Occurrences(dom, "<tr class=\"scan\""), 1u);

    // The out-of-date rows come first and carry both versions and the download.
    EXPECT_LT(dom.find("<tr class=\"outdated\""), dom.find("<tr class=\"current\""));
    const std::string firefox = Between(dom, "<tr class=\"outdated\" data-product=\"101\">", "</tr>");
    EXPECT_NE(firefox.find(">Mozilla Firefox</a>"), std::string::npos) << firefox;
    EXPECT_NE(firefox.find(">115.0.2<"), std::string::npos) << firefox;
    EXPECT_NE(firefox.find(">127.0.2<"), std::string::npos) << firefox;
    EXPECT_NE(firefox.find(">2024-06-25<"), std::string::npos) << firefox;
    EXPECT_NE(firefox.find(">Mozilla<"), std::string::npos) << firefox;
    EXPECT_NE(firefox.find("href=\"https://download.mozilla.org/?product=firefox-latest-ssl&amp;os=win64&amp;"
                           "lang=en-US\""),
              std::string::npos)
        << firefox;
    const std::string unknown = Between(dom, "<tr class=\"unrecognised\">", "</tr>");
    EXPECT_NE(unknown.find("Contoso Photo Organiser &amp; Tools &lt;Beta&gt;"), std::string::npos) << unknown;

    // The count on the page is the count the tray gets from the REST report.
    auto report = client_->Get(std::string(kOutOfDateReportPath) + "?machineId=" + machineId_);
    ASSERT_TRUE(report && report->status == 200);
    EXPECT_EQ(Occurrences(report->body, "outOfDate=\"true\""), 5u);
    EXPECT_NE(dom.find("id=\"count-outdated\"><b>5</b>"), std::string::npos);

    Screenshot(url, "service-machine-page-desktop.png", 1280, 1400);
    Screenshot(url, "service-machine-page-phone.png", 390, 844);
}

TEST_F(BrowserTest, ScriptInAMachineNameRendersAsText) {
    const std::string name = "<script>document.title='owned'</script><b>EVE</b>-PC";
    const std::string home = Populate(name);
    ASSERT_FALSE(home.empty());
    const std::string dom = Dom(home);
    ASSERT_NE(dom.find("</html>"), std::string::npos) << dom;
    EXPECT_EQ(dom.find("<script"), std::string::npos);
    EXPECT_EQ(dom.find("<b>EVE"), std::string::npos);
    EXPECT_EQ(Between(dom, "<h1 id=\"machine-name\">", "</h1>"),
              "&lt;script&gt;document.title='owned'&lt;/script&gt;&lt;b&gt;EVE&lt;/b&gt;-PC");
    EXPECT_EQ(dom.find("<title>owned"), std::string::npos);
    Screenshot(home, "service-machine-page-escaped-name.png", 1280, 700);
}

TEST_F(BrowserTest, HelpAndWelcomePagesRender) {
    const std::string base = service_->PublicUrl();
    Screenshot(base + "/help/", "service-help-page-phone.png", 390, 844);
    Screenshot(base + "/welcome/", "service-welcome-page-desktop.png", 1280, 1000);
}
