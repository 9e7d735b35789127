// CStatusProgBar: the main window's status bar. Three panes: pane 0
// stretches and carries the text, with a red-text control over it for an
// error; pane 1 (96 pixels) holds a progress control (0-100, step 1); pane 2
// (140 pixels) begins with "Last successful check". It shows the idle text
// of the schedule, the transport's progress ("WM_Varnel10_TalkProgress") and
// each phase of a check ("WM_Varnel10_Progress") as engine/tray_summary.h
// decides. The frame forwards WM_SIZE so that the panes follow its width.
#pragma once

#include <string>

#include "platform/win/win.h"

namespace app {

class CStatusProgBar {
public:
    static constexpr int kProgressPaneWidth = 96;
    static constexpr int kTimePaneWidth = 140;

    CStatusProgBar() = default;
    ~CStatusProgBar();
    CStatusProgBar(const CStatusProgBar&) = delete;
    CStatusProgBar& operator=(const CStatusProgBar&) = delete;

    bool Create(HINSTANCE instance, HWND parent);
    // The frame's size changed: the bar and its panes follow.
    void OnParentSize();

    // Pane 0 when nothing runs: string 127 with the frequency's status text.
    void SetIdleText(uint32_t frequency);
    // "WM_Varnel10_TalkProgress": lParam is the progress text; anything that
    // is not a readable text is ignored.
    void OnTalkProgress(LPARAM text);
    // "WM_Varnel10_Progress"; `stopped` when the user stopped the run.
    void OnPhase(int phase, int mark, bool stopped);
    // The error text shown in red when a check ends (cleared when the next starts).
    void SetRedText(const std::string& text) { redText_ = text; }

    HWND Window() const { return bar_; }
    std::string PaneText(int pane) const;
    int ProgressPosition() const;
    bool ProgressVisible() const;
    bool RedTextVisible() const;

private:
    void SetPane(int pane, const std::string& text);
    void Layout();

    HWND bar_ = nullptr;
    HWND progress_ = nullptr;
    HWND red_ = nullptr;
    std::string redText_;
};

}  // namespace app
