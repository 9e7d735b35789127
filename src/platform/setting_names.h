// Names of the values under the program's settings key, with their types and
// defaults. Every reader uses these constants; a value name and its default are
// spelled only here. Numbers and flags are REG_DWORD (flags 0 or 1), texts
// REG_SZ. A default named ...Default is the one every reader uses; values whose
// readers disagree carry both defaults under names that say which reader uses
// which. Texts whose default is a string-table entry have a ...DefaultId.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace setting {

// Folders and identity
inline constexpr char kDataFolder[] = "Data Folder";
inline constexpr char kTempHtmlFolder[] = "Temp Html Folder";
inline constexpr char kDownloadFolder[] = "Varnel Download Folder";
inline constexpr char kSoundFile[] = "Sound File";
inline constexpr char kSoundFileDefault[] = "Notify.wav";
inline constexpr char kMachineName[] = "Machine Name";
inline constexpr char kMachineId[] = "Machine ID";
inline constexpr char kScanId[] = "Scan ID";
inline constexpr char kExcludeDeviceClasses[] = "Exclude Device Classes";
inline constexpr char kFirstRun[] = "First Run";
inline constexpr bool kFirstRunDefault = true;

// Schedule, tray and notifications
inline constexpr char kCheckForUpdates[] = "Check for Updates";
inline constexpr uint32_t kCheckForUpdatesDefault = 2;  // frequency index 0-5
inline constexpr char kCustomInterval[] = "Custom Interval";
inline constexpr uint32_t kCustomIntervalDefault = 0;  // seconds, for index 5
inline constexpr char kScanOnStartup[] = "Scan on Startup";
inline constexpr uint32_t kScanOnStartupDefault = 1;  // read as a number and as a flag
inline constexpr char kLastScanTime[] = "Last Scan Time";
inline constexpr uint32_t kLastScanTimeDefault = 0;  // seconds since 1970, low 32 bits
inline constexpr char kShowTaskbarIcon[] = "Show Taskbar Icon";
inline constexpr bool kShowTaskbarIconDefault = true;
inline constexpr char kPulseIcon[] = "Pulse Icon";
inline constexpr bool kPulseIconDefault = false;            // when notifying
inline constexpr bool kPulseIconDefaultInPrefsFile = true;   // the preference-file export
inline constexpr char kSound[] = "Sound";
inline constexpr bool kSoundDefault = false;
inline constexpr char kReportProductMsg[] = "Report Product Msg";
inline constexpr bool kReportProductMsgDefault = true;
inline constexpr char kTrackApplicationUsage[] = "Track Application Usage";
inline constexpr bool kTrackApplicationUsageDefault = true;
inline constexpr char kIncludeSysInfo[] = "Include Sys Info";
inline constexpr bool kIncludeSysInfoDefault = true;

// Window and views
inline constexpr char kWindowRectTop[] = "Window Rect Top";
inline constexpr char kWindowRectLeft[] = "Window Rect Left";
inline constexpr char kWindowRectHeight[] = "Window Rect Height";
inline constexpr char kWindowRectWidth[] = "Window Rect Width";
inline constexpr char kWindowStyle[] = "Window Style";
inline constexpr char kWindowExtendedStyle[] = "Window Extended Style";
inline constexpr char kPreviewPaneCx[] = "Preview Pane cx";
inline constexpr char kPreviewPaneCy[] = "Preview Pane cy";
inline constexpr uint32_t kPreviewPaneCxDefault = 800;
inline constexpr uint32_t kPreviewPaneCyDefault = 400;
inline constexpr char kProDefaultViewId[] = "Pro Default View ID";
inline constexpr uint32_t kProDefaultViewIdDefault = 32869;
inline constexpr char kViewToolbar[] = "View Toolbar";
inline constexpr bool kViewToolbarDefault = true;
inline constexpr char kViewUntrackedSoftwareItems[] = "View Untracked Software Items";
inline constexpr char kViewUntrackedDriverItems[] = "View Untracked Driver Items";
inline constexpr bool kViewUntrackedItemsDefault = false;  // both views
inline constexpr char kLastSortOrder[] = "Last Sort Order";
inline constexpr char kDriverLastSortOrder[] = "Driver Last Sort Order";
inline constexpr char kHistoryLastSortOrder[] = "History Last Sort Order";
inline constexpr char kDailyLastSortOrder[] = "Daily Last Sort Order";
inline constexpr char kSearchLastSortOrder[] = "Search Last Sort Order";
inline constexpr uint32_t kLastSortOrderDefault = 1;        // software, driver, history
inline constexpr uint32_t kDailySearchSortOrderDefault = 0;  // daily, search
// Column widths: "%s %d" of one of these and the column index.
inline constexpr char kSoftwareViewColumnWidth[] = "Software View Column Width";
inline constexpr char kDriverViewColumnWidth[] = "Driver View Column Width";
inline constexpr char kDailyViewColumnWidth[] = "Daily View Column Width";
inline constexpr char kSearchViewColumnWidth[] = "Search View Column Width";
inline constexpr char kHistoryViewColumnWidth[] = "History View Column Width";
// The value name of one column's width: "<width name> <index>".
std::string ColumnWidthName(const char* widthName, int column);
// Default widths by column index.
inline constexpr uint32_t kSoftwareColumnWidths[] = {300, 200, 200};
inline constexpr uint32_t kDriverColumnWidths[] = {90, 300, 100, 100};
inline constexpr uint32_t kDailyColumnWidths[] = {250, 120, 100, 120, 100, 100};
inline constexpr uint32_t kSearchColumnWidths[] = {250, 120, 100, 120, 100, 100};
inline constexpr uint32_t kHistoryColumnWidths[] = {150, 250, 100, 250};
inline constexpr char kLastActivePage[] = "Last Active Page";
inline constexpr uint32_t kLastActivePageDefault = 0;

