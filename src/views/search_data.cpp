#include "views/search_data.h"

#include <fstream>

#include "platform/files.h"
#include "platform/folders.h"
#include "platform/log.h"
#include "platform/message_names.h"
#include "service/catalog_client.h"
#include "service/catalog_parser.h"

namespace Views {

const char* SearchEndText(int code) {
    switch (code) {
        case search_end::kFound: return "";
        case search_end::kAborted: return "Search aborted by user";
        case search_end::kNothingFound:
            return "No products were found that match your search criteria. Please try again.";
        case search_end::kServerError: return "Sever RPC error, please try search later!";
        case search_end::kTooShort: return "A search string has to be 2 or more characters! Please try again.";
        default: return "";
    }
}

CSearchData::~CSearchData() {
    SetAbort(true);
    WaitThread();
}

int CSearchData::StartSearch(const std::string& keywords, platform::WindowHandle resultWindow, bool trace) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!keywords.empty() && keywords == currentKeywords_) return 1;
    }
    if (IsThreadRunning()) {
        SetAbort(true);
        std::lock_guard<std::mutex> lock(mutex_);
        pendingKeywords_ = keywords;
        return 0;
    }
    StopThread();  // empties the slot of a finished search and clears the abort flag
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pendingKeywords_.clear();
        currentKeywords_ = keywords;
        resultWindow_ = resultWindow;
        trace_ = trace;
    }
    Clear();
    if (keywords.size() < 2) {
        End(search_end::kTooShort);
        return 0;
    }
    SetStatusText(kSearchingText);
    if (!BeginThread([this] { Search(); })) {
        End(search_end::kServerError);
        return 0;
    }
    return 1;
}

bool CSearchData::OnSearchEnd(int code) {
    std::string pending;
    platform::WindowHandle window;
    bool trace;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending = pendingKeywords_;
        window = resultWindow_;
        trace = trace_;
    }
    // The keywords that waited are what the user asked for last: they run
    // however the search before them ended (aborted for them, or failed).
    (void)code;
    if (pending.empty()) return false;
    WaitThread();
    return StartSearch(pending, window, trace) == 1;
}

void CSearchData::Search() {
    try {
        const std::string keywords = GetCurrentKeywords();
        XmlRpc::XmlRpcValue reply;
        if (!catalog::Call(catalog::CatalogueEndpoint(), catalog::kSearchMethod, catalog::SearchParams(keywords),
                           reply))
            return End(search_end::kServerError);
        if (IsAbortRequested()) return End(search_end::kAborted);
        std::string document;
        if (!catalog::ResultDocument(reply, document)) return End(search_end::kServerError);
        const std::string folder = platform::TempHtmlFolder();
        platform::CreateDirectories(folder);
        const std::string path = folder + kSearchResultFile;
        if (!platform::WriteFileAtomically(path, document)) return End(search_end::kServerError);
        if (IsAbortRequested()) return End(search_end::kAborted);

        vnxml::CXMLSearchParser parser(*this);
        parser.SetStopList(this);
        std::ofstream traceFile;
        if (trace_) traceFile.open(platform::NativePath(folder + kSearchTraceFile), std::ios::binary | std::ios::trunc);
        parser.ParseFile(path, traceFile.is_open() ? &traceFile : nullptr);
        if (IsAbortRequested()) return End(search_end::kAborted);
        if (IsEmpty()) return End(search_end::kNothingFound);
        FillListControl();
        End(search_end::kFound);
    } catch (const std::exception& e) {
        vnlog::Write("*** Error in the catalogue search", e);
        End(search_end::kServerError);
    }
}

void CSearchData::End(int code) {
    SetStatusText(SearchEndText(code));
    platform::WindowHandle window;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        window = resultWindow_;
        // A search that failed or was broken off found nothing to keep: the
        // same words again are a new search, not the one already shown.
        if (code == search_end::kServerError || code == search_end::kAborted) currentKeywords_.clear();
    }
    platform::Notifier().Post(window, platform::RegisterMessage(wmname::kSearchEnd), static_cast<uintptr_t>(code), 0);
}

void CSearchData::SetStatusText(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    statusText_ = text;
}

std::string CSearchData::GetStatusText() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return statusText_;
}

std::string CSearchData::GetCurrentKeywords() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return currentKeywords_;
}

std::string CSearchData::GetPendingKeywords() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pendingKeywords_;
}

}  // namespace Views
