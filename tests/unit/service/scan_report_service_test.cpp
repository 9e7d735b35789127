// The scan report and out-of-date list client over a scripted request seam:
// the addresses it asks for, the status words, the cache period, the list
// and its file, the time-out of a request and the stop of the fetch thread.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "common/scoped_hook.h"
#include "common/temp_folder.h"
#include "inventory/database.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "service/scan_report_service.h"

namespace {

using namespace std::chrono_literals;
using vnxml::CScanReportService;
using vnxml::RestChild;
using vnxml::ScanReportStatus;
namespace rest_path = vnxml::rest_path;

constexpr char kBase[] = "http://svc.test/api";
constexpr char kListAddress[] = "http://svc.test/api/rest/v1.0/installed/outOfDateReport?machineId=M1";
constexpr char kReportAddress[] = "http://svc.test/api/rest/v1.0/getScanReport?scanId=S1";

// What a scripted address answers.
struct Answer {
    std::optional<std::vector<RestChild>> reportChildren = std::vector<RestChild>{};  // nothing: no report element
    std::vector<std::string> names;
    std::string status;
    std::string scanUrsId;
};

class ScriptedReply final : public vnxml::IRestReply {
public:
    explicit ScriptedReply(Answer answer) : answer_(std::move(answer)) {}
    std::optional<std::vector<std::string>> SelectTexts(const std::string& path) override {
        if (path == rest_path::kOutOfDateNames) return answer_.names;
        return std::vector<std::string>{};
    }
    std::optional<std::string> SelectText(const std::string& path) override {
        const std::string& text = path == rest_path::kScanStatus ? answer_.status : answer_.scanUrsId;
        if (text.empty()) return std::nullopt;
        return text;
    }
    std::optional<std::vector<RestChild>> ChildElements(const std::string& path) override {
        if (path != rest_path::kProductReport) return std::nullopt;
        return answer_.reportChildren;
    }

private:
    Answer answer_;
};

// Answers from a table of addresses (a missing one fails); can hold every
// request until released.
class Script final : public vnxml::IRestSessionFactory, public std::enable_shared_from_this<Script> {
public:
    void Set(const std::string& address, std::optional<Answer> answer) {
        std::lock_guard<std::mutex> lock(mutex_);
        answers_[address] = std::move(answer);
    }
    void Hold() {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ = true;
    }
    void Release() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            held_ = false;
        }
        changed_.notify_all();
    }
    // Waits until a request is being held.
    bool WaitUntilHolding() {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 5s, [this] { return holding_ > 0; });
    }
    bool WaitForSessionsClosed(int count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 5s, [&] { return closed_ >= count; });
    }
    bool WaitForGets(size_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 5s, [&] { return gets_.size() >= count; });
    }
    std::vector<std::string> Gets() {
        std::lock_guard<std::mutex> lock(mutex_);
        return gets_;
    }

    std::unique_ptr<vnxml::IRestSession> Open() override { return std::make_unique<Session>(shared_from_this()); }

private:
    class Session final : public vnxml::IRestSession {
    public:
        explicit Session(std::shared_ptr<Script> script) : script_(std::move(script)) {}
        ~Session() override {
            {
                std::lock_guard<std::mutex> lock(script_->mutex_);
                ++script_->closed_;
            }
            script_->changed_.notify_all();
        }
        std::unique_ptr<vnxml::IRestReply> Get(const std::string& address) override { return script_->Reply(address); }

    private:
        std::shared_ptr<Script> script_;
    };

    std::unique_ptr<vnxml::IRestReply> Reply(const std::string& address) {
        std::unique_lock<std::mutex> lock(mutex_);
        gets_.push_back(address);
        ++holding_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !held_; });
        --holding_;
        const auto it = answers_.find(address);
        if (it == answers_.end() || !it->second) return nullptr;
        return std::make_unique<ScriptedReply>(*it->second);
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, std::optional<Answer>> answers_;
    std::vector<std::string> gets_;
    bool held_ = false;
    int holding_ = 0;
    int closed_ = 0;
};

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

class ScanReportServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::AppSettings().WriteText(setting::kMachineId, "M1");
        platform::AppSettings().WriteText(setting::kScanId, "S1");
        options_.baseAddress = kBase;
        options_.listFile = folder_.Path("outdatedproductlist.db");
    }

    std::unique_ptr<CScanReportService> Make() {
        auto now = now_;
        auto service = std::make_unique<CScanReportService>(script_, [now] { return now->load(); });
        EXPECT_TRUE(service->Start(options_));
        return service;
    }
    std::vector<std::string> Names(const CScanReportService& service) {
        std::vector<std::string> names{"stale"};
        service.CopyOutOfDateNames(names);
        return names;
    }

    std::shared_ptr<Script> script_ = std::make_shared<Script>();
    std::shared_ptr<std::atomic<int64_t>> now_ = std::make_shared<std::atomic<int64_t>>(1'700'000'000);
    testing_support::ScopedHook<platform::InstallSettingsStore> settings_{platform::MakeMemorySettingsStore()};
    testing_support::TempFolder folder_{"varnel-scan-report"};
    vnxml::ScanReportOptions options_;
};

}  // namespace

