// The account contact against the reference update service on loopback, on
// its own thread under its named semaphore: a computer without an identity is
// registered and keeps what the service returned, a known one keeps its
// identity and gets a new scan, a held semaphore makes the contact wait, and
// a service that cannot be reached is told to the user.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/account_contact_worker.h"
#include "common/posted_texts.h"
#include "loopback.h"
#include "platform/folders.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/string_table.h"

using namespace testing_transport;

namespace {

class AccountContactWin : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
        root_ = textutil::Format("%svarnel-account-contact-%lu", temp, GetCurrentProcessId());
        ASSERT_TRUE(platform::CreateDirectories(root_));
        platform::SetShellFolderRoot(root_);
        platform::InstallSettingsStore(platform::MakeMemorySettingsStore("WINE-DESK"));
        platform::AppSettings().WriteNumber(setting::kUseSsl, 0);
    }
    void TearDown() override {
        platform::InstallSettingsStore(nullptr);
        platform::SetShellFolderRoot("");
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

    static void LinkTo(const std::string& url) { platform::AppSettings().WriteText(setting::kClientLinkUrl, url); }
    static std::string Stored(const char* name) { return platform::AppSettings().ReadText(name); }

    // One contact, waited for.
    static void Contact() {
        platform::UniqueHandle thread = app::StartAccountContact(nullptr, 0);
        ASSERT_TRUE(thread);
        ASSERT_EQ(WaitForSingleObject(thread.get(), 30000), WAIT_OBJECT_0);
    }

    std::string root_;
    PostedTexts posted_;
};

}  // namespace

TEST_F(AccountContactWin, TheServiceRegistersTheComputerAndTheContactKeepsItsIdentities) {
    VARNEL_REQUIRE_PORT(service, ServicePort());
    LinkTo(Url(service, "/cgi-bin/vncheck.fcgi"));

    Contact();
    const std::string machineId = Stored(setting::kMachineId);
    const std::string scanId = Stored(setting::kScanId);
    EXPECT_FALSE(machineId.empty());
    EXPECT_FALSE(scanId.empty());
    EXPECT_TRUE(posted_.Texts().empty());

    // Known now: the same identity, a new scan.
    Contact();
    EXPECT_EQ(Stored(setting::kMachineId), machineId);
    EXPECT_FALSE(Stored(setting::kScanId).empty());
    EXPECT_NE(Stored(setting::kScanId), scanId);
    EXPECT_TRUE(posted_.Texts().empty());
}

TEST_F(AccountContactWin, AContactWaitsWhileAnotherHoldsTheSemaphore) {
    VARNEL_REQUIRE_PORT(service, ServicePort());
    LinkTo(Url(service, "/cgi-bin/vncheck.fcgi"));

    platform::UniqueHandle semaphore(CreateSemaphoreA(nullptr, 1, 1, app::kAccountContactSemaphore));
    ASSERT_TRUE(semaphore);
    ASSERT_EQ(WaitForSingleObject(semaphore.get(), 0), WAIT_OBJECT_0);
    platform::UniqueHandle thread = app::StartAccountContact(nullptr, 0);
    ASSERT_TRUE(thread);
    EXPECT_EQ(WaitForSingleObject(thread.get(), 500), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(Stored(setting::kMachineId).empty()) << "nothing was sent while the semaphore was held";
    ReleaseSemaphore(semaphore.get(), 1, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread.get(), 30000), WAIT_OBJECT_0);
    EXPECT_FALSE(Stored(setting::kMachineId).empty());
    // The contact gave the semaphore back.
    EXPECT_EQ(WaitForSingleObject(semaphore.get(), 0), WAIT_OBJECT_0);
    ReleaseSemaphore(semaphore.get(), 1, nullptr);
}

TEST_F(AccountContactWin, AServiceThatCannotBeReachedIsToldAndNothingIsStored) {
    LinkTo(Url(ClosedPort(), "/cgi-bin/vncheck.fcgi"));
    platform::AppSettings().WriteText(setting::kScanId, "s-kept");

    Contact();
    const std::vector<std::string> texts = posted_.Texts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), platform::LoadText(316));
    EXPECT_EQ(Stored(setting::kScanId), "s-kept");
    EXPECT_TRUE(Stored(setting::kMachineId).empty());
}
