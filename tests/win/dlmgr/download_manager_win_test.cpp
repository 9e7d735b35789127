// The download manager and the self-update under Wine, against the reference
// service on loopback through the real urlmon: ordinary downloads copied to
// the download folder (and found identical the second time) and marked as from the internet, an HTTP error,
// an address without extension; the lists' "Download" action on a program
// and on a today's-updates entry whose link redirects, into the history; the agent's next package installed by the
// self-update, and every refused package downloaded but never started; the
// window during a slow transfer, saved as a PNG; finished items kept in the
// history when they end in the hidden window and at exit. Needs the virtual display.
#include <gtest/gtest.h>

#include "common/win_ui.h"

#include <commctrl.h>
#include <msi.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <thread>

#include "common/recorded_events.h"
#include "common/scoped_hook.h"
#include "common/temp_folder.h"
#include "common/wine.h"
#include "dlmgr/self_update_rules.h"
#include "dlmgr/win/download_manager_dlg.h"
#include "dlmgr/win/self_update_host.h"
#include "inventory/daily_item.h"
#include "inventory/watch_item.h"
#include "inventory/watch_list.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "resource.h"
#include "viewmodel/list_rows.h"
#include "views/win/item_views.h"

namespace dlmgr {
namespace {

std::optional<int> Port(const char* name) {
    const char* dir = std::getenv("VARNEL_DOWNLOAD_PORTS");
    if (!dir || !*dir) return std::nullopt;
    const auto text = platform::ReadWholeFile(testing_wine::WindowsPathOf(std::string(dir) + "/" + name + ".port"));
    const int port = text ? std::atoi(text->c_str()) : 0;
    return port > 0 ? std::optional<int>(port) : std::nullopt;
}

#define REQUIRE_PORT(var, name)                \
    const std::optional<int> var = Port(name); \
    if (!var) GTEST_SKIP() << "the download services run only with a host build (VARNEL_HOST_BUILD_DIR)"

std::string Url(int port, const std::string& path) {
    return textutil::Format("http://127.0.0.1:%d%s", port, path.c_str());
}

using testing_ui::PumpUntil;

// Where a download goes that urlmon's cache refuses (an address without an
// extension).
std::string PrivateCopy(const std::string& name) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + "Varnel Downloads\\" + name;
}

// The main frame's stand-in: it only notes the exit command.
int g_exitCommands = 0;
LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && LOWORD(wParam) == CDownloadManagerDlg::kExitCommand) ++g_exitCommands;
    return DefWindowProcA(window, message, wParam, lParam);
}

std::string InstalledVersion() {
    char version[64] = {};
    DWORD size = sizeof version;
    if (MsiGetProductInfoA(kAgentProductCode, INSTALLPROPERTY_VERSIONSTRING, version, &size) != ERROR_SUCCESS)
        return "";
    return version;
}

class DownloadManagerWin : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetShellFolderRoot(root_.str());
        WNDCLASSA wc = {};
        wc.lpfnWndProc = FrameProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "VarnelTestFrame";
        RegisterClassA(&wc);
        frame_ = CreateWindowA("VarnelTestFrame", "frame", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
        g_exitCommands = 0;
        ASSERT_TRUE(dlg_.Create(GetModuleHandleA(nullptr), frame_));
    }
    void TearDown() override {
        dlg_.StopAll();
        PumpUntil([&] { return !dlg_.ListData().Current(); }, 30000);
        DestroyWindow(frame_);
        platform::SetShellFolderRoot("");
    }
    // Pumps until nothing is active or queued.
    bool WaitIdle(int limitMs = 60000) {
        return PumpUntil([&] { return !dlg_.ListData().Current() && !dlg_.ListData().AnyActiveOrQueued(); }, limitMs);
    }
    void Offer(int port, const std::string& path) {
        platform::Settings& s = platform::AppSettings();
        s.WriteText(setting::kClientUpdateVersion, "1.3.1.56");
        s.WriteText(setting::kClientUpdateUrl, Url(port, path));
        s.WriteNumber(setting::kAutoupdateMode, kModeAutomatic);
    }

    testing_support::ScopedHook<platform::InstallSettingsStore> settings_{platform::MakeMemorySettingsStore()};
    testing_support::TempFolder root_{"varnel-dlmgr"};
    HWND frame_ = nullptr;
    CDownloadManagerDlg dlg_;
};

