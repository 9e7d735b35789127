#include "engine/schedule.h"

#include <string>

#include "engine/schedule_interval.h"
#include "platform/log.h"
#include "platform/setting_names.h"
#include "platform/settings.h"

namespace engine {
namespace {

uint32_t Interval(uint32_t frequency) {
    return ScheduleIntervalSeconds(frequency, platform::AppSettings().ReadNumber(setting::kCustomInterval, 0));
}

}  // namespace

bool SchedulePass(ScheduleState& state, IScheduleHost& host, uint64_t nowSeconds) {
    if (state.passRunning) return false;
    if (!host.IsConnected()) return false;
    if (state.frequency == 0 && !state.scanNow) return false;
    if (host.IsWorkerRunning()) return false;
    if (host.SelfUpdateState() == kSelfUpdateInstalling) return false;

    state.passRunning = true;
    const bool scanNow = state.scanNow;
    const uint32_t now = static_cast<uint32_t>(nowSeconds);
    platform::Settings& settings = platform::AppSettings();
    bool run = false;
    bool retry = false;
    if (state.lastScanTime == 0) {
        uint32_t stored = settings.ReadNumber(setting::kLastScanTime, setting::kLastScanTimeDefault);
        // None stored yet, or one from the future: a clock set back (after
        // running ahead, or a reset) would hold the schedule until it caught up.
        if (stored == 0 || stored > now) {
            stored = now;
            settings.WriteNumber(setting::kLastScanTime, stored);
        }
        state.lastScanTime = stored;
        if (settings.ReadNumber(setting::kScanOnStartup, setting::kScanOnStartupDefault) != 0)
            state.lastScanTime = now - Interval(state.frequency);
        host.SetScheduleTimerPeriod(kScheduleTimerPeriodMs);
        run = scanNow;
    } else {
        if (state.lastScanTime > now) {  // the clock went back since the last check
            state.lastScanTime = now;
            settings.WriteNumber(setting::kLastScanTime, now);
        }
        if (state.retryAt != 0 && state.retryAt > now + uint64_t{Interval(state.frequency)})
            state.retryAt = now;  // set before the clock went back
        run = scanNow || uint64_t{Interval(state.frequency)} + state.lastScanTime < now;
        retry = !run && state.retryAt != 0 && state.retryAt <= now;
        run = run || retry;
    }
    if (run) {
        vnlog::Write(scanNow ? "Scheduled pass: the scan-now check starts"
                     : retry ? "Scheduled pass: the failed check is tried again"
                             : "Scheduled pass: a check is due");
        state.retryAt = 0;
        state.lastScanTime = now;
        host.StartScheduledScan();
        settings.WriteNumber(setting::kLastScanTime, now);
    }
    state.scanNow = false;
    state.passRunning = false;
    return run;
}

void NoteScheduledCheckEnd(ScheduleState& state, bool failed, uint64_t nowSeconds) {
    state.retryAt = 0;
    if (!failed) {
        state.failedChecks = 0;
        return;
    }
    const uint32_t doublings = state.failedChecks < 16 ? state.failedChecks : 16;
    ++state.failedChecks;
    const uint64_t delay = uint64_t{kFirstRetrySeconds} << doublings;
    const uint32_t interval = Interval(state.frequency);
    // The regular check comes first (or there is none): nothing to add.
    if (interval == 0 || delay >= interval) {
        vnlog::Write("The scheduled check failed: the next one is the regular one");
        return;
    }
    const uint32_t now = static_cast<uint32_t>(nowSeconds);
    state.retryAt = now + static_cast<uint32_t>(delay);
    if (state.retryAt == 0) state.retryAt = 1;
    vnlog::Write("The scheduled check failed: it is tried again in " + std::to_string(delay / 60) + " minutes");
}

int64_t NextScheduledScan(const ScheduleState& state) {
    const uint32_t interval = Interval(state.frequency);
    if (interval == 0 || state.lastScanTime == 0) return 0;
    return static_cast<int64_t>(state.lastScanTime) + interval;
}

}  // namespace engine
