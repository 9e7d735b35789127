#include "service/scan_report_service.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include "inventory/database.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/text.h"

namespace vnxml {

std::string ComposeReportAddress(const std::string& base, RestReport report, const std::string& key) {
    if (base.empty() || key.empty()) return std::string();
    std::string address = base;
    if (address.back() != '/') address += '/';
    address += report == RestReport::OutOfDateList ? "rest/v1.0/installed/outOfDateReport?machineId="
                                                   : "rest/v1.0/getScanReport?scanId=";
    return address + key;
}

bool ParseScanReportStatus(const std::string& text, ScanReportStatus& status) {
    if (text == "IN_PROGRESS") status = ScanReportStatus::InProgress;
    else if (text == "FAILED") status = ScanReportStatus::Failed;
    else if (text == "COMPLETE") status = ScanReportStatus::Complete;
    else return false;
    return true;
}

bool UserReportFromChildren(const std::vector<RestChild>& children) {
    for (const RestChild& child : children)
        if (child.name == rest_path::kUrsIdElement && !child.text.empty()) return true;
    return false;
}

std::string ComErrorText(uint32_t hr) {
    if (hr >= 0x80040200u && hr <= 0x8004FFFFu)
        return textutil::Format("IDispatch error #%d", static_cast<int>(hr - 0x80040200u));
    return textutil::Format("Unknown error 0x%0lX", static_cast<unsigned long>(hr));
}

ScanReportOptions ReadScanReportOptions(platform::Settings& settings, const std::string& dataFolder) {
    ScanReportOptions options;
    options.baseAddress = settings.ReadText(setting::kIpapiLinkUrl, setting::kIpapiLinkUrlDefaultId);
    if (!dataFolder.empty()) options.listFile = dataFolder + inventory::dbfile::kOutdatedProductList;
    options.cacheSeconds = settings.ReadNumber(setting::kProductMenuCacheTime, setting::kProductMenuCacheTimeDefault);
    options.timeoutMs = settings.ReadNumber(setting::kIpapiTimeOut, setting::kIpapiTimeOutDefault);
    options.delayMs = settings.ReadNumber(setting::kIpapiDelay, setting::kIpapiDelayDefault);
    return options;
}

// ---------------------------------------------------------------- state

struct CScanReportService::State {
    State(std::shared_ptr<IRestSessionFactory> s, Clock c) : sessions(std::move(s)), clock(std::move(c)) {}

    const std::shared_ptr<IRestSessionFactory> sessions;
    const Clock clock;
    ScanReportOptions options;  // set before the thread starts, read-only afterwards

    // The two events: `done` (manual reset, initially set) is true while no
    // fetch or scan report runs; `request` (auto reset) asks for a fetch.
    std::mutex eventMutex;
    std::condition_variable eventChanged;
    bool done = true;
    bool request = false;
    bool stop = false;
    bool lastResult = false;
    // The fetch thread: `running` from its start until it has decided to end
    // (after that it touches no shared state); `thread` is the last one
    // started, joined before the next one starts.
    bool running = false;
    std::thread thread;

    // The list lock.
    mutable std::mutex listMutex;
    std::vector<std::string> names;
    int64_t lastFetch = 0;
    bool fetched = false;  // lastFetch holds a fetch of this run

    // The request lock.
    std::mutex requestMutex;

    std::atomic<bool> userReport{false};

    bool Stopping() {
        std::lock_guard<std::mutex> lock(eventMutex);
        return stop;
    }

    // Takes the done state for this thread: waits until nothing runs, then
    // marks a run. False when the service stops meanwhile.
    bool TakeDone() {
        std::unique_lock<std::mutex> lock(eventMutex);
        eventChanged.wait(lock, [this] { return done || stop; });
        if (stop) return false;
        done = false;
        return true;
    }
    void GiveDone() {
        {
            std::lock_guard<std::mutex> lock(eventMutex);
            done = true;
        }
        eventChanged.notify_all();
    }

    bool CacheIsFresh(int64_t now) {
        std::lock_guard<std::mutex> lock(listMutex);
        if (!fetched) return false;
        // A clock set back makes the age negative: that is no reason to keep
        // the list for as long as the clock was moved.
        const int64_t age = now - lastFetch;
        return age >= 0 && age < static_cast<int64_t>(options.cacheSeconds);
    }

