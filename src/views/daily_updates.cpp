#include "views/daily_updates.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <thread>

#include "platform/log.h"
#include "service/catalog_parser.h"
#include "service/talker.h"

namespace Views {

namespace {
// How long the destructor waits for running refreshes.
constexpr auto kStopWait = std::chrono::seconds(3);
}  // namespace

struct CDailyUpdates::Job {
    uintptr_t number = 0;
    std::string url;
    platform::WindowHandle window = nullptr;
    uint32_t message = 0;
    std::function<bool(const std::string&, std::string&)> fetch;
    VN_ListBase items;  // what this refresh read; in memory only
    bool complete = false;
    std::atomic<bool> done{false};
    std::thread thread;
};

bool FetchFeed(const std::string& url, std::string& body) {
    std::unique_ptr<vnxml::ITalker> talker = vnxml::MakeTalker();
    if (!talker->SetAddress(url) || !talker->Request(false, "GET", std::string_view(), false)) {
        std::string text;
        const uint32_t code = talker->ErrorText(text, 256);
        vnlog::Write("*** Today's updates: the feed " + url + " could not be fetched (" + std::to_string(code) + " " +
                     text + ")");
        return false;
    }
    body.assign(talker->Reply());
    return true;
}

CDailyUpdates::CDailyUpdates(VN_ListBase& list) : fetch(&FetchFeed), list_(list) {}

CDailyUpdates::~CDailyUpdates() {
    std::vector<std::shared_ptr<Job>> jobs;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs.swap(jobs_);
    }
    for (const auto& job : jobs) job->items.SetAbort(true);
    const auto until = std::chrono::steady_clock::now() + kStopWait;
    for (const auto& job : jobs) {
        while (!job->done && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (!job->thread.joinable()) continue;
        if (job->done) job->thread.join();
        else job->thread.detach();  // it holds its job; its post finds no window
    }
}

void CDailyUpdates::Start(const std::string& url, platform::WindowHandle window, uint32_t message) {
    auto job = std::make_shared<Job>();
    job->url = url;
    job->window = window;
    job->message = message;
    job->fetch = fetch;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& running : jobs_) running->items.SetAbort(true);
        job->number = ++latest_;
        jobs_.push_back(job);
    }
    job->thread = std::thread([job] { Run(job); });
}

void CDailyUpdates::Run(const std::shared_ptr<Job>& job) {
    try {
        std::string body;
        if (!job->items.IsAbortRequested() && job->fetch && job->fetch(job->url, body) &&
            !job->items.IsAbortRequested()) {
            vnxml::CXMLDailyParser parser(job->items);
            parser.SetStopList(&job->items);
            const platform::SaxResult result = parser.ParseBuffer(body.data(), body.size());
            job->complete = parser.ReadToEnd(result) && !job->items.IsAbortRequested();
            if (!job->complete && !job->items.IsAbortRequested())
                vnlog::Write("*** Today's updates: the feed was not read to its end (" +
                             std::to_string(job->items.GetCount()) + " entries read); the list is kept");
        }
    } catch (const std::exception& e) {
        vnlog::Write("*** Today's updates: the refresh failed", e);
        job->complete = false;
    }
    job->done = true;
    platform::Notifier().Post(job->window, job->message, job->number, 0);
}

bool CDailyUpdates::Finish(uintptr_t number) {
    std::shared_ptr<Job> job;
    bool latest = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = jobs_.begin(); it != jobs_.end(); ++it) {
            if ((*it)->number != number) continue;
            job = *it;
            jobs_.erase(it);
            break;
        }
        latest = number == latest_;
    }
    if (!job) return false;
    if (job->thread.joinable()) job->thread.join();  // it has posted: it ends now
    if (!latest || !job->complete) return false;
    list_.Clear();
    while (!job->items.IsEmpty()) list_.AddTail(job->items.Detach(0));
    list_.Save();
    vnlog::Write("Today's updates: " + std::to_string(list_.GetCount()) + " entries");
    return true;
}

bool CDailyUpdates::Running() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !jobs_.empty();
}

}  // namespace Views