// Watch-list scan: the watch list's settings dialog reads some of these with
// other defaults than the scanners do (...DefaultInDialog).
inline constexpr char kScanDesktop[] = "WatchList Scan Desktop";
inline constexpr bool kScanDesktopDefaultInDialog = true;
inline constexpr bool kScanDesktopDefault = true;
inline constexpr char kScanDevices[] = "WatchList Scan Devices";
inline constexpr bool kScanDevicesDefaultInDialog = true;
inline constexpr bool kScanDevicesDefault = true;
inline constexpr char kScanOpenApps[] = "WatchList Scan Open Apps";
inline constexpr bool kScanOpenAppsDefaultInDialog = false;
inline constexpr bool kScanOpenAppsDefault = true;
inline constexpr char kScanRecentApps[] = "WatchList Scan Recent Apps";
inline constexpr bool kScanRecentAppsDefaultInDialog = true;
inline constexpr bool kScanRecentAppsDefault = true;
inline constexpr char kScanStartMenu[] = "WatchList Scan Start Menu";
inline constexpr bool kScanStartMenuDefaultInDialog = true;
inline constexpr bool kScanStartMenuDefault = true;
inline constexpr char kScanRegistry[] = "WatchList Scan Registry";
inline constexpr bool kScanRegistryDefaultInDialog = true;
inline constexpr bool kScanRegistryDefault = true;
inline constexpr char kScanAllMySoftware[] = "WatchList Scan All My Software";
inline constexpr bool kScanAllMySoftwareDefaultInDialog = true;
inline constexpr bool kScanAllMySoftwareDefault = true;
inline constexpr char kScanSlowAllMySoftware[] = "WatchList Scan Slow All My Software";
inline constexpr bool kScanSlowAllMySoftwareDefaultInDialog = false;
inline constexpr bool kScanSlowAllMySoftwareDefault = true;
inline constexpr char kScanSoftwareIUse[] = "WatchList Scan Software I Use";
inline constexpr bool kScanSoftwareIUseDefaultInDialog = false;
inline constexpr bool kScanSoftwareIUseDefault = true;
inline constexpr char kScanOnlyItemsIAdd[] = "WatchList Scan Only Items I Add";
inline constexpr bool kScanOnlyItemsIAddDefault = false;  // read by the settings dialog only

