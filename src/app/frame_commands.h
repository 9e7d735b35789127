// CFrameCommands: the frame's command table carried out. The frame hands it
// every command it does not handle itself (closing, exit, the second
// instance's notice) and every menu about to open; it owns the menu bar
// (menu 128), the toolbar with its scan drop-down (menu 218), the current
// view id, the 5-second limit of "Go to my Zelto Varnel page" and the one
// settings sheet and about box.
#pragma once

#include <functional>
#include <string>

#include "appcore/commands.h"
#include "platform/win/win.h"

namespace app {

class CScanWorker;

class CFrameCommands {
public:
    // Opens an address with the shell's "open" verb, shown normally (tests
    // put a recorder in between). Answers whether the shell accepted it.
    using PageOpener = std::function<bool(const std::string& file, const std::string& arguments)>;
    static bool ShellOpen(const std::string& file, const std::string& arguments);

    // What the frame lends: its window and scan worker, and whether the
    // tray icon is shown and the daily list is loading.
    struct Frame {
        HINSTANCE instance = nullptr;
        HWND window = nullptr;
        CScanWorker* worker = nullptr;
        std::function<bool()> trayIconShown;
        std::function<bool()> listsHaveItems;
        // Today's updates are being refreshed: no scan or check starts meanwhile.
        std::function<bool()> dailyListLoading;
        bool* interactive = nullptr;
    };

    explicit CFrameCommands(Frame frame);
    CFrameCommands(const CFrameCommands&) = delete;
    CFrameCommands& operator=(const CFrameCommands&) = delete;

    // WM_CREATE: the menu bar, the toolbar (hidden when "View Toolbar" is 0)
    // and the initial view from "Pro Default View ID".
    void CreateBars();
    // Handles a command id; false when it is not one of the table.
    bool Run(unsigned id);
    // WM_INITMENUPOPUP: enables and check-marks the menu's items.
    void UpdateMenu(HMENU menu) const;
    // WM_NOTIFY from the toolbar; true when handled.
    bool OnNotify(const NMHDR& header, LRESULT& result);
    // WM_SIZE: the toolbar follows the frame's width.
    void OnSize();
    // Greys the toolbar's Scan and Stop as the menus grey their items; the
    // frame calls it whenever a worker may have started or ended.
    void UpdateToolbar() const;

    void SetWorker(CScanWorker* worker) { frame_.worker = worker; }
    unsigned CurrentView() const { return currentView_; }
    bool ToolbarVisible() const;
    HWND Toolbar() const { return toolbar_; }
    appcore::CommandContext Context() const;

    PageOpener openPage = &CFrameCommands::ShellOpen;
    // The monotonic clock in milliseconds (tests step it).
    std::function<uint64_t()> now;
    // The frame's views: a view command made `id` current; command 32861
    // empties the software view; a list action (index 0-11) is performed
    // (`run`) or asked for its state. The last answers false when there is no
    // current view.
    std::function<void(unsigned id)> viewSelected;
    std::function<void()> clearSoftwareView;
    // Brings the download manager's window forward (command 32882).
    std::function<void()> showDownloadManager;
    std::function<bool(int index, bool run, appcore::CommandUi& ui)> listAction;

private:
    void OpenMyPage();
    void SelectView(unsigned id);
    void ToggleToolbar();
    void ShowScanDropDown(int item);

    Frame frame_;
    HWND toolbar_ = nullptr;
    unsigned currentView_ = 0;
    appcore::PageRequestLimiter myPageLimit_;
};

}  // namespace app