    // Pauses for `ms` milliseconds, or less when the service stops.
    void Pause(uint32_t ms) {
        std::unique_lock<std::mutex> lock(eventMutex);
        eventChanged.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stop; });
    }

    bool FetchList(std::unique_ptr<IRestSession>& session);
    bool ScanReport(ScanReportStatus& status);
    // Starts the fetch thread unless it runs; with eventMutex held. False
    // when no thread can be made.
    bool EnsureThread(const std::shared_ptr<State>& self);
    void Run();
};

bool CScanReportService::State::FetchList(std::unique_ptr<IRestSession>& session) {
    if (CacheIsFresh(clock())) return true;

    const std::string address = ComposeReportAddress(options.baseAddress, RestReport::OutOfDateList,
                                                     platform::AppSettings().ReadText(setting::kMachineId));
    if (address.empty()) {
        vnlog::Debug("Out-of-date list: no address (no \"IpapiLink URL\" or \"Machine ID\")");
        return false;
    }
    if (!session) session = sessions->Open();
    if (!session) return false;
    std::unique_ptr<IRestReply> reply = session->Get(address);
    if (!reply) return false;
    if (options.delayMs >= 1) Pause(options.delayMs);

    // A reply without the product report (an error page, another document)
    // is no list: the one kept stays as it is.
    const std::optional<std::vector<RestChild>> children = reply->ChildElements(rest_path::kProductReport);
    if (!children) {
        vnlog::Debug("Out-of-date list: the reply holds no product report");
        return false;
    }
    std::optional<std::vector<std::string>> selected = reply->SelectTexts(rest_path::kOutOfDateNames);
    if (!selected) return false;

    {
        std::lock_guard<std::mutex> lock(listMutex);
        // Once Stop has been asked for, a late reply changes nothing.
        if (Stopping()) return false;
        lastFetch = clock();
        fetched = true;
        names.clear();
        for (std::string& name : *selected)
            if (!name.empty()) names.push_back(std::move(name));
        if (!options.listFile.empty() && !inventory::SaveStringListFile(options.listFile, names))
            vnlog::Debug("Out-of-date list: cannot write " + options.listFile);
    }
    userReport = UserReportFromChildren(*children);
    return true;
}

bool CScanReportService::State::ScanReport(ScanReportStatus& status) {
    const std::string address = ComposeReportAddress(options.baseAddress, RestReport::ScanReport,
                                                     platform::AppSettings().ReadText(setting::kScanId));
    if (address.empty()) {
        vnlog::Debug("Scan report: no address (no \"IpapiLink URL\" or \"Scan ID\")");
        return false;
    }
    std::unique_ptr<IRestSession> session = sessions->Open();
    if (!session) return false;
    std::unique_ptr<IRestReply> reply = session->Get(address);
    if (!reply) return false;
    const std::string text = reply->SelectText(rest_path::kScanStatus).value_or(std::string());
    if (!ParseScanReportStatus(text, status)) {
        vnlog::Debug("Scan report: unknown status \"" + text + "\"");
        return false;
    }
    userReport = !reply->SelectText(rest_path::kScanUrsId).value_or(std::string()).empty();
    return true;
}

bool CScanReportService::State::EnsureThread(const std::shared_ptr<State>& self) {
    if (running) return true;
    // A thread that ended by lingering has left the shared state already and
    // only returns: joining it here cannot wait for this lock.
    if (thread.joinable()) thread.join();
    try {
        thread = std::thread([self] { self->Run(); });
    } catch (const std::exception& e) {
        vnlog::Debug(std::string("Out-of-date list: cannot start the fetch thread: ") + e.what());
        return false;
    }
    running = true;
    return true;
}