// Service endpoints and service-issued values
inline constexpr char kXmlServerName[] = "XMLServerName";
inline constexpr int kXmlServerNameDefaultId = 328;
inline constexpr char kXmlUrlName[] = "XMLUrlName";
inline constexpr int kXmlUrlNameDefaultId = 334;
inline constexpr char kUseSsl[] = "Use SSL";
inline constexpr bool kUseSslDefault = true;
inline constexpr char kClientLinkUrl[] = "ClientLink URL";
inline constexpr int kClientLinkUrlDefaultId = 145;  // "EMPTY"
inline constexpr char kIpapiLinkUrl[] = "IpapiLink URL";
inline constexpr int kIpapiLinkUrlDefaultId = 144;
inline constexpr char kMoreInfoServer[] = "More Info Server";
inline constexpr char kHomePageUrl[] = "HomePage URL";
inline constexpr int kHomePageUrlDefaultId = 321;
inline constexpr char kHelpPageUrl[] = "HelpPage URL";
inline constexpr int kHelpPageUrlDefaultId = 123;
inline constexpr char kAccountStatusUrl[] = "AccountStatus URL";
inline constexpr int kAccountStatusUrlDefaultId = 122;
inline constexpr char kSubmitFeedbackUrl[] = "Submit Feedback URL";
inline constexpr int kSubmitFeedbackUrlDefaultId = 136;
inline constexpr char kOnlineFaqsUrl[] = "Online FAQs URL";
inline constexpr int kOnlineFaqsUrlDefaultId = 156;
inline constexpr char kWelcomeUrl[] = "Welcome URL";
inline constexpr char kClientUpdateUrl[] = "ClientUpdate URL";
inline constexpr char kClientUpdateVersion[] = "ClientUpdate Version";
inline constexpr char kAutoupdateMode[] = "Autoupdate Mode";
inline constexpr uint32_t kAutoupdateModeDefault = 1;  // 1 automatic, 2 notify, 0 manual
inline constexpr char kForceExclusionList[] = "Force Exclusion List";
inline constexpr char kSkipExclusionList[] = "Skip Exclusion List";
inline constexpr uint32_t kExclusionListModeDefault = 0;  // both values
inline constexpr char kProductMenuCacheTime[] = "Product Menu Cache Time";
inline constexpr uint32_t kProductMenuCacheTimeDefault = 30;  // seconds
inline constexpr char kIpapiTimeOut[] = "IPAPI TimeOut";
inline constexpr uint32_t kIpapiTimeOutDefault = 2000;  // milliseconds
inline constexpr char kIpapiDelay[] = "IPAPI Delay";
inline constexpr uint32_t kIpapiDelayDefault = 0;  // milliseconds
// The catalogue's XML-RPC endpoint (search, product pages, item reports):
// plain HTTP to this host and port, path "/product/RPC2". Set them to point
// the agent at another catalogue, such as the reference service on loopback.
inline constexpr char kCatalogueHost[] = "Catalogue Host";
inline constexpr char kCatalogueHostDefault[] = "catalog.zelto.example";
inline constexpr char kCataloguePort[] = "Catalogue Port";
inline constexpr uint32_t kCataloguePortDefault = 80;
// The today's-updates feed, read after each check; its path ends in
// "/varnel/recent.php".
inline constexpr char kDailyUpdatesUrl[] = "Daily Updates URL";
inline constexpr char kDailyUpdatesUrlDefault[] = "http://catalog.zelto.example/varnel/recent.php";

// Downloads and diagnostics
inline constexpr char kDownloadRetries[] = "Download Retries";
inline constexpr uint32_t kDownloadRetriesDefault = 1;
inline constexpr char kGenerateLogFile[] = "Generate Log File";
inline constexpr bool kGenerateLogFileDefault = false;

// ---------------------------------------------------------------- the table
// Every value of the settings key, with its type and the default its readers
// use (for the watch-list scan flags, the scanners' default). Column widths,
// whose names are formed, are listed above instead.
enum class Kind {
    Number,    // REG_DWORD
    Flag,      // REG_DWORD 0/1, true only when exactly 1
    Text,      // REG_SZ, default `text` (or string-table entry `textId` when non-zero)
    Computed,  // the default is worked out when read (folders, computer name, window placement)
};

struct Definition {
    const char* name;
    Kind kind;
    uint32_t number;   // Number and Flag defaults
    const char* text;  // Text default when textId is 0
    int textId;        // Text default from the string table
};

