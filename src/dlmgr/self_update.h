// The self-update's decisions: whether a check-in that named a newer agent
// installs it now, offers it, or leaves it; the offer's question; what
// happens when the update's download has ended. The main frame provides the
// host (tray balloon, question box, its "scan now" flag, the download
// manager); the state and the notify counter live here.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace dlmgr {

enum SelfUpdateState : uint32_t {
    kSelfUpdateNone = 0,
    kSelfUpdateOffered = 1,     // an offer waits for the user
    kSelfUpdateInstalling = 2,  // an automatic update downloads and installs
    kSelfUpdateDeclined = 3,    // declined or failed: the next check skips the offer
};

// Modes of "Autoupdate Mode"; any other value counts as manual.
enum AutoupdateMode : uint32_t { kModeManual = 0, kModeAutomatic = 1, kModeNotify = 2 };

// Scheduled runs in notify mode show the offer on the first run and then
// every 720th; run 8640 declines it instead.
inline constexpr uint32_t kNotifyEvery = 720;
inline constexpr uint32_t kNotifyGiveUp = 8639;

class ISelfUpdateHost {
public:
    virtual ~ISelfUpdateHost() = default;
    virtual void SetScanNow(bool on) = 0;
    // The balloon (title string 57344, text string 120) and the tooltip of the offer.
    virtual void ShowOffer() = 0;
    // Asks the download manager for the program update at `url`.
    virtual void RequestDownload(const std::string& url) = 0;
    // The yes/no question of string 142; true for yes.
    virtual bool AskInstall() = 0;
    // Brings the frame forward while the question is open.
    virtual void FocusFrame() = 0;
};

class CSelfUpdate {
public:
    explicit CSelfUpdate(ISelfUpdateHost& host) : host_(host) {}

    // After a successful check-in (worker thread). True when an update is
    // being handled and the run ends without scanning.
    bool CheckClientUpdate(bool userStarted);
    // Starts the download of "ClientUpdate URL", when there is one.
    void StartClientUpdate();
    // "WM_Varnel10_AutoUpdateNotify" (user-interface thread).
    void OnAutoUpdateNotify();
    // The update could not be installed: skip one run, check again at once.
    void Failed();

    uint32_t State() const { return state_.load(); }
    void SetState(uint32_t state) { state_ = state; }
    uint32_t NotifyCounter() const { return counter_.load(); }
    bool Asking() const { return asking_; }

private:
    ISelfUpdateHost& host_;
    std::atomic<uint32_t> state_{kSelfUpdateNone};
    std::atomic<uint32_t> counter_{0};
    bool asking_ = false;
};

}  // namespace dlmgr
