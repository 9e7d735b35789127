#include "app/settings_sheet.h"

#include <commctrl.h>
#include <prsht.h>
#include <shellapi.h>
#include <shlobj.h>

#include <type_traits>
#include <vector>

#include "appcore/commands.h"
#include "appcore/preferences_file.h"
#include "appcore/settings_pages.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/log.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/string_table.h"
#include "platform/win/com.h"
#include "platform/win/modeless.h"
#include "platform/win/own_windows.h"
#include "platform/win/wide.h"
#include "resource.h"
#include "sysinfo/profile.h"

namespace app {
namespace {

constexpr int kCaptionTextId = 159;
constexpr int kTitleTextId = 57344;
constexpr char kFaultwick[] = "Faultwick.exe";
constexpr const char* kFrequencies[] = {"Manual", "Every 4 Hours", "Daily", "Weekly", "Monthly"};

HWND g_sheet = nullptr;  // the one sheet (user-interface thread only)
WNDPROC g_sheetProc = nullptr;

platform::Settings& Settings() { return platform::AppSettings(); }

bool Checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }
void Check(HWND page, int id, bool on) { CheckDlgButton(page, id, on ? BST_CHECKED : BST_UNCHECKED); }
void Changed(HWND page, bool modified) {
    const HWND sheet = GetParent(page);
    if (modified) PropSheet_Changed(sheet, page);
    else PropSheet_UnChanged(sheet, page);
}

std::string ProgramFile() { return platform::ProgramPath(); }

std::string ProgramFolder() {
    std::string path = ProgramFile();
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string StartupShortcut(int folderId) {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, folderId, nullptr, SHGFP_TYPE_CURRENT, folder))) return std::string();
    return platform::AnsiPath(folder) + "\\" + appcore::StartupShortcutName(platform::LoadText(kTitleTextId));
}

bool FileExists(const std::string& path) {
    return !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CreateShortcut(const std::string& shortcut, const std::string& target) {
    platform::ComInit com;
    platform::ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(link.GetAddressOf()))))
        return false;
    link->SetPath(target.c_str());
    link->SetArguments("");
    platform::ComPtr<IPersistFile> file;
    if (FAILED(link.As(&file))) return false;
    return SUCCEEDED(file->Save(platform::Widen(shortcut).c_str(), TRUE));
}

