// When a check-in that names a newer agent installs it, offers it or leaves
// it, and how the offer's answer and a failed update change the state.
#include "dlmgr/self_update.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/scoped_hook.h"
#include "platform/setting_names.h"
#include "platform/settings.h"

namespace dlmgr {
namespace {

struct RecordingHost : ISelfUpdateHost {
    std::vector<std::string> calls;
    bool answer = false;
    void SetScanNow(bool on) override { calls.push_back(on ? "scan-now" : "no-scan-now"); }
    void ShowOffer() override { calls.push_back("offer"); }
    void RequestDownload(const std::string& url) override { calls.push_back("download " + url); }
    bool AskInstall() override {
        calls.push_back("ask");
        return answer;
    }
    void FocusFrame() override { calls.push_back("focus"); }
};

class SelfUpdateTest : public ::testing::Test {
protected:
    void Offer(const std::string& version, uint32_t mode) {
        platform::Settings& s = platform::AppSettings();
        s.WriteText(setting::kClientUpdateVersion, version);
        s.WriteText(setting::kClientUpdateUrl, "http://127.0.0.1:1/releases/varnel-" + version + ".msi");
        s.WriteNumber(setting::kAutoupdateMode, mode);
    }
    testing_support::ScopedHook<platform::InstallSettingsStore> settings_{platform::MakeMemorySettingsStore()};
    RecordingHost host_;
    CSelfUpdate update_{host_};
};

TEST_F(SelfUpdateTest, AutomaticModeDownloadsANewerVersionAndNothingElse) {
    EXPECT_FALSE(update_.CheckClientUpdate(false));  // nothing offered
    Offer("1.3.1.55", kModeAutomatic);
    EXPECT_FALSE(update_.CheckClientUpdate(false));  // not newer
    Offer("1.3.1.56", kModeAutomatic);
    EXPECT_TRUE(update_.CheckClientUpdate(false));
    EXPECT_EQ(update_.State(), kSelfUpdateInstalling);
    EXPECT_EQ(host_.calls, std::vector<std::string>{"download http://127.0.0.1:1/releases/varnel-1.3.1.56.msi"});

    // A failed update skips exactly one run and asks for a check at once.
    update_.Failed();
    EXPECT_EQ(update_.State(), kSelfUpdateDeclined);
    EXPECT_FALSE(update_.CheckClientUpdate(false));
    EXPECT_EQ(update_.State(), kSelfUpdateNone);
    EXPECT_TRUE(update_.CheckClientUpdate(false));

    Offer("1.3.1.56", kModeManual);
    EXPECT_FALSE(update_.CheckClientUpdate(true));
    Offer("1.3.1.56", 7);  // unknown: manual
    EXPECT_FALSE(update_.CheckClientUpdate(true));
}

TEST_F(SelfUpdateTest, NotifyModeOffersOnTheFirstAndEvery720thScheduledRunAndGivesUpAtRun8640) {
    Offer("1.4", kModeNotify);
    std::vector<uint32_t> offeredAt;
    for (uint32_t run = 1; run <= 8640; ++run) {
        host_.calls.clear();
        EXPECT_TRUE(update_.CheckClientUpdate(false));
        if (!host_.calls.empty() && host_.calls[0] == "offer") offeredAt.push_back(run);
        if (run == 8640) {
            EXPECT_EQ(host_.calls, std::vector<std::string>{"no-scan-now"});
        }
    }
    std::vector<uint32_t> expected = {1};
    for (uint32_t run = 720; run < 8640; run += 720) expected.push_back(run);
    EXPECT_EQ(offeredAt, expected);
    EXPECT_EQ(update_.State(), kSelfUpdateDeclined);

    // A run the user started always offers.
    update_.SetState(kSelfUpdateNone);
    host_.calls.clear();
    EXPECT_TRUE(update_.CheckClientUpdate(true));
    EXPECT_EQ(host_.calls, std::vector<std::string>{"offer"});
    EXPECT_EQ(update_.State(), kSelfUpdateOffered);
}

TEST_F(SelfUpdateTest, TheOffersQuestionInstallsOnYesAndSkipsOneRunOnNo) {
    Offer("1.3.1.56", kModeNotify);
    host_.answer = false;
    update_.OnAutoUpdateNotify();
    EXPECT_EQ(host_.calls, (std::vector<std::string>{"ask", "scan-now"}));
    EXPECT_EQ(update_.State(), kSelfUpdateDeclined);
    EXPECT_FALSE(update_.Asking());

    host_.calls.clear();
    host_.answer = true;
    update_.OnAutoUpdateNotify();
    EXPECT_EQ(host_.calls,
              (std::vector<std::string>{"ask", "download http://127.0.0.1:1/releases/varnel-1.3.1.56.msi"}));
    EXPECT_EQ(update_.State(), kSelfUpdateInstalling);
}

}  // namespace
}  // namespace dlmgr
