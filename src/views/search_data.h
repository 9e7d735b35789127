// Views::CSearchData: the catalogue search and its results. A search runs on
// a worker: FilterService.search, the reply's document written to
// "searchresult.xml" in the temporary HTML folder, read into the list (one
// VN_SearchItem per product), the rows filled, and WM_Varnel10_SearchEnd
// posted to the result window with the end code. One search runs at a time;
// keywords given while one runs wait as the pending search, which starts when
// the running one has ended (OnSearchEnd).
#pragma once

#include <mutex>
#include <string>

#include "inventory/list_base.h"
#include "platform/notifier.h"

namespace Views {

namespace search_end {
inline constexpr int kFound = 0;
inline constexpr int kAborted = 1;
inline constexpr int kNothingFound = 2;
inline constexpr int kServerError = 3;
inline constexpr int kTooShort = 4;
}  // namespace search_end

// The status text set with each end code ("" for kFound).
const char* SearchEndText(int code);

inline constexpr char kSearchResultFile[] = "\\searchresult.xml";
inline constexpr char kSearchTraceFile[] = "\\zsearchsaxout.xml";
inline constexpr char kSearchingText[] = "Searching on the server...";

class CSearchData : public VN_ListBase {
public:
    CSearchData() = default;
    // Asks a running search to stop and waits for it.
    ~CSearchData() override;

    // 1 when the keywords are the current ones (nothing done) or a search
    // started; 0 when the keywords wait for the running search, or are too
    // short (the search then ends at once with code 4, without a request).
    int StartSearch(const std::string& keywords, platform::WindowHandle resultWindow, bool trace);
    // The view's part of WM_Varnel10_SearchEnd: starts the pending keywords,
    // if any, once the ended search's thread has finished. True when it did.
    bool OnSearchEnd(int code);

    std::string GetStatusText() const;
    std::string GetCurrentKeywords() const;
    std::string GetPendingKeywords() const;

private:
    void Search();
    void End(int code);
    void SetStatusText(const std::string& text);

    mutable std::mutex mutex_;  // the texts below
    std::string currentKeywords_;
    std::string pendingKeywords_;
    std::string statusText_;
    platform::WindowHandle resultWindow_ = nullptr;
    bool trace_ = false;
};

}  // namespace Views
