// What a pre-scan stores from the service's status, and the exclusion-list
// date its request carries.
#include <gtest/gtest.h>

#include "common/scoped_hook.h"
#include "engine/prescan_status.h"
#include "platform/setting_names.h"
#include "platform/settings.h"

namespace {

class PreScanStatus : public ::testing::Test {
protected:
    testing_support::ScopedHook<platform::InstallSettingsStore> settings_{platform::MakeMemorySettingsStore()};
    static platform::Settings& S() { return platform::AppSettings(); }
    static std::optional<std::string> Raw(const char* name) {
        return S().store().GetText(platform::ISettingsStore::Hive::User, name, 520, false);
    }
};

}  // namespace

TEST_F(PreScanStatus, ASuccessfulStatusStoresTheScanTheWelcomePageAndTheUpdateOffer) {
    S().WriteText(setting::kScanId, "old-scan");
    vnxml::StatusFields status;
    status.code = "0";
    status.scanid = "scan-2";
    status.progresspage = "http://127.0.0.1/welcome/";
    status.clientupdate = "http://127.0.0.1/VarnelSetup.msi";
    status.clientupdateVersion = "1.3.2.12";
    EXPECT_TRUE(engine::StorePreScanStatus(status));
    EXPECT_EQ(Raw(setting::kScanId), "scan-2");
    EXPECT_EQ(Raw(setting::kWelcomeUrl), "http://127.0.0.1/welcome/");
    EXPECT_EQ(Raw(setting::kClientUpdateUrl), "http://127.0.0.1/VarnelSetup.msi");
    EXPECT_EQ(Raw(setting::kClientUpdateVersion), "1.3.2.12");

    // A later answer without those values: the offer goes, scan and page stay.
    vnxml::StatusFields bare;
    bare.code = "0";
    EXPECT_TRUE(engine::StorePreScanStatus(bare));
    EXPECT_EQ(Raw(setting::kScanId), "scan-2");
    EXPECT_EQ(Raw(setting::kWelcomeUrl), "http://127.0.0.1/welcome/");
    EXPECT_FALSE(Raw(setting::kClientUpdateUrl));
    EXPECT_FALSE(Raw(setting::kClientUpdateVersion));
}

TEST_F(PreScanStatus, ARefusalChangesNothing) {
    S().WriteText(setting::kClientUpdateUrl, "http://old/");
    vnxml::StatusFields status;
    status.code = "2";
    status.scanid = "scan-3";
    EXPECT_FALSE(engine::StorePreScanStatus(status));
    status.code = "";
    EXPECT_FALSE(engine::StorePreScanStatus(status));
    EXPECT_FALSE(Raw(setting::kScanId));
    EXPECT_EQ(Raw(setting::kClientUpdateUrl), "http://old/");
}

TEST_F(PreScanStatus, TheRequestCarriesTheListDateOrTheOldestDate) {
    EXPECT_EQ(engine::PreScanExclusionListDate("2024-06-01"), "2024-06-01");
    EXPECT_EQ(engine::PreScanExclusionListDate(""), "2001-01-01");
    S().WriteNumber(setting::kForceExclusionList, 1);
    EXPECT_EQ(engine::PreScanExclusionListDate("2024-06-01"), "2001-01-01");

    S().WriteText(setting::kWelcomeUrl, "http://old/welcome");
    S().WriteText(setting::kScanId, "scan-1");
    engine::ClearPreScanSettings();
    EXPECT_FALSE(Raw(setting::kWelcomeUrl));
    EXPECT_EQ(Raw(setting::kScanId), "");
}
