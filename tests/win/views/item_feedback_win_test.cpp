// The report of a wrongly identified item under Wine: the report dialog as
// the user sees it (saved to build/screenshots/), its refusals, and the
// report end to end against the reference update service on loopback:
// opened by the software view's "Report an Incorrect Item", sent through
// XmlRpc++ over Winsock and cleared; and, with the service down, kept in the
// item and carried by the next scan document. Needs the virtual display.
#include <gtest/gtest.h>

#include "platform/win/win.h"
// (after windows.h)
#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "common/posted_texts.h"
#include "common/scoped_hook.h"
#include "common/temp_folder.h"
#include "common/win_ui.h"
#include "common/wine.h"
#include "engine/prescan_status.h"
#include "inventory/driver_data.h"
#include "inventory/driver_item.h"
#include "inventory/watch_item.h"
#include "inventory/watch_list.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/string_table.h"
#include "resource.h"
#include "service/loopback.h"
#include "service/varnel_server.h"
#include "service/watch_list_link.h"
#include "service/xml_buffer.h"
#include "viewmodel/list_rows.h"
#include "views/win/item_feedback_dlg.h"
#include "views/win/item_views.h"

using testing_transport::ClosedPort;
using testing_transport::ServicePort;

namespace {

using testing_ui::Pump;

// Pumps until `done` holds or the time is up.
bool PumpUntil(const std::function<bool()>& done, int ms = 40000) { return testing_ui::PumpUntil(done, ms); }

std::string Text(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ItemText(HWND dialog, int id) { return Text(GetDlgItem(dialog, id)); }

using testing_ui::SaveScreenshot;

// A top-level window of this process with the caption, once it shows.
HWND WaitForWindow(const char* caption, int ms = 20000) {
    for (int waited = 0; waited < ms; waited += 20) {
        HWND found = FindWindowA("#32770", caption);
        if (found && IsWindowVisible(found)) return found;
        Sleep(20);
    }
    return nullptr;
}

bool WaitFor(const std::function<bool()>& done, int ms = 40000) {
    for (int waited = 0; waited < ms; waited += 20) {
        if (done()) return true;
        Sleep(20);
    }
    return done();
}

void ChooseReason(HWND dialog, const std::string& reason) {
    HWND list = GetDlgItem(dialog, IDC_FB_REASON);
    const LRESULT at =
        SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(reason.c_str()));
    ASSERT_NE(at, CB_ERR) << reason;
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(at), 0);
}

std::unique_ptr<VN_WatchItem> Program(const std::string& name) {
    auto item = std::make_unique<VN_WatchItem>();
    item->SetProgName(name);
    item->executableName = "acmephoto.exe";
    item->installedVers = "4.2";
    item->myVersion = "4.2";
    item->SetCurrentVers("5.0");
    item->groupCurrentCount = 1;
    return item;
}

class ItemFeedbackWin : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetShellFolderRoot(root_);
        platform::AppSettings().WriteNumber(setting::kUseSsl, 0);
        platform::AppSettings().WriteText(setting::kMachineId, "M-REPORT-1");
        platform::AppSettings().WriteText(setting::kCatalogueHost, "127.0.0.1");
        owner_ = CreateWindowA("STATIC", "Varnel test owner", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(owner_, nullptr);
        watch_ = std::make_unique<VN_WatchList>(platform::DataFolder());
    }
    void TearDown() override {
        if (owner_) DestroyWindow(owner_);
        Pump(1);
        platform::SetShellFolderRoot("");
    }
    static void CatalogueAt(int port) {
        platform::AppSettings().WriteNumber(setting::kCataloguePort, static_cast<uint32_t>(port));
    }

    testing_support::TempFolder folder_{"varnel-item-feedback"};
    std::string root_ = folder_.str();
    testing_support::ScopedHook<platform::InstallSettingsStore> settings_{
        platform::MakeMemorySettingsStore("WINE-DESK")};
    testing_transport::PostedTexts posted_;
    HWND owner_ = nullptr;
    std::unique_ptr<VN_WatchList> watch_;
};

}  // namespace