// ------------------------------------------------------------------ General
struct COptionsPane {
    static appcore::GeneralPageState Stored() {
        appcore::GeneralPageState s;
        s.frequency = Settings().ReadNumber(setting::kCheckForUpdates, setting::kCheckForUpdatesDefault);
        s.startupItem =
            FileExists(CVarnelDlg::UserStartupShortcut()) || FileExists(CVarnelDlg::CommonStartupShortcut());
        s.scanOnStartup = Settings().ReadNumber(setting::kScanOnStartup, setting::kScanOnStartupDefault) != 0;
        return s;
    }
    static appcore::GeneralPageState Shown(HWND page) {
        appcore::GeneralPageState s;
        const LRESULT index = SendDlgItemMessageA(page, IDC_FREQUENCY, CB_GETCURSEL, 0, 0);
        s.frequency = index < 0 ? 0 : static_cast<uint32_t>(index);
        s.startupItem = Checked(page, IDC_STARTUP_ITEM);
        s.scanOnStartup = Checked(page, IDC_SCAN_ON_START_YES);
        return s;
    }
    static void Init(HWND page) {
        for (const char* text : kFrequencies)
            SendDlgItemMessageA(page, IDC_FREQUENCY, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        const appcore::GeneralPageState s = Stored();
        // Index 5 (a custom interval) is not offered: the combo shows none.
        SendDlgItemMessageA(page, IDC_FREQUENCY, CB_SETCURSEL, s.frequency < 5 ? s.frequency : static_cast<WPARAM>(-1),
                            0);
        Check(page, IDC_STARTUP_ITEM, s.startupItem);
        Check(page, s.scanOnStartup ? IDC_SCAN_ON_START_YES : IDC_SCAN_ON_START_NO, true);
        Check(page, IDC_TRACK_USAGE,
              Settings().ReadFlag(setting::kTrackApplicationUsage, setting::kTrackApplicationUsageDefault));
        Check(page, IDC_INCLUDE_SYSINFO,
              Settings().ReadFlag(setting::kIncludeSysInfo, setting::kIncludeSysInfoDefault));
        Check(page, IDC_ANIMATE_ICON, Settings().ReadFlag(setting::kPulseIcon, setting::kPulseIconDefault));
    }
    static void Command(HWND page, int id, int code) {
        if (id == IDC_TRACK_USAGE && code == BN_CLICKED) {
            const bool on = Checked(page, IDC_TRACK_USAGE);
            Settings().WriteFlag(setting::kTrackApplicationUsage, on);
            CVarnelDlg::Callbacks().runProgram(ProgramFolder() + "\\" + kFaultwick, on ? "/on" : "/off");
        } else if (id == IDC_INCLUDE_SYSINFO && code == BN_CLICKED) {
            Settings().WriteFlag(setting::kIncludeSysInfo, Checked(page, IDC_INCLUDE_SYSINFO));
        } else if (id == IDC_ANIMATE_ICON && code == BN_CLICKED) {
            // The box shows "Pulse Icon", which the tray reads after each
            // check: a change the box did not keep would be lost unseen.
            Settings().WriteFlag(setting::kPulseIcon, Checked(page, IDC_ANIMATE_ICON));
        } else if ((id == IDC_FREQUENCY && code == CBN_SELCHANGE) ||
                   ((id == IDC_STARTUP_ITEM || id == IDC_SCAN_ON_START_YES || id == IDC_SCAN_ON_START_NO) &&
                    code == BN_CLICKED)) {
            Changed(page, !(Shown(page) == Stored()));
        }
    }
    static void Apply(HWND page) {
        const appcore::GeneralPageState shown = Shown(page);
        const appcore::GeneralPageState stored = Stored();
        if (SendDlgItemMessageA(page, IDC_FREQUENCY, CB_GETCURSEL, 0, 0) >= 0 && shown.frequency != stored.frequency) {
            Settings().WriteNumber(setting::kCheckForUpdates, shown.frequency);
            if (CVarnelDlg::Callbacks().frequencyChanged) CVarnelDlg::Callbacks().frequencyChanged(shown.frequency);
            if (CVarnelDlg::Callbacks().registerAgain) CVarnelDlg::Callbacks().registerAgain();
        }
        if (!shown.startupItem) {
            DeleteFileA(CVarnelDlg::UserStartupShortcut().c_str());
            DeleteFileA(CVarnelDlg::CommonStartupShortcut().c_str());
        } else if (!stored.startupItem) {
            const std::string shortcut = CVarnelDlg::UserStartupShortcut();
            if (!CreateShortcut(shortcut, ProgramFile())) vnlog::Write("Could not create the shortcut " + shortcut);
        }
        Settings().WriteNumber(setting::kScanOnStartup, shown.scanOnStartup ? 1 : 0);
    }
};

// ------------------------------------------------------- Automatic Update
struct CAutoUpdate {
    static int Shown(HWND page) {
        for (int i = 0; i < 3; ++i)
            if (Checked(page, IDC_AU_AUTOMATIC + i)) return i;
        return 0;
    }
    static uint32_t Stored() {
        return Settings().ReadNumber(setting::kAutoupdateMode, setting::kAutoupdateModeDefault);
    }
    static void Init(HWND page) {
        CheckRadioButton(page, IDC_AU_AUTOMATIC, IDC_AU_MANUAL,
                         IDC_AU_AUTOMATIC + appcore::AutoUpdateButtonForMode(Stored()));
    }
    static void Command(HWND page, int id, int code) {
        if (id >= IDC_AU_AUTOMATIC && id <= IDC_AU_MANUAL && code == BN_CLICKED)
            Changed(page, Shown(page) != appcore::AutoUpdateButtonForMode(Stored()));
    }
    static void Apply(HWND page) {
        Settings().WriteNumber(setting::kAutoupdateMode, appcore::AutoUpdateModeForButton(Shown(page)));
    }
};

// ------------------------------------------------------------ System Info
struct CSystemInfoPane {
    static void Init(HWND page) {
        sysinfo::VN_Profile profile;
        const sysinfo::VN_ProfileMfg mfg = profile.Mfg();
        const std::string values[] = {mfg.manufacturer,
                                      mfg.model,
                                      mfg.osName,
                                      profile.GetOsVersion(),
                                      profile.GetProcessorType(),
                                      profile.GetProcessorInfo(),
                                      profile.GetProcessorCount(),
                                      profile.GetPhysicalMemory(),
                                      profile.GetDisplay(),
                                      profile.GetWindowsFolder()};
        for (int i = 0; i < 10; ++i) {
            // The document's form starts the clock value with ", " when no
            // level and revision precede it; the page shows it without.
            std::string value = values[i];
            if (value.rfind(", ", 0) == 0) value.erase(0, 2);
            SetDlgItemTextA(page, IDC_SI_FIRST + i, value.c_str());
        }
    }
    static void Command(HWND, int, int) {}
    static void Apply(HWND) {}
};

// ------------------------------------------------------------- Watch list
struct WatchFlag {
    const char* name;
    bool def;
};
constexpr WatchFlag kWatchFlags[] = {
    {setting::kScanDesktop, setting::kScanDesktopDefaultInDialog},
    {setting::kScanStartMenu, setting::kScanStartMenuDefaultInDialog},
    {setting::kScanRecentApps, setting::kScanRecentAppsDefaultInDialog},
    {setting::kScanOpenApps, setting::kScanOpenAppsDefaultInDialog},
    {setting::kScanDevices, setting::kScanDevicesDefaultInDialog},
    {setting::kScanRegistry, setting::kScanRegistryDefaultInDialog},
    {setting::kScanAllMySoftware, setting::kScanAllMySoftwareDefaultInDialog},
    {setting::kScanSlowAllMySoftware, setting::kScanSlowAllMySoftwareDefaultInDialog},
    {setting::kScanSoftwareIUse, setting::kScanSoftwareIUseDefaultInDialog},
    {setting::kScanOnlyItemsIAdd, setting::kScanOnlyItemsIAddDefault},
};
struct CWatchListPane {
    static void Init(HWND page) {
        for (int i = 0; i < 10; ++i)
            Check(page, IDC_WL_FIRST + i, Settings().ReadFlag(kWatchFlags[i].name, kWatchFlags[i].def));
    }
    static void Command(HWND page, int id, int code) {
        if (id < IDC_WL_FIRST || id >= IDC_WL_FIRST + 10 || code != BN_CLICKED) return;
        bool modified = false;
        for (int i = 0; i < 10; ++i)
            modified |= Checked(page, IDC_WL_FIRST + i) != Settings().ReadFlag(kWatchFlags[i].name, kWatchFlags[i].def);
        Changed(page, modified);
    }
    static void Apply(HWND page) {
        for (int i = 0; i < 10; ++i) Settings().WriteFlag(kWatchFlags[i].name, Checked(page, IDC_WL_FIRST + i));
    }
};

// --------------------------------------------------------------- Download
struct CDownloadOptions {
    static std::string Folder(HWND page) {
        char text[MAX_PATH] = {};
        GetDlgItemTextA(page, IDC_DL_FOLDER, text, MAX_PATH);
        return text;
    }
    static uint32_t Retries(HWND page) {
        char text[8] = {};
        GetDlgItemTextA(page, IDC_DL_RETRIES, text, sizeof text);
        return appcore::ParseRetries(text);
    }
    static uint32_t StoredRetries() {
        return Settings().ReadNumber(setting::kDownloadRetries, setting::kDownloadRetriesDefault);
    }
    static void Init(HWND page) {
        SetDlgItemTextA(page, IDC_DL_FOLDER, platform::DownloadFolder().c_str());
        SendDlgItemMessageA(page, IDC_DL_RETRIES, EM_LIMITTEXT, 1, 0);
        SendDlgItemMessageA(page, IDC_DL_SPIN, UDM_SETRANGE32, 1, 9);
        const uint32_t retries = StoredRetries();
        SendDlgItemMessageA(page, IDC_DL_SPIN, UDM_SETPOS32, 0, retries >= 1 && retries <= 9 ? retries : 1);
    }
    static void Browse(HWND page) {
        char chosen[MAX_PATH] = {};
        BROWSEINFOA info{};
        info.hwndOwner = GetParent(page);
        info.pszDisplayName = chosen;
        info.lpszTitle = "Browse for Download Destination Folder:";
        info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
        platform::ComInit com;
        if (LPITEMIDLIST list = SHBrowseForFolderA(&info)) {
            if (SHGetPathFromIDListA(list, chosen)) SetDlgItemTextA(page, IDC_DL_FOLDER, chosen);
            CoTaskMemFree(list);
        }
    }
    static void Command(HWND page, int id, int code) {
        if (id == IDC_DL_BROWSE && code == BN_CLICKED) Browse(page);
        if ((id == IDC_DL_FOLDER || id == IDC_DL_RETRIES) && code == EN_CHANGE)
            Changed(page, appcore::DownloadPageModified(Folder(page), Retries(page), platform::DownloadFolder(),
                                                        StoredRetries()));
    }
    // A retry field without a count 1-9 keeps the page open.
    static bool Validate(HWND page) {
        if (Retries(page) != 0) return true;
        MessageBoxA(GetParent(page), "Maximum Retries must be a number from 1 to 9.", platform::LoadText(161).c_str(),
                    MB_OK | MB_ICONWARNING);
        return false;
    }
    static void Apply(HWND page) {
        Settings().WriteText(setting::kDownloadFolder, Folder(page));
        Settings().WriteNumber(setting::kDownloadRetries, Retries(page));
    }
};

template <class Page>
INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        switch (message) {
            case WM_INITDIALOG: Page::Init(page); return TRUE;
            case WM_COMMAND: Page::Command(page, LOWORD(wParam), HIWORD(wParam)); return TRUE;
            case WM_NOTIFY: {
                const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
                if (header->code == PSN_APPLY) {
                    Page::Apply(page);
                    SetWindowLongPtrA(page, DWLP_MSGRESULT, PSNRET_NOERROR);
                    return TRUE;
                }
                if (header->code == PSN_KILLACTIVE) {
                    bool invalid = false;
                    if constexpr (std::is_same_v<Page, CDownloadOptions>) invalid = !CDownloadOptions::Validate(page);
                    SetWindowLongPtrA(page, DWLP_MSGRESULT, invalid);
                    return TRUE;
                }
                return FALSE;
            }
            default: return FALSE;
        }
    } catch (...) {
        vnlog::Warning("CVarnelDlg page", true);
        return FALSE;
    }
}