void CScanReportService::State::Run() {
    // The thread's session (and with it the request object) lives until the
    // thread ends.
    std::unique_ptr<IRestSession> session;
    const auto asked = [this] { return request || stop; };
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(eventMutex);
            if (!eventChanged.wait_for(lock, std::chrono::milliseconds(options.lingerMs), asked)) {
                // No work for the linger time: release the session outside
                // the lock, then end unless a request came meanwhile.
                lock.unlock();
                session.reset();
                lock.lock();
                if (!asked()) {
                    running = false;
                    eventChanged.notify_all();
                    return;
                }
            }
            if (stop) break;
            request = false;
        }
        bool result = false;
        try {
            result = FetchList(session);
        } catch (const std::exception& e) {
            vnlog::Debug(std::string("Out-of-date list: ") + e.what());
        } catch (...) {
            vnlog::Debug("Out-of-date list: unexpected failure");
        }
        {
            std::lock_guard<std::mutex> lock(eventMutex);
            lastResult = result;
            done = true;
        }
        eventChanged.notify_all();
    }
    session.reset();
    {
        std::lock_guard<std::mutex> lock(eventMutex);
        lastResult = false;
        done = true;
        running = false;
    }
    eventChanged.notify_all();
}

// ---------------------------------------------------------------- service

CScanReportService::CScanReportService(std::shared_ptr<IRestSessionFactory> sessions, Clock clock)
    : state_(std::make_shared<State>(std::move(sessions), clock ? std::move(clock) : Clock(platform::CurrentTime))) {}

CScanReportService::~CScanReportService() { Stop(); }

bool CScanReportService::Start(const ScanReportOptions& options) {
    if (started_ || !state_->sessions) return false;
    state_->options = options;
    if (!options.listFile.empty()) {
        std::lock_guard<std::mutex> lock(state_->listMutex);
        if (!inventory::LoadStringListFile(options.listFile, state_->names))
            vnlog::Debug("Out-of-date list: " + options.listFile + " is damaged; the list starts empty");
    }
    started_ = true;
    return true;
}

bool CScanReportService::Stop(std::chrono::milliseconds wait) {
    State& s = *state_;
    std::thread thread;
    bool ended;
    {
        std::unique_lock<std::mutex> lock(s.eventMutex);
        s.stop = true;
        s.eventChanged.notify_all();
        ended = s.eventChanged.wait_for(lock, wait, [&s] { return !s.running; });
        thread = std::move(s.thread);
    }
    if (!thread.joinable()) return true;
    if (ended) {
        thread.join();
        return true;
    }
    // The thread is inside a request that cannot be interrupted. It holds its
    // own share of the state, checks the stop flag before it changes the list,
    // and ends when the request returns.
    vnlog::Debug("Out-of-date list: the fetch thread did not end in time; it is left to finish");
    thread.detach();
    return false;
}

bool CScanReportService::GetScanReport(ScanReportStatus& status) {
    if (!started_ || !state_->TakeDone()) return false;
    bool result = false;
    try {
        result = state_->ScanReport(status);
    } catch (const std::exception& e) {
        vnlog::Debug(std::string("Scan report: ") + e.what());
    } catch (...) {
        vnlog::Debug("Scan report: unexpected failure");
    }
    state_->GiveDone();
    return result;
}

bool CScanReportService::RequestOutOfDateList(bool forced) {
    if (!started_) return false;
    State& s = *state_;
    if (!forced) {
        std::lock_guard<std::mutex> lock(s.eventMutex);
        if (!s.done || s.stop) return false;
    }
    std::lock_guard<std::mutex> serial(s.requestMutex);
    std::unique_lock<std::mutex> lock(s.eventMutex);
    s.eventChanged.wait(lock, [&s] { return s.done || s.stop; });
    if (s.stop || !s.EnsureThread(state_)) return false;
    s.done = false;
    s.request = true;
    s.eventChanged.notify_all();
    const auto finished = [&s] { return s.done; };
    if (forced) s.eventChanged.wait(lock, finished);
    else if (!s.eventChanged.wait_for(lock, std::chrono::milliseconds(s.options.timeoutMs), finished)) return false;
    return s.lastResult;
}

void CScanReportService::CopyOutOfDateNames(std::vector<std::string>& names) const {
    std::lock_guard<std::mutex> lock(state_->listMutex);
    names = state_->names;
}

int CScanReportService::OutOfDateCount() const {
    std::lock_guard<std::mutex> lock(state_->listMutex);
    return static_cast<int>(state_->names.size());
}

bool CScanReportService::UserReportFlag() const { return state_->userReport; }

bool CScanReportService::FetchThreadRunning() const {
    std::lock_guard<std::mutex> lock(state_->eventMutex);
    return state_->running;
}

}  // namespace vnxml