TEST(ReportAddress, BaseSlashReportAndKey) {
    using vnxml::ComposeReportAddress;
    using vnxml::RestReport;
    EXPECT_EQ(ComposeReportAddress("http://h/api", RestReport::OutOfDateList, "M 1"),
              "http://h/api/rest/v1.0/installed/outOfDateReport?machineId=M 1");
    EXPECT_EQ(ComposeReportAddress("http://h/api/", RestReport::ScanReport, "S1"),
              "http://h/api/rest/v1.0/getScanReport?scanId=S1");
    EXPECT_EQ(ComposeReportAddress("", RestReport::ScanReport, "S1"), "");
    EXPECT_EQ(ComposeReportAddress("http://h/", RestReport::OutOfDateList, ""), "");
}

TEST(ReportTexts, ComErrorMessages) {
    EXPECT_EQ(vnxml::ComErrorText(0x80040201u), "IDispatch error #1");
    EXPECT_EQ(vnxml::ComErrorText(0x80004005u), "Unknown error 0x80004005");
}

TEST_F(ScanReportServiceTest, ScanReportStatusWordsAndUserFlag) {
    auto service = Make();
    ScanReportStatus status = ScanReportStatus::Failed;
    script_->Set(kReportAddress, Answer{{}, {}, "IN_PROGRESS", ""});
    ASSERT_TRUE(service->GetScanReport(status));
    EXPECT_EQ(status, ScanReportStatus::InProgress);
    EXPECT_FALSE(service->UserReportFlag());

    script_->Set(kReportAddress, Answer{{}, {}, "FAILED", ""});
    ASSERT_TRUE(service->GetScanReport(status));
    EXPECT_EQ(status, ScanReportStatus::Failed);

    script_->Set(kReportAddress, Answer{{}, {}, "COMPLETE", "user-7"});
    ASSERT_TRUE(service->GetScanReport(status));
    EXPECT_EQ(status, ScanReportStatus::Complete);
    EXPECT_TRUE(service->UserReportFlag());

    // Another word fails and leaves the flag as the last report set it.
    script_->Set(kReportAddress, Answer{{}, {}, "COMPLETED", ""});
    EXPECT_FALSE(service->GetScanReport(status));
    EXPECT_TRUE(service->UserReportFlag());
    script_->Set(kReportAddress, std::nullopt);
    EXPECT_FALSE(service->GetScanReport(status));
    EXPECT_EQ(script_->Gets().size(), 5u);
}

TEST_F(ScanReportServiceTest, EmptyMachineIdFailsWithoutARequest) {
    platform::AppSettings().WriteText(setting::kMachineId, "");
    auto service = Make();
    EXPECT_FALSE(service->RequestOutOfDateList(true));
    EXPECT_TRUE(script_->Gets().empty());
}

TEST_F(ScanReportServiceTest, ListTakesNonEmptyNamesInOrderAndSurvivesRestart) {
    script_->Set(
        kListAddress,
        Answer{std::vector<RestChild>{{"Software", "x"}, {"ursId", ""}}, {"Zip Tool 9", "", "Editor 2"}, "", ""});
    {
        auto service = Make();
        ASSERT_TRUE(service->RequestOutOfDateList(true));
        EXPECT_EQ(Names(*service), (std::vector<std::string>{"Zip Tool 9", "Editor 2"}));
        EXPECT_EQ(service->OutOfDateCount(), 2);
        EXPECT_FALSE(service->UserReportFlag());
    }
    std::vector<std::string> stored;
    ASSERT_TRUE(inventory::LoadStringListFile(options_.listFile, stored));
    EXPECT_EQ(stored, (std::vector<std::string>{"Zip Tool 9", "Editor 2"}));

    // A new run starts with the stored list and, its cache time being 0,
    // fetches at the first request: a linked user sets the flag.
    script_->Set(kListAddress, Answer{std::vector<RestChild>{{"ursId", "u-1"}}, {"Editor 2"}, "", ""});
    auto service = Make();
    EXPECT_EQ(service->OutOfDateCount(), 2);
    ASSERT_TRUE(service->RequestOutOfDateList(true));
    EXPECT_EQ(Names(*service), std::vector<std::string>{"Editor 2"});
    EXPECT_TRUE(service->UserReportFlag());
    EXPECT_EQ(script_->Gets().size(), 2u);
}

TEST_F(ScanReportServiceTest, CacheTimeSavesRequests) {
    script_->Set(kListAddress, Answer{});
    auto service = Make();
    ASSERT_TRUE(service->RequestOutOfDateList(false));
    *now_ += 29;
    ASSERT_TRUE(service->RequestOutOfDateList(false));
    EXPECT_EQ(script_->Gets().size(), 1u);
    *now_ += 1;
    ASSERT_TRUE(service->RequestOutOfDateList(false));
    EXPECT_EQ(script_->Gets().size(), 2u);
    *now_ -= 3600;  // the clock set back
    ASSERT_TRUE(service->RequestOutOfDateList(false));
    EXPECT_EQ(script_->Gets().size(), 3u);
}

