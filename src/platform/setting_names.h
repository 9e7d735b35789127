// Names of the values under the program's settings key, and their defaults.
// Every reader uses these constants; a value name is spelled only here.
#pragma once

#include <cstdint>

namespace setting {

// Folders and identity
inline constexpr char kDataFolder[] = "Data Folder";
inline constexpr char kTempHtmlFolder[] = "Temp Html Folder";
inline constexpr char kDownloadFolder[] = "Varnel Download Folder";
inline constexpr char kSoundFile[] = "Sound File";
inline constexpr char kMachineName[] = "Machine Name";
inline constexpr char kMachineId[] = "Machine ID";
inline constexpr char kScanId[] = "Scan ID";
inline constexpr char kExcludeDeviceClasses[] = "Exclude Device Classes";
inline constexpr char kFirstRun[] = "First Run";

// Schedule, tray and notifications
inline constexpr char kCheckForUpdates[] = "Check for Updates";
inline constexpr char kCustomInterval[] = "Custom Interval";
inline constexpr char kScanOnStartup[] = "Scan on Startup";
inline constexpr char kLastScanTime[] = "Last Scan Time";
inline constexpr char kShowTaskbarIcon[] = "Show Taskbar Icon";
inline constexpr char kPulseIcon[] = "Pulse Icon";
inline constexpr char kSound[] = "Sound";
inline constexpr char kReportProductMsg[] = "Report Product Msg";
inline constexpr char kTrackApplicationUsage[] = "Track Application Usage";
inline constexpr char kIncludeSysInfo[] = "Include Sys Info";

// Window and views
inline constexpr char kWindowRectTop[] = "Window Rect Top";
inline constexpr char kWindowRectLeft[] = "Window Rect Left";
inline constexpr char kWindowRectHeight[] = "Window Rect Height";
inline constexpr char kWindowRectWidth[] = "Window Rect Width";
inline constexpr char kWindowStyle[] = "Window Style";
inline constexpr char kWindowExtendedStyle[] = "Window Extended Style";
inline constexpr char kPreviewPaneCx[] = "Preview Pane cx";
inline constexpr char kPreviewPaneCy[] = "Preview Pane cy";
inline constexpr char kProDefaultViewId[] = "Pro Default View ID";
inline constexpr char kViewToolbar[] = "View Toolbar";
inline constexpr char kViewUntrackedSoftwareItems[] = "View Untracked Software Items";
inline constexpr char kViewUntrackedDriverItems[] = "View Untracked Driver Items";
inline constexpr char kLastSortOrder[] = "Last Sort Order";
inline constexpr char kDriverLastSortOrder[] = "Driver Last Sort Order";
inline constexpr char kHistoryLastSortOrder[] = "History Last Sort Order";
inline constexpr char kDailyLastSortOrder[] = "Daily Last Sort Order";
inline constexpr char kSearchLastSortOrder[] = "Search Last Sort Order";
// Column widths: "%s %d" of one of these and the column index.
inline constexpr char kSoftwareViewColumnWidth[] = "Software View Column Width";
inline constexpr char kDriverViewColumnWidth[] = "Driver View Column Width";
inline constexpr char kDailyViewColumnWidth[] = "Daily View Column Width";
inline constexpr char kSearchViewColumnWidth[] = "Search View Column Width";
inline constexpr char kHistoryViewColumnWidth[] = "History View Column Width";
inline constexpr char kLastActivePage[] = "Last Active Page";

// Watch-list scan
inline constexpr char kScanDesktop[] = "WatchList Scan Desktop";
inline constexpr char kScanDevices[] = "WatchList Scan Devices";
inline constexpr char kScanOpenApps[] = "WatchList Scan Open Apps";
inline constexpr char kScanRecentApps[] = "WatchList Scan Recent Apps";
inline constexpr char kScanStartMenu[] = "WatchList Scan Start Menu";
inline constexpr char kScanRegistry[] = "WatchList Scan Registry";
inline constexpr char kScanAllMySoftware[] = "WatchList Scan All My Software";
inline constexpr char kScanSlowAllMySoftware[] = "WatchList Scan Slow All My Software";
inline constexpr char kScanSoftwareIUse[] = "WatchList Scan Software I Use";
inline constexpr char kScanOnlyItemsIAdd[] = "WatchList Scan Only Items I Add";

// Service endpoints and service-issued values
inline constexpr char kXmlServerName[] = "XMLServerName";
inline constexpr char kXmlUrlName[] = "XMLUrlName";
inline constexpr char kUseSsl[] = "Use SSL";
inline constexpr char kClientLinkUrl[] = "ClientLink URL";
inline constexpr char kIpapiLinkUrl[] = "IpapiLink URL";
inline constexpr char kMoreInfoServer[] = "More Info Server";
inline constexpr char kHomePageUrl[] = "HomePage URL";
inline constexpr char kHelpPageUrl[] = "HelpPage URL";
inline constexpr char kAccountStatusUrl[] = "AccountStatus URL";
inline constexpr char kSubmitFeedbackUrl[] = "Submit Feedback URL";
inline constexpr char kOnlineFaqsUrl[] = "Online FAQs URL";
inline constexpr char kWelcomeUrl[] = "Welcome URL";
inline constexpr char kClientUpdateUrl[] = "ClientUpdate URL";
inline constexpr char kClientUpdateVersion[] = "ClientUpdate Version";
inline constexpr char kAutoupdateMode[] = "Autoupdate Mode";
inline constexpr char kForceExclusionList[] = "Force Exclusion List";
inline constexpr char kSkipExclusionList[] = "Skip Exclusion List";
inline constexpr char kProductMenuCacheTime[] = "Product Menu Cache Time";
inline constexpr char kIpapiTimeOut[] = "IPAPI TimeOut";
inline constexpr char kIpapiDelay[] = "IPAPI Delay";

// Downloads and diagnostics
inline constexpr char kDownloadRetries[] = "Download Retries";
inline constexpr char kGenerateLogFile[] = "Generate Log File";

}  // namespace setting
