// The today's-updates refresh in the program: "WM_Varnel10_StartDailyUpdates"
// (posted when a check starts) starts a refresh of the list from the feed
// address of the settings; a message-only window of this class takes the
// worker's end notice on the user-interface thread, where the list is
// replaced and saved and the view told to rebuild its rows.
#pragma once

#include <functional>

#include "platform/win/win.h"
#include "views/daily_updates.h"

namespace app {

class CDailyRefresh {
public:
    static constexpr UINT kDoneMessage = WM_APP + 1;

    // `list`: the today's-updates list (with its file); `replaced` runs on
    // the user-interface thread after the list was replaced.
    CDailyRefresh(HINSTANCE instance, VN_ListBase& list, std::function<void()> replaced);
    ~CDailyRefresh();
    CDailyRefresh(const CDailyRefresh&) = delete;
    CDailyRefresh& operator=(const CDailyRefresh&) = delete;

    // A refresh from the configured feed; a running one is dropped.
    void Start();
    Views::CDailyUpdates& Refresh() { return refresh_; }
    HWND Window() const { return window_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    Views::CDailyUpdates refresh_;
    std::function<void()> replaced_;
};

}  // namespace app