TEST_F(DownloadManagerWin, OrdinaryDownloadsArriveInTheDownloadFolderAndHttpErrorsFail) {
    REQUIRE_PORT(fast, "fast");
    dlg_.Show();  // as the lists' "Download" does: items that end in a hidden window go to the history
    CDownloadItem& demo = dlg_.Add("Demo Setup", Url(*fast, "/downloads/files/demo-setup.exe"));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(demo.State, kStateSuccessful) << demo.Message;
    EXPECT_EQ(demo.Destination, platform::DownloadFolder() + "\\demo-setup.exe");
    EXPECT_EQ(platform::FileSize(demo.Destination).value_or(0), 3000000u);
    EXPECT_EQ(demo.Received.load(), 3000000u);
    EXPECT_EQ(demo.Total.load(), 3000000u);
    // Marked as coming from the internet (the mark's own test says how).
    const auto mark = platform::ReadWholeFile(demo.Destination + ":Zone.Identifier");
    ASSERT_TRUE(mark);
    EXPECT_NE(mark->find("ZoneId=3"), std::string::npos) << *mark;

    // The same file again: identical, so nothing is copied.
    CDownloadItem& again = dlg_.Add("Demo Setup", Url(*fast, "/downloads/files/demo-setup.exe"));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(again.State, kStateCompleted) << again.Message;

    // urlmon reports a 404 as success; the status makes it a failure, and
    // with one retry it is then canceled.
    CDownloadItem& missing = dlg_.Add("Missing", Url(*fast, "/downloads/files/missing.exe"));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(missing.State, kStateCanceled);
    EXPECT_EQ(missing.Retries, 1);
    EXPECT_EQ(missing.Message, "HTTP status 404");

    // An address without an extension still arrives.
    CDownloadItem& latest = dlg_.Add("Latest", Url(*fast, "/downloads/files/latest"));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(latest.State, kStateSuccessful) << latest.Message;
    EXPECT_EQ(platform::FileSize(latest.Destination).value_or(0), 200000u) << latest.Destination;
    // urlmon's cache would not take it: it came through a temporary copy of
    // ours, which is gone once copied.
    EXPECT_FALSE(platform::FileExists(PrivateCopy("latest")));
}