inline constexpr Definition kDefinitions[] = {
    {kDataFolder, Kind::Computed, 0, "", 0},
    {kTempHtmlFolder, Kind::Computed, 0, "", 0},
    {kDownloadFolder, Kind::Computed, 0, "", 0},
    {kSoundFile, Kind::Text, 0, kSoundFileDefault, 0},
    {kMachineName, Kind::Computed, 0, "", 0},
    {kMachineId, Kind::Text, 0, "", 0},
    {kScanId, Kind::Text, 0, "", 0},
    {kExcludeDeviceClasses, Kind::Text, 0, "", 0},
    {kFirstRun, Kind::Flag, kFirstRunDefault, "", 0},
    {kCheckForUpdates, Kind::Number, kCheckForUpdatesDefault, "", 0},
    {kCustomInterval, Kind::Number, kCustomIntervalDefault, "", 0},
    {kScanOnStartup, Kind::Number, kScanOnStartupDefault, "", 0},
    {kLastScanTime, Kind::Number, kLastScanTimeDefault, "", 0},
    {kShowTaskbarIcon, Kind::Flag, kShowTaskbarIconDefault, "", 0},
    {kPulseIcon, Kind::Flag, kPulseIconDefault, "", 0},
    {kSound, Kind::Flag, kSoundDefault, "", 0},
    {kReportProductMsg, Kind::Flag, kReportProductMsgDefault, "", 0},
    {kTrackApplicationUsage, Kind::Flag, kTrackApplicationUsageDefault, "", 0},
    {kIncludeSysInfo, Kind::Flag, kIncludeSysInfoDefault, "", 0},
    {kWindowRectTop, Kind::Computed, 0, "", 0},
    {kWindowRectLeft, Kind::Computed, 0, "", 0},
    {kWindowRectHeight, Kind::Computed, 0, "", 0},
    {kWindowRectWidth, Kind::Computed, 0, "", 0},
    {kWindowStyle, Kind::Computed, 0, "", 0},
    {kWindowExtendedStyle, Kind::Computed, 0, "", 0},
    {kPreviewPaneCx, Kind::Number, kPreviewPaneCxDefault, "", 0},
    {kPreviewPaneCy, Kind::Number, kPreviewPaneCyDefault, "", 0},
    {kProDefaultViewId, Kind::Number, kProDefaultViewIdDefault, "", 0},
    {kViewToolbar, Kind::Flag, kViewToolbarDefault, "", 0},
    {kViewUntrackedSoftwareItems, Kind::Flag, kViewUntrackedItemsDefault, "", 0},
    {kViewUntrackedDriverItems, Kind::Flag, kViewUntrackedItemsDefault, "", 0},
    {kLastSortOrder, Kind::Number, kLastSortOrderDefault, "", 0},
    {kDriverLastSortOrder, Kind::Number, kLastSortOrderDefault, "", 0},
    {kHistoryLastSortOrder, Kind::Number, kLastSortOrderDefault, "", 0},
    {kDailyLastSortOrder, Kind::Number, kDailySearchSortOrderDefault, "", 0},
    {kSearchLastSortOrder, Kind::Number, kDailySearchSortOrderDefault, "", 0},
    {kLastActivePage, Kind::Number, kLastActivePageDefault, "", 0},
    {kScanDesktop, Kind::Flag, kScanDesktopDefault, "", 0},
    {kScanDevices, Kind::Flag, kScanDevicesDefault, "", 0},
    {kScanOpenApps, Kind::Flag, kScanOpenAppsDefault, "", 0},
    {kScanRecentApps, Kind::Flag, kScanRecentAppsDefault, "", 0},
    {kScanStartMenu, Kind::Flag, kScanStartMenuDefault, "", 0},
    {kScanRegistry, Kind::Flag, kScanRegistryDefault, "", 0},
    {kScanAllMySoftware, Kind::Flag, kScanAllMySoftwareDefault, "", 0},
    {kScanSlowAllMySoftware, Kind::Flag, kScanSlowAllMySoftwareDefault, "", 0},
    {kScanSoftwareIUse, Kind::Flag, kScanSoftwareIUseDefault, "", 0},
    {kScanOnlyItemsIAdd, Kind::Flag, kScanOnlyItemsIAddDefault, "", 0},
    {kXmlServerName, Kind::Text, 0, "", kXmlServerNameDefaultId},
    {kXmlUrlName, Kind::Text, 0, "", kXmlUrlNameDefaultId},
    {kUseSsl, Kind::Flag, kUseSslDefault, "", 0},
    {kClientLinkUrl, Kind::Text, 0, "", kClientLinkUrlDefaultId},
    {kIpapiLinkUrl, Kind::Text, 0, "", kIpapiLinkUrlDefaultId},
    {kMoreInfoServer, Kind::Text, 0, "", 0},
    {kHomePageUrl, Kind::Text, 0, "", kHomePageUrlDefaultId},
    {kHelpPageUrl, Kind::Text, 0, "", kHelpPageUrlDefaultId},
    {kAccountStatusUrl, Kind::Text, 0, "", kAccountStatusUrlDefaultId},
    {kSubmitFeedbackUrl, Kind::Text, 0, "", kSubmitFeedbackUrlDefaultId},
    {kOnlineFaqsUrl, Kind::Text, 0, "", kOnlineFaqsUrlDefaultId},
    {kWelcomeUrl, Kind::Text, 0, "", 0},
    {kClientUpdateUrl, Kind::Text, 0, "", 0},
    {kClientUpdateVersion, Kind::Text, 0, "", 0},
    {kAutoupdateMode, Kind::Number, kAutoupdateModeDefault, "", 0},
    {kForceExclusionList, Kind::Number, kExclusionListModeDefault, "", 0},
    {kSkipExclusionList, Kind::Number, kExclusionListModeDefault, "", 0},
    {kProductMenuCacheTime, Kind::Number, kProductMenuCacheTimeDefault, "", 0},
    {kIpapiTimeOut, Kind::Number, kIpapiTimeOutDefault, "", 0},
    {kIpapiDelay, Kind::Number, kIpapiDelayDefault, "", 0},
    {kCatalogueHost, Kind::Text, 0, kCatalogueHostDefault, 0},
    {kCataloguePort, Kind::Number, kCataloguePortDefault, "", 0},
    {kDailyUpdatesUrl, Kind::Text, 0, kDailyUpdatesUrlDefault, 0},
    {kDownloadRetries, Kind::Number, kDownloadRetriesDefault, "", 0},
    {kGenerateLogFile, Kind::Flag, kGenerateLogFileDefault, "", 0},
};

}  // namespace setting
