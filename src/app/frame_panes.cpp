#include "app/frame_panes.h"

#include <commctrl.h>
#include <richedit.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "appcore/page_text.h"
#include "inventory/guid_item.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/win/own_windows.h"
#include "platform/win/wide.h"
#include "views/preview_page.h"

namespace app {
namespace {

constexpr char kTaskPaneClass[] = "VarnelTaskPane";
constexpr int kMargin = 10;

HFONT MessageFont(bool bold) {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return nullptr;
    if (bold) metrics.lfMessageFont.lfWeight = FW_BOLD;
    return CreateFontIndirectA(&metrics.lfMessageFont);
}

// Rich edit breaks lines at "\r".
std::wstring RichText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) out += c == '\n' ? '\r' : c;
    return platform::Widen(out);
}

}  // namespace

// ---------------------------------------------------------------- task pane

CTaskPane::~CTaskPane() {
    if (window_ && IsWindow(window_)) DestroyWindow(window_);
    if (font_) DeleteObject(font_);
    if (bold_) DeleteObject(bold_);
}

bool CTaskPane::Create(HINSTANCE instance, HWND parent) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExA(instance, kTaskPaneClass, &wc)) {
        wc = WNDCLASSEXA{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = Proc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = kTaskPaneClass;
        if (!RegisterClassExA(&wc)) return false;
    }
    font_ = MessageFont(false);
    bold_ = MessageFont(true);
    window_ = CreateWindowExA(WS_EX_CLIENTEDGE, kTaskPaneClass, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent, nullptr,
                              instance, this);
    return window_ != nullptr;
}

void CTaskPane::SetCounters(const viewmodel::ListCounters& software, const viewmodel::ListCounters& drivers) {
    software_ = software;
    drivers_ = drivers;
    if (!window_) return;
    // The pane draws its text itself; screen readers read it as the
    // window's text.
    std::string spoken = Text();
    for (size_t at = spoken.find('\n'); at != std::string::npos; at = spoken.find('\n', at))
        spoken.replace(at, 1, ". ");
    SetWindowTextA(window_, spoken.c_str());
    InvalidateRect(window_, nullptr, TRUE);
}

std::string CTaskPane::Text() const {
    return "Installed Software\n" + viewmodel::CountersText(software_) + "\nInstalled Drivers\n" +
           viewmodel::CountersText(drivers_);
}

