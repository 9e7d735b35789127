#include "dlmgr/self_update.h"

#include "dlmgr/self_update_rules.h"
#include "platform/log.h"
#include "platform/setting_names.h"
#include "platform/settings.h"

namespace dlmgr {

bool CSelfUpdate::CheckClientUpdate(bool userStarted) {
    platform::Settings& settings = platform::AppSettings();
    const std::string version = settings.ReadText(setting::kClientUpdateVersion);
    const std::string url = settings.ReadText(setting::kClientUpdateUrl);
    if (version.empty() || url.empty()) return false;
    if (state_ == kSelfUpdateDeclined) {
        state_ = kSelfUpdateNone;
        return false;
    }
    if (!IsNewerVersion(version)) return false;
    switch (settings.ReadNumber(setting::kAutoupdateMode, setting::kAutoupdateModeDefault)) {
        case kModeAutomatic:
            vnlog::Write("Agent update " + version + " is installed automatically");
            state_ = kSelfUpdateInstalling;
            StartClientUpdate();
            return true;
        case kModeNotify:
            if (!userStarted) {
                const uint32_t c = counter_++;
                if (c == kNotifyGiveUp) {
                    state_ = kSelfUpdateDeclined;
                    host_.SetScanNow(false);
                    return true;
                }
                if (c != 0 && (c + 1) % kNotifyEvery != 0) return true;
            }
            vnlog::Write("Agent update " + version + " is offered");
            state_ = kSelfUpdateOffered;
            host_.ShowOffer();
            return true;
        default: counter_ = 0; return false;
    }
}

void CSelfUpdate::StartClientUpdate() {
    const std::string url = platform::AppSettings().ReadText(setting::kClientUpdateUrl);
    if (!url.empty()) host_.RequestDownload(url);
}

void CSelfUpdate::OnAutoUpdateNotify() {
    if (asking_) {
        vnlog::Write("The update question is open already");
        host_.FocusFrame();
        return;
    }
    asking_ = true;
    if (host_.AskInstall()) {
        vnlog::Write("The user accepted the agent update");
        state_ = kSelfUpdateInstalling;
        StartClientUpdate();
    } else {
        vnlog::Write("The user declined the agent update; the next check skips the offer");
        Failed();
    }
    asking_ = false;
}

void CSelfUpdate::Failed() {
    state_ = kSelfUpdateDeclined;
    host_.SetScanNow(true);
}

}  // namespace dlmgr