TEST_F(ScanReportServiceTest, FailedFetchLeavesNamesAndFile) {
    script_->Set(kListAddress, Answer{std::vector<RestChild>{}, {"Editor 2"}, "", ""});
    auto service = Make();
    ASSERT_TRUE(service->RequestOutOfDateList(true));
    const std::string file = ReadBytes(options_.listFile);
    ASSERT_FALSE(file.empty());

    *now_ += 60;
    script_->Set(kListAddress, std::nullopt);  // the request fails
    EXPECT_FALSE(service->RequestOutOfDateList(true));
    script_->Set(kListAddress, Answer{std::nullopt, {}, "", ""});  // a reply without the product report
    EXPECT_FALSE(service->RequestOutOfDateList(true));
    EXPECT_EQ(Names(*service), std::vector<std::string>{"Editor 2"});
    EXPECT_EQ(ReadBytes(options_.listFile), file);
    EXPECT_EQ(script_->Gets().size(), 3u);
}

TEST_F(ScanReportServiceTest, UnforcedRequestWaitsOnlyItsTimeOut) {
    options_.timeoutMs = 50;
    script_->Set(kListAddress, Answer{std::vector<RestChild>{}, {"Late Product"}, "", ""});
    script_->Hold();
    auto service = Make();
    EXPECT_FALSE(service->RequestOutOfDateList(false));  // times out
    ASSERT_TRUE(script_->WaitUntilHolding());
    EXPECT_FALSE(service->RequestOutOfDateList(false));  // a fetch runs: false at once
    EXPECT_EQ(script_->Gets().size(), 1u);

    // The fetch that outlived the wait still completes and updates the list.
    script_->Release();
    ASSERT_TRUE(service->RequestOutOfDateList(true));  // waits its turn, then within the cache time
    EXPECT_EQ(Names(*service), std::vector<std::string>{"Late Product"});
    EXPECT_EQ(script_->Gets().size(), 1u);
}

TEST_F(ScanReportServiceTest, StopEndsTheThreadAndALateReplyChangesNothing) {
    {
        auto idle = Make();
        EXPECT_TRUE(idle->Stop(2s));
        EXPECT_FALSE(idle->RequestOutOfDateList(true));
        ScanReportStatus status;
        EXPECT_FALSE(idle->GetScanReport(status));
    }

    options_.timeoutMs = 10;
    script_->Set(kListAddress, Answer{std::vector<RestChild>{}, {"Late Product"}, "", ""});
    script_->Hold();
    auto service = Make();
    EXPECT_FALSE(service->RequestOutOfDateList(false));
    ASSERT_TRUE(script_->WaitUntilHolding());
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(service->Stop(100ms));  // the request cannot be interrupted
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);

    script_->Release();
    ASSERT_TRUE(script_->WaitForSessionsClosed(1));  // the thread has ended
    EXPECT_EQ(service->OutOfDateCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(options_.listFile));
}

// The fetch thread ends after its linger time without a request, and with it
// its session; the next request starts a new thread that fetches as before.
TEST_F(ScanReportServiceTest, FetchThreadEndsWhenIdleAndTheNextRequestStartsAnother) {
    options_.lingerMs = 20;
    options_.cacheSeconds = 0;
    script_->Set(kListAddress, Answer{std::vector<RestChild>{}, {"Editor 2"}, "", ""});
    auto service = Make();
    EXPECT_FALSE(service->FetchThreadRunning());  // none before the first request
    ASSERT_TRUE(service->RequestOutOfDateList(true));
    ASSERT_TRUE(script_->WaitForSessionsClosed(1));
    for (int i = 0; i < 500 && service->FetchThreadRunning(); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(service->FetchThreadRunning());

    script_->Set(kListAddress, Answer{std::vector<RestChild>{}, {"Editor 3"}, "", ""});
    ASSERT_TRUE(service->RequestOutOfDateList(true));
    EXPECT_EQ(Names(*service), std::vector<std::string>{"Editor 3"});
    EXPECT_EQ(script_->Gets().size(), 2u);
    EXPECT_TRUE(service->Stop(2s));
}

TEST_F(ScanReportServiceTest, StopCutsTheReadingDelayShort) {
    options_.delayMs = 60'000;  // "IPAPI Delay": the pause between a reply and its reading
    options_.timeoutMs = 10;
    script_->Set(kListAddress, Answer{std::vector<RestChild>{}, {"Late Product"}, "", ""});
    auto service = Make();
    EXPECT_FALSE(service->RequestOutOfDateList(false));
    ASSERT_TRUE(script_->WaitForGets(1));
    const auto before = std::chrono::steady_clock::now();
    EXPECT_TRUE(service->Stop(5s));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    EXPECT_EQ(service->OutOfDateCount(), 0);
}