void CTaskPane::Paint(HDC dc) const {
    RECT client{};
    GetClientRect(window_, &client);
    SetBkMode(dc, TRANSPARENT);
    int y = kMargin;
    const auto line = [&](const std::string& text, HFONT font, COLORREF color) {
        HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
        SetTextColor(dc, color);
        RECT row{kMargin, y, client.right - kMargin / 2, client.bottom};
        const int height = DrawTextA(dc, text.c_str(), -1, &row, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(dc, old);
        y += height + 2;
    };
    const COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
    const COLORREF warn = platform::WarningColour(RGB(192, 0, 0));
    const auto block = [&](const char* title, const viewmodel::ListCounters& counters) {
        line(title, bold_, text);
        line(std::to_string(counters.all) + (counters.all == 1 ? " item" : " items"), font_, text);
        line(std::to_string(counters.outOfDate) + " out of date", font_, counters.outOfDate > 0 ? warn : text);
        y += kMargin;
    };
    block("Installed Software", software_);
    block("Installed Drivers", drivers_);
}

LRESULT CALLBACK CTaskPane::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CTaskPane*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<CTaskPane*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (self && message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        self->Paint(dc);
        EndPaint(window, &paint);
        return 0;
    }
    if (self && message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// ---------------------------------------------------------------- page fetch

struct CPageFetch::Job {
    std::string productId;
    std::atomic<bool> stop{false};
    std::atomic<bool> done{false};
    std::thread thread;
};

unsigned CPageFetch::Start(const std::string& productId, HWND window, UINT message) {
    if (Busy()) return 0;
    if (job_ && job_->thread.joinable()) job_->thread.join();  // done: it ends at once
    auto job = std::make_shared<Job>();
    job->productId = productId;
    const unsigned number = ++started_;
    // The thread holds its job; the window may be gone when it posts.
    job->thread = std::thread([job, window, message, number] {
        bool made = false;
        try {
            made = Views::FindPreviewInfo(job->productId, true, &job->stop);
        } catch (const std::exception& e) {
            vnlog::Write("*** The product page of " + job->productId + " could not be made", e);
        }
        job->done = true;
        if (!job->stop) PostMessageA(window, message, made ? 1 : 0, static_cast<LPARAM>(number));
    });
    job_ = std::move(job);
    return number;
}

bool CPageFetch::Busy() const { return job_ && !job_->done; }

void CPageFetch::Stop(int waitMs) {
    if (!job_) return;
    job_->stop = true;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (!job_->done && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (job_->thread.joinable()) {
        if (job_->done) {
            job_->thread.join();
        } else {
            vnlog::Write("The product page fetch of " + job_->productId +
                         " is still waiting for the service; left to end");
            job_->thread.detach();
        }
    }
    job_.reset();
}

// ---------------------------------------------------------------- preview pane

CPreviewPane::~CPreviewPane() {
    fetch_.Stop(CPageFetch::kStopWaitMs);
    if (window_ && IsWindow(window_)) RemoveWindowSubclass(window_, SubclassProc, 0);
}

bool CPreviewPane::Create(HINSTANCE instance, HWND parent) {
    static HMODULE richEdit = LoadLibraryA("msftedit.dll");
    (void)richEdit;
    window_ = CreateWindowExW(WS_EX_CLIENTEDGE, MSFTEDIT_CLASS, L"",
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0, 0, 0,
                              0, parent, nullptr, instance, nullptr);
    if (!window_) return false;
    // The fetch's end notice comes to the control; the pane takes it there.
    SetWindowSubclass(window_, SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this));
    // wParam 1: the background is the system's window colour as it is now,
    // also after the user changes colours (the text follows them too).
    SendMessageW(window_, EM_SETBKGNDCOLOR, 1, 0);
    SendMessageW(window_, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(8, 8));
    // The text in the system's message font, not the control's default.
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        CHARFORMAT2W format{};
        format.cbSize = sizeof format;
        format.dwMask = CFM_BOLD | CFM_FACE | CFM_SIZE | CFM_CHARSET;
        format.dwEffects = 0;
        format.bCharSet = metrics.lfMessageFont.lfCharSet;
        format.yHeight = 9 * 20;  // twips
        lstrcpynW(format.szFaceName, metrics.lfMessageFont.lfFaceName, LF_FACESIZE);
        SendMessageW(window_, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
        SendMessageW(window_, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    }
    Render();
    return true;
}

void CPreviewPane::ShowItem(const VN_ItemGrandBase* item) {
    Select(item);
    ShowSelected();
}

void CPreviewPane::Select(const VN_ItemGrandBase* item) {
    const auto* base = dynamic_cast<const VN_ItemBase*>(item);
    selected_ = base != nullptr;
    name_.clear();
    productId_.clear();
    details_.clear();
    if (base) {
        name_ = base->GetDisplayName(false);
        productId_ = base->GetProductId();
        if (const auto* updated = dynamic_cast<const VN_UpdatedItem*>(base)) {
            if (!updated->myVersion.empty()) details_ += "Installed version: " + updated->myVersion + "\n";
            if (!updated->currentVers.empty()) details_ += "Current version: " + updated->currentVers + "\n";
            if (updated->IsUpdateCandidate()) details_ += "An update is available.\n";
            else if (updated->skipped) details_ += "The current version is skipped.\n";
        }
        if (productId_.empty()) details_ += "This item is not in the update catalogue.\n";
    }
}

void CPreviewPane::ShowSelected() {
    // Selected again: a page that could not be fetched is tried once more.
    if (productId_ == failedId_) failedId_.clear();
    FetchIfMissing();
    Render();
}

void CPreviewPane::FetchIfMissing() {
    // A catalogue item's page is fetched once, one fetch at a time; an item
    // selected meanwhile has its turn when that fetch ends.
    if (productId_.empty() || productId_ == failedId_ || !window_ || fetch_.Busy()) return;
    if (platform::FileExists(Views::PreviewPagePath(productId_))) return;
    if (const unsigned number = fetch_.Start(productId_, window_, kFetchEnded)) {
        fetchNumber_ = number;
        fetchId_ = productId_;
    }
}

void CPreviewPane::OnFetchEnded(bool succeeded, unsigned number) {
    if (!succeeded && number == fetchNumber_ && !fetchId_.empty()) failedId_ = fetchId_;
    FetchIfMissing();
    Render();
}

void CPreviewPane::OnPageCreated() { Render(); }

LRESULT CALLBACK CPreviewPane::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR data) {
    if (message == kFetchEnded) {
        reinterpret_cast<CPreviewPane*>(data)->OnFetchEnded(wParam != 0, static_cast<unsigned>(lParam));
        return 0;
    }
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, SubclassProc, 0);
        reinterpret_cast<CPreviewPane*>(data)->window_ = nullptr;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

void CPreviewPane::Render() {
    if (!window_) return;
    std::string body;
    if (!selected_) {
        body = "Select an item in the list to see its details here.";
    } else {
        body = details_;
        if (!productId_.empty()) {
            const std::optional<std::string> page = platform::ReadWholeFile(Views::PreviewPagePath(productId_));
            if (page) body += "\n" + appcore::PageText(*page);
            else if (productId_ == failedId_) body += "\nThe product page could not be fetched.";
            else body += "\nLoading the product page...";
        }
    }
    const std::string heading = selected_ ? name_ : std::string("Preview");
    SetWindowTextW(window_, RichText(heading + "\n" + body).c_str());
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_BOLD | CFM_SIZE;
    format.yHeight = 9 * 20;  // twips
    SendMessageW(window_, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
    // Room at the sides (as paragraph indents: not every rich edit honours
    // the control's margins).
    PARAFORMAT2 paragraph{};
    paragraph.cbSize = sizeof paragraph;
    paragraph.dwMask = PFM_STARTINDENT | PFM_RIGHTINDENT;
    paragraph.dxStartIndent = 120;  // twips: 8 pixels at 96 dpi
    paragraph.dxRightIndent = 120;
    SendMessageW(window_, EM_SETSEL, 0, -1);
    SendMessageW(window_, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&paragraph));
    // The heading in bold, a little larger.
    format.dwEffects = CFE_BOLD;
    format.yHeight = 12 * 20;
    SendMessageW(window_, EM_SETSEL, 0, static_cast<LPARAM>(platform::Widen(heading).size()));
    SendMessageW(window_, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    SendMessageW(window_, EM_SETSEL, 0, 0);
}

std::string CPreviewPane::Text() const {
    if (!window_) return std::string();
    const int length = GetWindowTextLengthW(window_);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(window_, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    return platform::Narrow(text);
}

}  // namespace app