LRESULT CALLBACK SheetProc(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SYSCOMMAND) {
        const int index = PropSheet_HwndToIndex(sheet, PropSheet_GetCurrentPageHwnd(sheet));
        if (index >= 0) Settings().WriteNumber(setting::kLastActivePage, static_cast<uint32_t>(index));
    } else if (message == WM_NCDESTROY) {
        platform::UnregisterModeless(sheet);
        if (g_sheet == sheet) g_sheet = nullptr;
        const WNDPROC previous = g_sheetProc;
        if (!appcore::WritePreferencesFile(Settings(), platform::DataFolder()))
            vnlog::Write("Could not write the preference file");
        return CallWindowProcA(previous, sheet, message, wParam, lParam);
    }
    return CallWindowProcA(g_sheetProc, sheet, message, wParam, lParam);
}

int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM) {
    if (message == PSCB_INITIALIZED) {
        // No context help in the title bar; Help is hidden by the sheet's flags.
        SetWindowLongA(sheet, GWL_EXSTYLE, GetWindowLongA(sheet, GWL_EXSTYLE) & ~WS_EX_CONTEXTHELP);
        platform::ShowOnTaskbar(sheet, GetModuleHandleA(nullptr), IDR_MAINFRAME);
        g_sheetProc =
            reinterpret_cast<WNDPROC>(SetWindowLongPtrA(sheet, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SheetProc)));
    }
    return 0;
}

