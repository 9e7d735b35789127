// The scheduled pass over a fake clock: every consequence of the first and
// later ticks, "Scan on Startup", "scannow", frequency 0 and 5, and the
// conditions under which a tick does nothing.
#include <gtest/gtest.h>

#include "common/scoped_hook.h"
#include "engine/schedule.h"
#include "engine/schedule_interval.h"
#include "platform/setting_names.h"
#include "platform/settings.h"

namespace {

constexpr uint64_t kStart = 1719562602;  // the clock at start-up
constexpr uint32_t kDay = 86400;

class Host final : public engine::IScheduleHost {
public:
    bool IsConnected() override { return connected; }
    bool IsWorkerRunning() override { return workerRunning; }
    uint32_t SelfUpdateState() override { return selfUpdateState; }
    void StartScheduledScan() override { ++scans; }
    void SetScheduleTimerPeriod(uint32_t ms) override { periods.push_back(ms); }
    bool connected = true;
    bool workerRunning = false;
    uint32_t selfUpdateState = 0;
    int scans = 0;
    std::vector<uint32_t> periods;
};

class Schedule : public ::testing::Test {
protected:
    void SetUp() override { settings_.Replace(platform::MakeMemorySettingsStore()); }
    static platform::Settings& S() { return platform::AppSettings(); }

    // Ticks as the timer gives them: one second after start-up, then every ten.
    bool Tick() {
        const uint64_t now = kStart + (ticks_ == 0 ? 1 : 1 + 10 * ticks_);
        ++ticks_;
        return engine::SchedulePass(state_, host_, now);
    }
    uint64_t Now() const { return kStart + 1 + 10 * (ticks_ - 1); }

    testing_support::ScopedHook<platform::InstallSettingsStore> settings_{platform::MakeMemorySettingsStore()};
    engine::ScheduleState state_;
    Host host_;
    int ticks_ = 0;
};

}  // namespace

TEST_F(Schedule, WithoutAStoredTimeTheFirstTickStoresNowAndScanOnStartupChecksAtTheSecond) {
    EXPECT_FALSE(Tick());
    EXPECT_EQ(S().ReadNumber(setting::kLastScanTime, 0), static_cast<uint32_t>(Now()));
    EXPECT_EQ(host_.periods, std::vector<uint32_t>{engine::kScheduleTimerPeriodMs});
    EXPECT_TRUE(Tick());
    EXPECT_EQ(host_.scans, 1);
    EXPECT_EQ(S().ReadNumber(setting::kLastScanTime, 0), static_cast<uint32_t>(Now())) << "the time the run started";
    EXPECT_EQ(engine::NextScheduledScan(state_), static_cast<int64_t>(Now()) + kDay);
    // Daily: nothing more for a day, then the next one.
    for (int i = 0; i < 20; ++i) EXPECT_FALSE(Tick());
    EXPECT_TRUE(engine::SchedulePass(state_, host_, Now() + kDay + 1));
    EXPECT_EQ(host_.periods.size(), 1u) << "the timer is slowed once";
}

TEST_F(Schedule, WithoutScanOnStartupOnlyAnOverdueScheduleRunsAtTheSecondTick) {
    S().WriteNumber(setting::kScanOnStartup, 0);
    S().WriteNumber(setting::kLastScanTime, static_cast<uint32_t>(kStart - 2 * kDay));
    EXPECT_FALSE(Tick());
    EXPECT_TRUE(Tick());

    settings_.Replace(platform::MakeMemorySettingsStore());
    state_ = engine::ScheduleState();
    S().WriteNumber(setting::kScanOnStartup, 0);
    S().WriteNumber(setting::kLastScanTime, static_cast<uint32_t>(kStart - 3600));
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(Tick());
    EXPECT_EQ(host_.scans, 1);
}

TEST_F(Schedule, ManualRunsOnlyTheScanNowCheckAtTheFirstTick) {
    state_.frequency = 0;
    state_.scanNow = true;
    EXPECT_TRUE(Tick());
    EXPECT_FALSE(state_.scanNow);
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(Tick());
    EXPECT_EQ(host_.scans, 1);
    EXPECT_EQ(engine::NextScheduledScan(state_), 0);

    // Without scannow a manual schedule never gets past the preconditions.
    engine::ScheduleState manual;
    manual.frequency = 0;
    EXPECT_FALSE(engine::SchedulePass(manual, host_, kStart));
    EXPECT_EQ(manual.lastScanTime, 0u);
}

TEST_F(Schedule, ACustomIntervalOfZeroIsDueAtEveryTickOnceTheRunEnded) {
    state_.frequency = engine::kFrequencyCustom;
    S().WriteNumber(setting::kScanOnStartup, 0);
    EXPECT_FALSE(Tick());  // stores now
    EXPECT_TRUE(Tick());
    host_.workerRunning = true;
    EXPECT_FALSE(Tick());
    host_.workerRunning = false;
    EXPECT_TRUE(Tick());
    EXPECT_EQ(host_.scans, 2);
}