TEST_F(ItemFeedbackWin, TheDialogShowsTheItemAndRefusesAReportWithoutAReasonOrWithOtherAndNoComments) {
    VN_WatchItem* item = static_cast<VN_WatchItem*>(watch_->AddTail(Program("Acme Photo Editor 4")));
    item->reportComments = "Shown as version 4.2, but Help/About says 4.3";
    Views::CItemFeedbackDlg dialog(GetModuleHandleA(nullptr), *item);
    int sends = 0;
    dialog.send = [&sends](VN_UpdatedItem&, const std::string&, const std::string&) { return ++sends, true; };
    ASSERT_TRUE(dialog.Create(owner_));
    const HWND window = dialog.Window();
    Pump();

    EXPECT_EQ(Text(window), "Report an Incorrect Item");
    EXPECT_EQ(ItemText(window, IDC_FB_NAME), "Acme Photo Editor 4");
    EXPECT_EQ(ItemText(window, IDC_FB_COMMENTS), item->reportComments) << "prefilled with the stored comments";
    HWND reasons = GetDlgItem(window, IDC_FB_REASON);
    EXPECT_EQ(SendMessageA(reasons, CB_GETCOUNT, 0, 0), 8);
    EXPECT_EQ(SendMessageA(reasons, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(Text(reasons), "Click to select");
    // The user's way through it: reason, comments, Submit, Cancel; Submit is the default.
    EXPECT_EQ(GetNextDlgTabItem(window, reasons, FALSE), GetDlgItem(window, IDC_FB_COMMENTS));
    EXPECT_EQ(GetNextDlgTabItem(window, GetDlgItem(window, IDC_FB_COMMENTS), FALSE), GetDlgItem(window, IDOK));
    EXPECT_EQ(LOWORD(SendMessageA(window, DM_GETDEFID, 0, 0)), IDOK);
    SaveScreenshot(window, "item_feedback_dialog");

    // No reason: the "Warning" box, as the user sees it; the dialog stays.
    std::string warning;
    std::thread watcher([&warning] {
        HWND box = WaitForWindow("Warning");
        if (!box) return;
        warning = ItemText(box, 0xFFFF);
        SaveScreenshot(box, "item_feedback_refusal");
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    SendMessageA(window, WM_COMMAND, IDOK, 0);
    watcher.join();
    EXPECT_EQ(warning, "You must select a reason.");
    EXPECT_EQ(dialog.GetState(), Views::CItemFeedbackDlg::State::Editing);

    // "Other" without comments.
    std::vector<std::string> refusals;
    dialog.warn = [&refusals](HWND, const std::string& text) { refusals.push_back(text); };
    ChooseReason(window, "Other");
    SetDlgItemTextA(window, IDC_FB_COMMENTS, "");
    SendMessageA(window, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(refusals, std::vector<std::string>{"You must enter some comments if Reason is Other."});
    EXPECT_EQ(sends, 0);
    EXPECT_FALSE(dialog.ItemChanged());
    EXPECT_EQ(item->reportComments, "Shown as version 4.2, but Help/About says 4.3");

    // A driver: its own caption, explanation and reasons.
    auto driver = std::make_unique<VN_DriverItem>();
    driver->deviceDesc = "Intel(R) Ethernet Connection I219-V";
    driver->deviceClass = "Net";
    driver->classGuid = "{4d36e972-e325-11ce-bfc1-08002be10318}";
    Views::CItemFeedbackDlg driverDialog(GetModuleHandleA(nullptr), *driver);
    ASSERT_TRUE(driverDialog.Create(owner_));
    Pump();
    EXPECT_EQ(Text(driverDialog.Window()), "Report Drivers");
    EXPECT_EQ(ItemText(driverDialog.Window(), IDC_FB_EXPLANATION), platform::LoadText(173));
    EXPECT_EQ(SendDlgItemMessageA(driverDialog.Window(), IDC_FB_REASON, CB_GETCOUNT, 0, 0), 4);
    SaveScreenshot(driverDialog.Window(), "item_feedback_driver");
}

TEST_F(ItemFeedbackWin, TheListActionSendsTheReportToTheServiceAndClearsIt) {
    VARNEL_REQUIRE_PORT(service, ServicePort());
    CatalogueAt(service);
    VN_WatchItem* item = static_cast<VN_WatchItem*>(watch_->AddTail(Program("Acme Photo Editor 4")));
    Views::CWatchListView view(*watch_);
    ASSERT_TRUE(view.Create(GetModuleHandleA(nullptr), owner_));
    view.Reload();
    ASSERT_EQ(view.RowCount(), 1u);
    LVITEMA state{};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(view.List(), LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
    ASSERT_TRUE(view.ActionState(viewmodel::kReportItem).enabled);

    // The user, on the dialog the action opens (it runs its own loop here).
    std::string outcome;
    std::atomic<bool> sawSending{false};
    std::thread user([&] {
        HWND dialog = WaitForWindow("Report an Incorrect Item");
        if (!dialog) return;
        ChooseReason(dialog, "\"My Version\" is incorrect");
        SetDlgItemTextA(dialog, IDC_FB_COMMENTS, "About box says 4.3 <build 7>");
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        WaitFor([&] {
            sawSending = sawSending || !IsWindowEnabled(GetDlgItem(dialog, IDC_FB_REASON));
            return !IsWindowVisible(GetDlgItem(dialog, IDOK));
        });
        outcome = ItemText(dialog, IDC_FB_STATUS);
        SaveScreenshot(dialog, "item_feedback_sent");
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    view.DoAction(viewmodel::kReportItem);
    user.join();

    EXPECT_EQ(outcome, "Thank you. Your report has been sent.");
    EXPECT_TRUE(sawSending);
    EXPECT_EQ(item->reportReason, 0);
    EXPECT_TRUE(item->reportComments.empty());
    // The list was saved with the report done.
    VN_WatchList reread(platform::DataFolder());
    ASSERT_TRUE(reread.Load());
    ASSERT_EQ(reread.WatchItems().size(), 1u);
    EXPECT_TRUE(reread.WatchItems()[0]->reportComments.empty());
    // The service recorded the report (its log lies beside its port file).
    const std::string log = testing_wine::WindowsPathOf(std::getenv("VARNEL_SERVICE_PORT_FILE"));
    const std::string serviceLog = log.substr(0, log.find_last_of('\\')) + "\\service.log";
    EXPECT_TRUE(PumpUntil(
        [&] {
            return platform::ReadWholeFile(serviceLog)
                       .value_or("")
                       .find("catalogue: report on \"Acme Photo Editor 4\" from M-REPORT-1") != std::string::npos;
        },
        5000))
        << serviceLog;
}

TEST_F(ItemFeedbackWin, AReportThatCannotBeSentIsKeptAndGoesOutWithTheNextCheck) {
    VARNEL_REQUIRE_PORT(service, ServicePort());
    CatalogueAt(ClosedPort());
    VN_WatchItem* item = static_cast<VN_WatchItem*>(watch_->AddTail(Program("Acme Photo Editor 4")));
    {
        Views::CItemFeedbackDlg dialog(GetModuleHandleA(nullptr), *item);
        ASSERT_TRUE(dialog.Create(owner_));
        ChooseReason(dialog.Window(), "Product name is incorrect");
        SetDlgItemTextA(dialog.Window(), IDC_FB_COMMENTS, "It is called Acme Photo Studio & more");
        SendMessageA(dialog.Window(), WM_COMMAND, IDOK, 0);
        EXPECT_EQ(dialog.GetState(), Views::CItemFeedbackDlg::State::Sending);
        ASSERT_TRUE(PumpUntil([&] { return dialog.GetState() != Views::CItemFeedbackDlg::State::Sending; }));
        EXPECT_EQ(dialog.GetState(), Views::CItemFeedbackDlg::State::Kept);
        EXPECT_EQ(ItemText(dialog.Window(), IDC_FB_STATUS),
                  "The report could not be sent now. It is kept and goes out with your next check for updates.");
        EXPECT_EQ(Text(GetDlgItem(dialog.Window(), IDCANCEL)), "Close");
        SaveScreenshot(dialog.Window(), "item_feedback_kept");
        EXPECT_TRUE(dialog.ItemChanged());
    }
    EXPECT_EQ(item->reportReason, 183);
    EXPECT_EQ(item->reportComments, "It is called Acme Photo Studio & more");

    // The next check: the scan document carries the report to the service.
    platform::AppSettings().WriteText(setting::kClientLinkUrl,
                                      testing_transport::Url(service, "/cgi-bin/vncheck.fcgi"));
    Views::CDriverData drivers;
    vnxml::CWatchListLink link(*watch_);
    const auto exchange = [&](uint8_t mode) {
        auto buffer = std::make_unique<vnxml::CXMLBuffer>(watch_.get(), &drivers, mode);
        buffer->watchListLink = &link;
        buffer->scanId = platform::AppSettings().ReadText(setting::kScanId);
        EXPECT_TRUE(vnxml::CVarnelServer(watch_.get(), &drivers).Send(*buffer, nullptr));
        return buffer;
    };
    engine::ClearPreScanSettings();
    ASSERT_TRUE(engine::StorePreScanStatus(exchange(vnxml::kPreScanRequest)->status));
    EXPECT_EQ(exchange(vnxml::kCheckRequest)->status.code, "0");
    const std::string sent = platform::ReadWholeFile(vnxml::CVarnelServer::RequestFilePath()).value_or("");
    EXPECT_NE(sent.find("\t<submission>\r\n\t\t<reason>Product name is incorrect</reason>\r\n"
                        "\t\t<comments>It is called Acme Photo Studio &amp; more</comments>\r\n\t</submission>"),
              std::string::npos)
        << sent;
}