template <class Page>
PROPSHEETPAGEA MakePage(HINSTANCE instance, int dialogId) {
    PROPSHEETPAGEA page{};
    page.dwSize = sizeof page;
    page.hInstance = instance;
    page.pszTemplate = MAKEINTRESOURCEA(dialogId);
    page.pfnDlgProc = &PageProc<Page>;
    return page;
}

}  // namespace

CVarnelDlg::Hooks& CVarnelDlg::Callbacks() {
    static Hooks hooks{{}, {}, [](const std::string& program, const std::string& argument) {
                           ShellExecuteA(nullptr, "open", program.c_str(), argument.c_str(), nullptr, SW_SHOWNORMAL);
                       }};
    return hooks;
}

std::string CVarnelDlg::UserStartupShortcut() { return StartupShortcut(CSIDL_STARTUP); }
std::string CVarnelDlg::CommonStartupShortcut() { return StartupShortcut(CSIDL_COMMON_STARTUP); }

HWND CVarnelDlg::Window() { return g_sheet; }

void CVarnelDlg::Close() {
    if (g_sheet) DestroyWindow(g_sheet);
}

void CVarnelDlg::Show(HINSTANCE instance, HWND owner, bool interactive) {
    if (g_sheet) {
        ShowWindow(g_sheet, SW_SHOWNORMAL);
        SetForegroundWindow(g_sheet);
        return;
    }
    std::vector<PROPSHEETPAGEA> pages = {MakePage<COptionsPane>(instance, IDD_GENERAL),
                                         MakePage<CAutoUpdate>(instance, IDD_AUTO_UPDATE)};
    if (interactive) {
        pages.push_back(MakePage<CSystemInfoPane>(instance, IDD_SYSINFO));
        pages.push_back(MakePage<CWatchListPane>(instance, IDD_WATCH_PAGE));
        pages.push_back(MakePage<CDownloadOptions>(instance, IDD_DOWNLOAD_PAGE));
    }
    const std::string caption = platform::LoadText(kCaptionTextId);
    PROPSHEETHEADERA header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_MODELESS | PSH_USECALLBACK | PSH_USEICONID | PSH_NOCONTEXTHELP;
    header.hwndParent = owner;
    header.hInstance = instance;
    header.pszIcon = MAKEINTRESOURCEA(IDR_MAINFRAME);
    header.pszCaption = caption.c_str();
    header.nPages = static_cast<UINT>(pages.size());
    header.nStartPage = static_cast<UINT>(
        appcore::SettingsStartPage(Settings().ReadNumber(setting::kLastActivePage, setting::kLastActivePageDefault)));
    if (header.nStartPage >= header.nPages) header.nStartPage = 0;
    header.ppsp = pages.data();
    header.pfnCallback = &SheetCallback;
    const INT_PTR sheet = PropertySheetA(&header);
    if (sheet <= 0) {
        vnlog::Write("Could not open the settings sheet");
        return;
    }
    g_sheet = reinterpret_cast<HWND>(sheet);
    platform::RegisterModeless(g_sheet, platform::ModelessKind::Sheet);
    SetForegroundWindow(g_sheet);
}

}  // namespace app