TEST_F(Schedule, AClockSetBackMakesTheNextCheckDueOneIntervalFromNow) {
    // Stored while the clock ran a year ahead.
    S().WriteNumber(setting::kScanOnStartup, 0);
    S().WriteNumber(setting::kLastScanTime, static_cast<uint32_t>(kStart + 365 * kDay));
    EXPECT_FALSE(Tick());
    EXPECT_EQ(S().ReadNumber(setting::kLastScanTime, 0), static_cast<uint32_t>(Now()));
    EXPECT_FALSE(Tick());
    const uint64_t due = Now() + kDay;
    EXPECT_TRUE(engine::SchedulePass(state_, host_, due));
    // Set back a week after that check: due a day after the change.
    const uint64_t back = due - 7 * kDay;
    EXPECT_FALSE(engine::SchedulePass(state_, host_, back));
    EXPECT_FALSE(engine::SchedulePass(state_, host_, back + kDay - 10));
    EXPECT_TRUE(engine::SchedulePass(state_, host_, back + kDay + 1));
    EXPECT_EQ(host_.scans, 2);
}

TEST_F(Schedule, OfflineInstallingOrAlreadyInAPassNothingHappensAndNothingAdvances) {
    state_.scanNow = true;
    host_.connected = false;
    EXPECT_FALSE(Tick());
    EXPECT_TRUE(state_.scanNow) << "kept for the first tick that gets past the preconditions";
    EXPECT_EQ(state_.lastScanTime, 0u);
    EXPECT_TRUE(host_.periods.empty()) << "the timer keeps ticking every second";
    host_.connected = true;
    host_.selfUpdateState = engine::kSelfUpdateInstalling;
    EXPECT_FALSE(Tick());
    host_.selfUpdateState = 1;
    state_.passRunning = true;
    EXPECT_FALSE(Tick());
    state_.passRunning = false;
    EXPECT_TRUE(Tick());
    EXPECT_FALSE(state_.passRunning);
    EXPECT_EQ(host_.scans, 1);
}

TEST_F(Schedule, AFailedCheckIsTriedAgainAfterAQuarterHourThenEachTimeTwiceAsLateUntilTheIntervalComesFirst) {
    state_.frequency = engine::kFrequencyEvery4Hours;
    EXPECT_FALSE(Tick());
    EXPECT_TRUE(Tick());
    uint64_t start = Now();
    // Failed: tried again 15 minutes later, not before.
    engine::NoteScheduledCheckEnd(state_, true, start + 60);
    EXPECT_FALSE(engine::SchedulePass(state_, host_, start + 60 + 15 * 60 - 10));
    EXPECT_TRUE(engine::SchedulePass(state_, host_, start + 60 + 15 * 60));
    EXPECT_EQ(S().ReadNumber(setting::kLastScanTime, 0), static_cast<uint32_t>(start + 60 + 15 * 60))
        << "a retry is a scheduled run: its start is the last scan time";
    // Failed again: 30 minutes, then 60, then 120; the next 240 would come
    // no sooner than the regular check four hours on, which is what runs.
    uint64_t now = start + 60 + 15 * 60;
    for (uint64_t wait : {30 * 60, 60 * 60, 120 * 60}) {
        engine::NoteScheduledCheckEnd(state_, true, now);
        EXPECT_FALSE(engine::SchedulePass(state_, host_, now + wait - 10));
        EXPECT_TRUE(engine::SchedulePass(state_, host_, now + wait));
        now += wait;
    }
    engine::NoteScheduledCheckEnd(state_, true, now);
    EXPECT_EQ(state_.retryAt, 0u);
    EXPECT_FALSE(engine::SchedulePass(state_, host_, now + 4 * 3600 - 10));
    EXPECT_TRUE(engine::SchedulePass(state_, host_, now + 4 * 3600 + 1));
    now += 4 * 3600 + 1;
    // A success forgets the failures: the next failure waits 15 minutes again.
    engine::NoteScheduledCheckEnd(state_, false, now);
    engine::NoteScheduledCheckEnd(state_, true, now);
    EXPECT_TRUE(engine::SchedulePass(state_, host_, now + 15 * 60));
    EXPECT_EQ(host_.scans, 7);
}

TEST_F(Schedule, ARetryWaitsForThePreconditionsAndAClockSetBackDoesNotPostponeIt) {
    EXPECT_FALSE(Tick());
    EXPECT_TRUE(Tick());
    const uint64_t start = Now();
    engine::NoteScheduledCheckEnd(state_, true, start);
    host_.connected = false;
    EXPECT_FALSE(engine::SchedulePass(state_, host_, start + 20 * 60));
    host_.connected = true;
    // The clock went back a week meanwhile: the retry is not held for a week.
    EXPECT_TRUE(engine::SchedulePass(state_, host_, start - 7 * kDay));
    EXPECT_EQ(host_.scans, 2);
}
