// A check document written by the agent's writer, answered by the reference
// update service (in-process, on its seed catalogue), and the answer read
// back by the agent's reply parser: the two sides agree on every element.
#include <gtest/gtest.h>

#ifdef VARNEL_WITH_REFERENCE_SERVICE

#include "inventory/driver_data.h"
#include "inventory/watch_item.h"
#include "platform/files.h"
#include "platform/setting_names.h"
#include "common/scan_document_support.h"
#include "scan_request.h"
#include "scan_service.h"
#include "service/reply_parser.h"
#include "service_store.h"

namespace {

class ReferenceReplyTest : public ::testing::Test {
protected:
    ReferenceReplyTest() : store_(":memory:"), service_(store_, "http://127.0.0.1:9999") {
        auto lock = store_.Lock();
        const auto seed = platform::ReadWholeFile(std::string(VARNEL_SOURCE_DIR) + "/server/seed/catalog.sql");
        EXPECT_TRUE(seed);
        store_.ReplaceCatalogue({seed.value_or("")});
    }

    // Writes the buffer's document, lets the service answer it and reads the answer.
    vnservice::ScanOutcome Exchange(vnxml::CXMLBuffer& buffer) {
        vnxml::CXMLMemorySink sink;
        EXPECT_FALSE(buffer.WriteDocument(sink));
        const vnservice::ParsedRequest request = vnservice::ParseScanRequest(sink.Str());
        EXPECT_TRUE(request.ok) << request.error;
        vnservice::ScanOutcome outcome = service_.Handle(request.request);
        buffer.PrepareForReply();
        vnxml::CXMLSwParser parser(buffer);
        EXPECT_EQ(parser.ParseBuffer(outcome.reply.data(), outcome.reply.size()), platform::SaxResult::Complete)
            << outcome.reply;
        return outcome;
    }

    scandoc::Environment env_;
    vnservice::ServiceStore store_;
    vnservice::ScanService service_;
};

TEST_F(ReferenceReplyTest, ServiceAnswersTheAgentsDocumentsAndTheAgentAppliesTheAnswer) {
    // The pre-scan registers the machine and opens a scan.
    vnxml::CXMLBuffer preScan(nullptr, nullptr, vnxml::kPreScanRequest);
    preScan.clock = scandoc::FixedClock();
    preScan.profile = VN_Profile(scandoc::OfficeFacts(), scandoc::OfficeMfg());
    preScan.authentication.exclusionListDate = "2001-01-01";
    Exchange(preScan);
    ASSERT_TRUE(preScan.status.IsSuccess());
    EXPECT_FALSE(preScan.status.setMachineId.empty());
    EXPECT_FALSE(preScan.status.scanid.empty());
    EXPECT_FALSE(preScan.status.exclusionRevDate.empty());
    EXPECT_EQ(preScan.status.clientupdateVersion, "1.3.2.12");
    platform::AppSettings().WriteText(setting::kMachineId, preScan.status.setMachineId);

    VN_ListBase watch;
    auto firefox = std::make_unique<VN_WatchItem>();
    firefox->progName = "Mozilla Firefox (x64 en-US)";
    firefox->executableName = "firefox.exe";
    firefox->installedVers = "115.0.2";
    firefox->myVersion = "115.0.2";
    firefox->skipped = true;  // the user skipped an earlier version
    VN_WatchItem* firefoxItem = firefox.get();
    watch.AddTail(std::move(firefox));
    auto notepad = std::make_unique<VN_WatchItem>();
    notepad->progName = "Notepad++ (64-bit x64)";
    notepad->executableName = "notepad++.exe";
    notepad->installedVers = "8.6.8";
    notepad->outdated = true;  // from an earlier check
    VN_WatchItem* notepadItem = notepad.get();
    watch.AddTail(std::move(notepad));
    auto unknown = std::make_unique<VN_WatchItem>();
    unknown->progName = "In-house Tool & Co";
    unknown->installedVers = "1.0";
    VN_WatchItem* unknownItem = unknown.get();
    watch.AddTail(std::move(unknown));
    Views::CDriverData drivers;
    auto driver = std::make_unique<VN_DriverItem>();
    driver->deviceDesc = "Some Device";
    driver->driverVersion = "1.0";
    drivers.AddTail(std::move(driver));

    vnxml::CXMLBuffer check(&watch, &drivers, vnxml::kCheckRequest);
    check.clock = scandoc::FixedClock();
    check.profile = VN_Profile(scandoc::OfficeFacts(), scandoc::OfficeMfg());
    check.scanId = preScan.status.scanid;
    const vnservice::ScanOutcome outcome = Exchange(check);
    EXPECT_EQ(outcome.counts.items, 4);
    EXPECT_EQ(outcome.scanId, preScan.status.scanid);  // the check continued the pre-scan's scan

    ASSERT_TRUE(check.status.IsSuccess());
    EXPECT_FALSE(check.status.homepage.empty());
    EXPECT_EQ(check.authentication.machineid, preScan.status.setMachineId);

    // Firefox 115 is behind the catalogue's 127: a new version, so the skip is gone.
    EXPECT_EQ(firefoxItem->progName, "Mozilla Firefox");
    EXPECT_EQ(firefoxItem->currentVers, "127.0.2");
    EXPECT_EQ(firefoxItem->productId, "101");
    EXPECT_FALSE(firefoxItem->serverId.empty());
    EXPECT_TRUE(firefoxItem->outdated);
    EXPECT_TRUE(firefoxItem->updateAvailable);
    EXPECT_FALSE(firefoxItem->skipped);
    EXPECT_TRUE(firefoxItem->serverNeedsIcon);  // the service has no icon for it yet
    EXPECT_EQ(firefoxItem->productUrl, "https://www.mozilla.org/firefox/");

    // Notepad++ is current: its earlier out-of-date mark was cleared before the reply.
    EXPECT_EQ(notepadItem->currentVers, "8.6.8");
    EXPECT_FALSE(notepadItem->outdated);
    EXPECT_TRUE(notepadItem->directDlIsFile);

    EXPECT_TRUE(unknownItem->currentVers.empty());
    EXPECT_TRUE(check.changedFlag);
    EXPECT_TRUE(check.notifyFlag);
    EXPECT_TRUE(check.watchListNewOutOfDate);
}

}  // namespace

#endif  // VARNEL_WITH_REFERENCE_SERVICE