// Selects the view's first row and runs "Download" as the frame's command does.
bool DownloadFirstRow(Views::CListViewEx& view) {
    view.Reload();
    ListView_SetItemState(view.List(), 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    if (!view.ActionState(viewmodel::kDownload).enabled) return false;
    view.DoAction(viewmodel::kDownload);
    return true;
}

TEST_F(DownloadManagerWin, TheListsDownloadActionFetchesDirectFilesIntoTheFolderAndTheHistory) {
    REQUIRE_PORT(fast, "fast");
    RegisterItemClasses();  // as the program does before it reads the history
    platform::Settings& settings = platform::AppSettings();
    settings.WriteText(setting::kCatalogueHost, "127.0.0.1");
    settings.WriteNumber(setting::kCataloguePort, static_cast<uint32_t>(*fast));
    CDownloadHistory history(platform::DataFolder());
    dlg_.SetHistory(&history);
    int historyChanges = 0;
    dlg_.onHistoryChanged = [&] { ++historyChanges; };
    std::vector<std::string> pages;
    const auto wire = [&](Views::CListViewEx& view) {
        view.openPage = [&](const std::string& page) {
            pages.push_back(page);
            return true;
        };
        // As the main frame wires its views.
        view.startDownload = [&](const std::string& name, const std::string& url) {
            dlg_.Add(name, url);
            dlg_.Show();
        };
        return view.Create(GetModuleHandleA(nullptr), frame_);
    };

    // An installed program whose update the service marked as a file.
    VN_WatchList watch(platform::DataFolder());
    auto program = std::make_unique<VN_WatchItem>();
    program->SetProgName("Demo Setup");
    program->myVersion = "2.0";
    program->SetCurrentVers("3.0");
    program->groupCurrentCount = 1;
    program->outdated = true;
    program->productUrl = Url(*fast, "/product/demo");
    program->directDlUrl = Url(*fast, "/downloads/files/demo-setup.exe");
    program->directDlIsFile = true;
    VN_WatchItem* programItem = static_cast<VN_WatchItem*>(watch.AddTail(std::move(program)));
    Views::CWatchListView software(watch);
    ASSERT_TRUE(wire(software));
    ASSERT_TRUE(DownloadFirstRow(software));
    EXPECT_TRUE(IsWindowVisible(dlg_.Window()));
    ASSERT_TRUE(WaitIdle());
    ASSERT_EQ(dlg_.ListData().Items().size(), 1u);
    const CDownloadItem& fetched = *dlg_.ListData().Items()[0];
    EXPECT_EQ(fetched.Name, "Demo Setup");
    EXPECT_EQ(fetched.State, kStateSuccessful) << fetched.Message;
    EXPECT_EQ(fetched.Destination, platform::DownloadFolder() + "\\demo-setup.exe");
    EXPECT_EQ(platform::FileSize(fetched.Destination).value_or(0), 3000000u);
    EXPECT_TRUE(pages.empty());

    // Not marked as a file: the product page instead.
    programItem->directDlIsFile = false;
    ASSERT_TRUE(DownloadFirstRow(software));
    EXPECT_EQ(pages, std::vector<std::string>{Url(*fast, "/product/demo")});
    EXPECT_EQ(dlg_.ListData().Items().size(), 1u);

    // Today's updates: the catalogue's download link redirects to the file,
    // which keeps the name the redirect gave it.
    VN_ListBase daily;
    auto catalogue = std::make_unique<vnxml::CXMLDailyItem>();
    catalogue->name = "Demo Tool";
    catalogue->version = "2.0";
    catalogue->links.push_back({"download", "900", "", "Installer", "demo-tool-2.0.exe", "488 KB"});
    daily.AddTail(std::make_unique<VN_DailyItem>(std::move(catalogue)));
    Views::CDailyUpdatesView updates(daily);
    ASSERT_TRUE(wire(updates));
    ASSERT_TRUE(DownloadFirstRow(updates));
    ASSERT_TRUE(WaitIdle());
    ASSERT_EQ(dlg_.ListData().Items().size(), 2u);
    const CDownloadItem& redirected = *dlg_.ListData().Items()[1];
    EXPECT_EQ(redirected.Url, Url(*fast, "/product/redir?lid=900&mgc=si"));
    EXPECT_EQ(redirected.State, kStateSuccessful) << redirected.Message;
    EXPECT_EQ(redirected.Destination, platform::DownloadFolder() + "\\demo-tool-2.0.exe");
    EXPECT_EQ(platform::FileSize(redirected.Destination).value_or(0), 500000u);

    // "&Close" moves both into the history, which is saved.
    SendMessageA(dlg_.Window(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(IsWindowVisible(dlg_.Window()));
    EXPECT_TRUE(dlg_.ListData().Items().empty());
    EXPECT_EQ(historyChanges, 1);
    ASSERT_EQ(history.GetCount(), 2u);
    CDownloadHistory stored(platform::DataFolder());
    ASSERT_TRUE(stored.Load());
    std::vector<std::string> names;
    for (VN_ItemGrandBase* entry : stored.Snapshot()) {
        const auto* kept = dynamic_cast<CHistoryItem*>(entry);
        ASSERT_NE(kept, nullptr);
        EXPECT_EQ(kept->State, kStateSuccessful);
        names.push_back(kept->Name + " " + kept->Destination);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Demo Setup " + platform::DownloadFolder() + "\\demo-setup.exe",
                                               "Demo Tool " + platform::DownloadFolder() + "\\demo-tool-2.0.exe"}));
    dlg_.SetHistory(nullptr);
}

// The names and states the download history file holds.
std::vector<std::string> StoredHistory() {
    CDownloadHistory stored(platform::DataFolder());
    std::vector<std::string> kept;
    if (!stored.Load()) return kept;
    for (VN_ItemGrandBase* entry : stored.Snapshot())
        if (const auto* item = dynamic_cast<CHistoryItem*>(entry))
            kept.push_back(item->Name + ": " + CHistoryItem::StateText(item->State));
    return kept;
}

TEST_F(DownloadManagerWin, DownloadsThatEndInTheHiddenWindowOrAtExitReachTheHistory) {
    REQUIRE_PORT(fast, "fast");
    REQUIRE_PORT(slow, "slow");
    RegisterItemClasses();
    CDownloadHistory history(platform::DataFolder());
    dlg_.SetHistory(&history);
    int historyChanges = 0;
    dlg_.onHistoryChanged = [&] { ++historyChanges; };

    // "Download", then the window is closed while the transfer runs.
    dlg_.Add("Demo Tool", Url(*fast, "/downloads/files/demo-tool-2.0.exe"));
    dlg_.Show();
    SendMessageA(dlg_.Window(), WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(dlg_.ListData().Items().empty());
    EXPECT_EQ(historyChanges, 1);
    EXPECT_EQ(StoredHistory(), std::vector<std::string>{"Demo Tool: Successful"});

    // At exit, with the window open: the finished item and the one stopped
    // part way are kept (the view is not told; the program is leaving). The
    // stopped one was fetched into a temporary copy of ours (no extension),
    // whose partial file is removed.
    dlg_.Show();
    dlg_.Add("Demo Setup", Url(*fast, "/downloads/files/demo-setup.exe"));
    ASSERT_TRUE(WaitIdle());
    DeleteFileA(PrivateCopy("latest").c_str());
    CDownloadItem& slowOne = dlg_.Add("Latest", Url(*slow, "/downloads/files/latest"));
    ASSERT_TRUE(PumpUntil([&] { return slowOne.Received.load() > 0; }, 30000));
    ASSERT_TRUE(dlg_.StopForExit(30000));
    EXPECT_TRUE(dlg_.ListData().Items().empty());
    EXPECT_EQ(historyChanges, 1);
    EXPECT_EQ(history.GetCount(), 3u);
    EXPECT_EQ(StoredHistory(),
              (std::vector<std::string>{"Demo Tool: Successful", "Demo Setup: Successful", "Latest: Stopped"}));
    EXPECT_FALSE(platform::FileExists(PrivateCopy("latest")));
    dlg_.SetHistory(nullptr);
}

TEST_F(DownloadManagerWin, AutomaticModeInstallsTheSignedNextVersionAndAsksTheFrameToExit) {
    REQUIRE_PORT(fast, "fast");
    struct Uninstall {
        ~Uninstall() { testing_wine::RunAndWait(std::string("msiexec.exe /x ") + kAgentProductCode + " /qn"); }
    } cleanup;
    Offer(*fast, "/downloads/agent/varnel-1.3.1.56.msi");
    CSelfUpdateHostWin host(frame_, dlg_, nullptr);
    CSelfUpdate update(host);
    dlg_.SetSelfUpdate(&update);
    int installSteps = 0;
    bool exitPosted = false;
    dlg_.onInstallStep = [&](bool posted) {
        ++installSteps;
        exitPosted = posted;
    };
    // The agent's update watcher is handed msiexec's process.
    DWORD installerPid = 0;
    dlg_.beforeInstallExit = [&](HANDLE installer) { installerPid = installer ? GetProcessId(installer) : 0; };
    EXPECT_TRUE(update.CheckClientUpdate(false));
    EXPECT_EQ(update.State(), kSelfUpdateInstalling);
    ASSERT_TRUE(PumpUntil([&] { return installSteps > 0 && g_exitCommands > 0; }, 120000));
    EXPECT_TRUE(exitPosted);
    EXPECT_NE(installerPid, 0u);
    EXPECT_TRUE(platform::FileExists(platform::UpgradeFolder() + "\\varnel-1.3.1.56.msi"));
    // Not marked: a zone prompt would stop its silent installer.
    EXPECT_FALSE(platform::FileExists(platform::UpgradeFolder() + "\\varnel-1.3.1.56.msi:Zone.Identifier"));
    // msiexec runs on its own: the package database reports the new version.
    EXPECT_TRUE(PumpUntil([] { return InstalledVersion() == "1.3.1.56"; }, 180000)) << InstalledVersion();
}

TEST_F(DownloadManagerWin, RefusedPackagesAreDownloadedButNeverStartedAndTheEventLogSaysWhy) {
    REQUIRE_PORT(fast, "fast");
    const struct {
        const char* name;
        const char* reason;  // how the event-log text starts
    } packages[] = {{"unsigned.msi", "Error verifying trust"},    {"tampered.msi", "Error verifying trust"},
                    {"tampered.exe", "Error verifying trust"},    {"digest-patched.msi", "Error verifying trust"},
                    {"self-signed.msi", "Error verifying trust"}, {"other-publisher.msi", "Unexpected signer"}};
    for (const auto& package : packages) {
        const std::string name = package.name;
        SCOPED_TRACE(name);
        testing_support::EventRecorder events;
        Offer(*fast, "/downloads/variants/" + name);
        bool scanNow = false;
        CSelfUpdateHostWin host(frame_, dlg_, [&](bool on) { scanNow = on; });
        CSelfUpdate update(host);
        dlg_.SetSelfUpdate(&update);
        int installSteps = 0;
        bool exitPosted = true;
        dlg_.onInstallStep = [&](bool posted) {
            ++installSteps;
            exitPosted = posted;
        };
        EXPECT_TRUE(update.CheckClientUpdate(false));
        ASSERT_TRUE(PumpUntil([&] { return installSteps > 0; }, 60000));
        EXPECT_FALSE(exitPosted);
        EXPECT_EQ(g_exitCommands, 0);
        EXPECT_EQ(update.State(), kSelfUpdateDeclined);
        EXPECT_TRUE(scanNow);  // the next timer pass checks again at once
        // Asked from another thread (the scan worker), the flag changes on this one.
        std::thread([&] { host.SetScanNow(false); }).join();
        EXPECT_TRUE(scanNow);
        EXPECT_TRUE(PumpUntil([&] { return !scanNow; }, 5000));
        EXPECT_TRUE(platform::FileExists(platform::UpgradeFolder() + "\\" + name));
        const std::vector<testing_support::RecordedEvent> logged = events.Events();
        ASSERT_EQ(logged.size(), 1u);
        EXPECT_EQ(logged[0].kind, platform::EventKind::Error);
        EXPECT_EQ(logged[0].text.rfind(package.reason, 0), 0u) << logged[0].text;
        EXPECT_NE(logged[0].text.find("\\upgrade\\" + name), std::string::npos) << logged[0].text;
        dlg_.SetSelfUpdate(nullptr);
    }
}

TEST_F(DownloadManagerWin, AnUpdateAddressThatNamesNoFileIsDeclinedAndTheNextPassChecks) {
    REQUIRE_PORT(fast, "fast");
    Offer(*fast, "/downloads/agent/");
    bool scanNow = false;
    CSelfUpdateHostWin host(frame_, dlg_, [&](bool on) { scanNow = on; });
    CSelfUpdate update(host);
    dlg_.SetSelfUpdate(&update);
    int installSteps = 0;
    dlg_.onInstallStep = [&](bool) { ++installSteps; };
    EXPECT_TRUE(update.CheckClientUpdate(false));
    ASSERT_TRUE(PumpUntil([&] { return installSteps > 0; }, 60000));
    EXPECT_EQ(update.State(), kSelfUpdateDeclined);
    EXPECT_TRUE(scanNow);
    EXPECT_EQ(g_exitCommands, 0);
    dlg_.SetSelfUpdate(nullptr);
}

TEST_F(DownloadManagerWin, TheWindowShowsRateTimeRemainingAndProgressOfASlowTransfer) {
    REQUIRE_PORT(slow, "slow");
    CDownloadItem& demo = dlg_.Add("Demo Setup 3.0", Url(*slow, "/downloads/files/demo-setup.exe"));
    dlg_.Show();
    ASSERT_TRUE(PumpUntil([&] { return demo.Received.load() > 200000; }, 30000));
    testing_ui::PumpFor(1500);  // the details move on with the clock
    char rate[128] = {}, left[128] = {};
    GetDlgItemTextA(dlg_.Window(), IDC_DL_RATE, rate, sizeof rate);
    GetDlgItemTextA(dlg_.Window(), IDC_DL_TIME_LEFT, left, sizeof left);
    EXPECT_NE(std::string(rate).find("/sec"), std::string::npos) << rate;
    EXPECT_NE(std::string(left).find("minute"), std::string::npos) << left;
    const int percent = static_cast<int>(SendDlgItemMessageA(dlg_.Window(), IDC_DL_PROGRESS, PBM_GETPOS, 0, 0));
    EXPECT_GT(percent, 0);
    EXPECT_LT(percent, 100);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg_.Window(), IDC_DL_STOP)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg_.Window(), IDC_DL_LAUNCH)));
    // The list is written in the dialog's font, the system's dialog font.
    EXPECT_EQ(SendDlgItemMessageA(dlg_.Window(), IDC_DL_LIST, WM_GETFONT, 0, 0),
              SendMessageA(dlg_.Window(), WM_GETFONT, 0, 0));
    testing_ui::SaveScreenshot(dlg_.Window(), "download_manager_slow_transfer");

    // "&Stop" ends the transfer as "Stopped"; Restart is then on.
    SendMessageA(dlg_.Window(), WM_COMMAND, IDC_DL_STOP, 0);
    ASSERT_TRUE(WaitIdle(30000));
    EXPECT_EQ(demo.State, kStateStopped);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg_.Window(), IDC_DL_RESTART)));
}

}  // namespace
}  // namespace dlmgr
