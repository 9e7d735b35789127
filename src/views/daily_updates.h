// Today's updates: the list of recent catalogue releases, refreshed from the
// service's feed after each check. A refresh fetches the feed and reads it
// into a list of its own on a worker thread, so that the list the view shows
// is never half-filled; the user-interface thread then takes the new items
// (Finish), saves "dailyupdates.db" and has the view rebuild its rows.
//
// A fetch that fails, or a document that could not be read to its end (a
// connection cut short, a malformed or truncated feed), leaves the list and
// its file as they were: a broken fetch must not replace good entries with
// none or with a part of them.
//
//   CDailyUpdates refresh(dailyList);          // the list with its file path
//   refresh.Start(url, window, message);       // worker posts (message, n, 0)
//   ... on the message: if (refresh.Finish(wParam)) view.Reload();
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "inventory/list_base.h"
#include "platform/notifier.h"

namespace Views {

class CDailyUpdates {
public:
    // `list`: the list the today's-updates view shows; it is saved to its
    // database path after each refresh that replaced it.
    explicit CDailyUpdates(VN_ListBase& list);
    // Asks running refreshes to stop and gives them a moment; one still
    // blocked in the network after that is left to end on its own (it owns
    // everything it uses and its result is dropped).
    ~CDailyUpdates();
    CDailyUpdates(const CDailyUpdates&) = delete;
    CDailyUpdates& operator=(const CDailyUpdates&) = delete;

    // Starts a refresh from the feed at `url`. A refresh still running is
    // asked to stop, and whatever it read is dropped. When the worker ends it
    // posts `message` to `window` with the refresh's number as wParam.
    void Start(const std::string& url, platform::WindowHandle window, uint32_t message);
    // The user-interface thread's part, on that message: when `number` is the
    // latest refresh and it read the feed to its end, the list takes its
    // items (replacing the old ones) and is saved. True when the list was
    // replaced; false when the refresh failed, was overtaken or is unknown.
    bool Finish(uintptr_t number);
    // True while a refresh has not been finished.
    bool Running() const;

    // How the feed is fetched: the body of a GET of `url`, or false (tests
    // replace it; the default goes through the program's talker).
    std::function<bool(const std::string& url, std::string& body)> fetch;

private:
    struct Job;
    static void Run(const std::shared_ptr<Job>& job);

    VN_ListBase& list_;
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Job>> jobs_;
    uintptr_t latest_ = 0;
};

// A GET of `url` through the talker: true with the body when the request
// worked and the status was below 400.
bool FetchFeed(const std::string& url, std::string& body);

}  // namespace Views
