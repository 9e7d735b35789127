#include "viewmodel/list_rows.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "dlmgr/history_item.h"
#include "inventory/daily_item.h"
#include "inventory/driver_item.h"
#include "inventory/guid_item.h"
#include "inventory/list_base.h"
#include "inventory/scan_time.h"
#include "inventory/search_item.h"
#include "inventory/watch_item.h"
#include "platform/setting_names.h"
#include "platform/string_table.h"
#include "platform/text.h"
#include "platform/timestamp.h"
#include "resource.h"
#include "viewmodel/download_action.h"
#include "viewmodel/report_action.h"

namespace viewmodel {

namespace {

constexpr uint32_t kMaxColumnWidth = 4000;

std::vector<Column> CatalogueColumns() {
    return {{0, "Name", 250, false},         {0, "Current Version", 120, false}, {0, "Rating", 100, false},
            {0, "License Type", 120, false}, {0, "Downloads", 100, false},       {0, "Date", 100, false}};
}

const std::vector<ViewDefinition>& Definitions() {
    static const std::vector<ViewDefinition> definitions = {
        {ViewKind::Software,
         ID_VIEW_SOFTWARE,
         setting::kSoftwareViewColumnWidth,
         setting::kLastSortOrder,
         setting::kLastSortOrderDefault,
         setting::kViewUntrackedSoftwareItems,
         {{108, "Name", 300, false}, {109, "My Version", 200, false}, {110, "Current Version", 200, false}}},
        {ViewKind::Drivers,
         ID_VIEW_DRIVERS,
         setting::kDriverViewColumnWidth,
         setting::kDriverLastSortOrder,
         setting::kLastSortOrderDefault,
         setting::kViewUntrackedDriverItems,
         {{0, "Class", 90, false},
          {0, "Name", 300, false},
          {0, "Out of Date", 100, true},
          {0, "Up to Date", 100, true}}},
        {ViewKind::Daily, ID_VIEW_DAILY, setting::kDailyViewColumnWidth, setting::kDailyLastSortOrder,
         setting::kDailySearchSortOrderDefault, nullptr, CatalogueColumns()},
        // The download history keeps no column widths.
        {ViewKind::History,
         ID_VIEW_HISTORY,
         nullptr,
         setting::kHistoryLastSortOrder,
         setting::kLastSortOrderDefault,
         nullptr,
         {{0, "Status", 150, false}, {0, "Name", 250, false}, {0, "Date", 100, false}, {0, "File", 250, false}}},
        {ViewKind::Search, ID_VIEW_SEARCH, setting::kSearchViewColumnWidth, setting::kSearchLastSortOrder,
         setting::kDailySearchSortOrderDefault, nullptr, CatalogueColumns()},
    };
    return definitions;
}

// Texts compared without regard to ASCII case, runs of digits by their value,
// so that "2.10" follows "2.9" and "Item 10" follows "Item 9".
int NaturalCompare(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const unsigned char ca = static_cast<unsigned char>(a[i]);
        const unsigned char cb = static_cast<unsigned char>(b[j]);
        if (std::isdigit(ca) && std::isdigit(cb)) {
            size_t ei = i, ej = j;
            while (ei < a.size() && a[ei] == '0') ++ei;
            while (ej < b.size() && b[ej] == '0') ++ej;
            size_t si = ei, sj = ej;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei]))) ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej]))) ++ej;
            if (ei - si != ej - sj) return ei - si < ej - sj ? -1 : 1;
            const int c = a.compare(si, ei - si, b, sj, ej - sj);
            if (c != 0) return c;
            i = ei;
            j = ej;
            continue;
        }
        const char la = textutil::ToLowerAscii(static_cast<char>(ca));
        const char lb = textutil::ToLowerAscii(static_cast<char>(cb));
        if (la != lb) return static_cast<unsigned char>(la) < static_cast<unsigned char>(lb) ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

// "YYYY-MM-DD" of seconds since 1970 in the machine's time zone, the day
// the user saw it happen (the UTC date where the zone cannot be applied);
// empty for 0.
std::string DateText(int64_t seconds) {
    if (seconds <= 0) return {};
    const std::optional<inventory::CalendarTime> local = inventory::LocalCalendarTime(seconds);
    if (!local) return vnxml::UtcDateText(seconds);
    return textutil::Format("%04d-%02d-%02d", local->year, local->month, local->day);
}

const VN_UpdatedItem* AsUpdated(const VN_ItemGrandBase& item) { return dynamic_cast<const VN_UpdatedItem*>(&item); }

// The catalogue entry behind a today's-updates or search row; nullptr for
// other items and for a row without one.
const vnxml::CXMLItemBase* CatalogueEntry(const VN_ItemGrandBase& item) {
    if (const auto* daily = dynamic_cast<const VN_DailyItem*>(&item)) return daily->catalogItem.get();
    if (const auto* search = dynamic_cast<const VN_SearchItem*>(&item)) return search->catalogItem.get();
    return nullptr;
}

}  // namespace

bool RowHasUpdate(const VN_ItemGrandBase& item) {
    const VN_UpdatedItem* updated = AsUpdated(item);
    return updated != nullptr && updated->outdated && !updated->skipped;
}

const ViewDefinition& Definition(ViewKind kind) {
    for (const ViewDefinition& definition : Definitions())
        if (definition.kind == kind) return definition;
    return Definitions().front();
}

bool ViewForCommand(unsigned id, ViewKind& kind) {
    for (const ViewDefinition& definition : Definitions()) {
        if (definition.commandId == id) {
            kind = definition.kind;
            return true;
        }
    }
    return false;
}

std::string ColumnTitle(const Column& column) {
    if (column.titleId != 0) {
        std::string text = platform::LoadText(column.titleId);
        if (!text.empty()) return text;
    }
    return column.title;
}

std::vector<int> ReadColumnWidths(const platform::Settings& settings, ViewKind kind) {
    const ViewDefinition& definition = Definition(kind);
    std::vector<int> widths;
    for (size_t i = 0; i < definition.columns.size(); ++i) {
        uint32_t width = definition.columns[i].width;
        if (definition.widthName != nullptr) {
            const uint32_t stored =
                settings.ReadNumber(setting::ColumnWidthName(definition.widthName, static_cast<int>(i)), width);
            if (stored > 0 && stored <= kMaxColumnWidth) width = stored;
        }
        widths.push_back(static_cast<int>(width));
    }
    return widths;
}

void StoreColumnWidths(platform::Settings& settings, ViewKind kind, const std::vector<int>& widths) {
    const ViewDefinition& definition = Definition(kind);
    if (definition.widthName == nullptr) return;
    for (size_t i = 0; i < widths.size() && i < definition.columns.size(); ++i) {
        if (widths[i] <= 0) continue;
        settings.WriteNumber(setting::ColumnWidthName(definition.widthName, static_cast<int>(i)),
                             static_cast<uint32_t>(widths[i]));
    }
}

bool ValidSortOrder(ViewKind kind, int order) {
    if (kind == ViewKind::Software) return order >= 0 && order <= 7;
    return order >= 0 && order < static_cast<int>(Definition(kind).columns.size()) * 2;
}

int ReadSortOrder(const platform::Settings& settings, ViewKind kind) {
    const ViewDefinition& definition = Definition(kind);
    const uint32_t stored = settings.ReadNumber(definition.sortSetting, definition.sortDefault);
    const int order = stored > 1000 ? -1 : static_cast<int>(stored);
    return ValidSortOrder(kind, order) ? order : static_cast<int>(definition.sortDefault);
}

SortOrder DecodeSortOrder(ViewKind kind, int order) {
    if (!ValidSortOrder(kind, order)) order = static_cast<int>(Definition(kind).sortDefault);
    SortOrder sort;
    sort.ascending = (order % 2) == 1;
    sort.column = order / 2;
    if (kind == ViewKind::Software && sort.column == 3) {
        sort.byUpdateState = true;
        sort.column = 0;
    }
    return sort;
}

int SortOrderForColumnClick(ViewKind kind, int current, int column) {
    const SortOrder now = DecodeSortOrder(kind, current);
    if (!now.byUpdateState && now.column == column) return column * 2 + (now.ascending ? 0 : 1);
    return column * 2 + 1;
}

bool ReadShowUntracked(const platform::Settings& settings, ViewKind kind) {
    const char* name = Definition(kind).untrackedSetting;
    return name != nullptr && settings.ReadFlag(name, setting::kViewUntrackedItemsDefault);
}

bool RowShown(ViewKind kind, const VN_ItemGrandBase& item, bool showUntracked) {
    if (item.removed != item_state::kPresent) return false;
    switch (kind) {
        case ViewKind::Software: {
            const auto* watch = dynamic_cast<const VN_WatchItem*>(&item);
            return watch != nullptr && (showUntracked || watch->IsTracked(false));
        }
        case ViewKind::Drivers: {
            const auto* driver = dynamic_cast<const VN_DriverItem*>(&item);
            return driver != nullptr && (showUntracked || driver->IsTracked(false));
        }
        case ViewKind::Daily: return dynamic_cast<const VN_DailyItem*>(&item) != nullptr;
        case ViewKind::History: return dynamic_cast<const dlmgr::CHistoryItem*>(&item) != nullptr;
        case ViewKind::Search: return dynamic_cast<const VN_SearchItem*>(&item) != nullptr;
    }
    return false;
}

std::vector<std::string> RowTexts(ViewKind kind, const VN_ItemGrandBase& item) {
    std::vector<std::string> texts(Definition(kind).columns.size());
    switch (kind) {
        case ViewKind::Software:
            if (const auto* watch = dynamic_cast<const VN_WatchItem*>(&item)) {
                texts[0] = watch->GetDisplayName(true);
                texts[1] = watch->GetInstalledVersion();
                if (texts[1].empty()) texts[1] = watch->installedVers;
                texts[2] = watch->GetCurrentVers();
            }
            break;
        case ViewKind::Drivers:
            if (const auto* driver = dynamic_cast<const VN_DriverItem*>(&item)) {
                texts[0] = driver->deviceClass;
                texts[1] = driver->GetDisplayName(false);
                const bool hasUpdate = driver->outdated && !driver->skipped;
                const bool current = !driver->currentVers.empty() && !driver->outdated;
                texts[2] = hasUpdate ? "X" : "";
                texts[3] = current ? "X" : "";
            }
            break;
        case ViewKind::Daily:
            if (const auto* daily = dynamic_cast<const VN_DailyItem*>(&item); daily && daily->catalogItem) {
                const vnxml::CXMLDailyItem& c = *daily->catalogItem;
                texts = {c.name,
                         c.version,
                         c.versionRating.empty() ? c.productRating : c.versionRating,
                         c.licenseType,
                         c.versionDownloads.empty() ? c.productDownloads : c.versionDownloads,
                         c.releaseDate};
            }
            break;
        case ViewKind::History:
            if (const auto* history = dynamic_cast<const dlmgr::CHistoryItem*>(&item)) {
                texts = {dlmgr::CHistoryItem::StateText(history->State), history->Name, DateText(history->Started),
                         history->Destination};
            }
            break;
        case ViewKind::Search:
            if (const auto* search = dynamic_cast<const VN_SearchItem*>(&item); search && search->catalogItem) {
                const vnxml::CXMLSearchItem& c = *search->catalogItem;
                texts = {c.name, c.version, c.rating, c.licenseType, c.clickCount, c.releaseDate};
            }
            break;
    }
    return texts;
}

std::vector<VN_ItemGrandBase*> BuildRows(ViewKind kind, const VN_ListBase& list, bool showUntracked, int sortOrder) {
    struct Row {
        VN_ItemGrandBase* item;
        std::vector<std::string> texts;
        bool update;
    };
    std::vector<Row> rows;
    for (VN_ItemGrandBase* item : list.Snapshot()) {
        if (item == nullptr || !RowShown(kind, *item, showUntracked)) continue;
        rows.push_back({item, RowTexts(kind, *item), RowHasUpdate(*item)});
    }
    const SortOrder sort = DecodeSortOrder(kind, sortOrder);
    std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
        int c = 0;
        if (sort.byUpdateState && a.update != b.update) c = a.update ? -1 : 1;
        if (c == 0)
            c = NaturalCompare(a.texts[static_cast<size_t>(sort.column)], b.texts[static_cast<size_t>(sort.column)]);
        return sort.ascending ? c < 0 : c > 0;
    });
    std::vector<VN_ItemGrandBase*> items;
    items.reserve(rows.size());
    for (const Row& row : rows) items.push_back(row.item);
    return items;
}

std::string EmptyListText(ViewKind kind, bool listHoldsItems) {
    switch (kind) {
        case ViewKind::Software:
            return listHoldsItems ? "No trackable items were found. Go to the View Menu and select untracked items to "
                                    "view all software, suites and components."
                                  : "Watch List may have been reset, or you may have upgraded Varnel. Click the "
                                    "\x91"
                                    "Check Updates\x92 button.";
        case ViewKind::Drivers:
            return listHoldsItems ? "No trackable items were found.  Go to the View Menu and select untracked items to "
                                    "view all drivers."
                                  : "Drivers List may have been reset. Click the \x91"
                                    "Check Updates\x92 button.";
        case ViewKind::Daily: return "Download the latest new software list by checking for updates.";
        case ViewKind::History:
        case ViewKind::Search: break;
    }
    return std::string();
}

std::string ProductPage(const VN_ItemGrandBase& item) {
    if (const VN_UpdatedItem* updated = AsUpdated(item)) return updated->productUrl;
    return std::string();
}

std::string TargetPath(const VN_ItemGrandBase& item) {
    if (const auto* watch = dynamic_cast<const VN_WatchItem*>(&item)) return watch->targetName;
    if (const auto* download = dynamic_cast<const dlmgr::CHistoryItem*>(&item)) return download->Destination;
    return std::string();
}

ActionUi ListActionState(ViewKind kind, int action, const ActionContext& context) {
    ActionUi ui;
    const VN_ItemGrandBase* selected = context.selected;
    const VN_UpdatedItem* updated = selected ? AsUpdated(*selected) : nullptr;
    const bool software = kind == ViewKind::Software;
    const bool softwareOrDrivers = software || kind == ViewKind::Drivers;
    switch (action) {
        case kUntrackedItems:
            ui.enabled = softwareOrDrivers;
            ui.checked = softwareOrDrivers && context.showUntracked;
            break;
        case kReadMore: ui.enabled = softwareOrDrivers && selected && !ProductPage(*selected).empty(); break;
        case kDownload: ui.enabled = DownloadEnabled(kind, selected); break;
        case kSkipVersion: ui.enabled = softwareOrDrivers && updated && updated->outdated && !updated->skipped; break;
        case kUnskipVersion: ui.enabled = softwareOrDrivers && updated && updated->skipped; break;
        case kFindTarget:
            ui.enabled = (software || kind == ViewKind::History) && selected && !TargetPath(*selected).empty();
            break;
        case kRemoveFromWatchList: ui.enabled = software && updated != nullptr; break;
        case kProperties: ui.enabled = selected != nullptr; break;
        case kAddToWatchList: ui.enabled = AddToWatchListMode(kind, selected) != AddMode::None; break;
        case kUninstall:
            // One uninstaller at a time: the command waits for the one running.
            ui.enabled = software && selected && !context.uninstallRunning && !UninstallCommand(*selected).empty();
            break;
        case kReset:
            // The reset deletes items: never while a scan is using them.
            ui.enabled = software && context.listHoldsItems && !context.workerRunning;
            break;
        case kReportItem:
            // The report is written into the item: never while a scan is using it.
            ui.enabled = ReportActionEnabled(kind, selected) && !context.workerRunning;
            break;
        default: break;
    }
    return ui;
}

AddMode AddToWatchListMode(ViewKind kind, const VN_ItemGrandBase* selected) {
    if (kind != ViewKind::Software) return AddMode::None;
    const auto* watch = dynamic_cast<const VN_WatchItem*>(selected);
    return watch && !watch->userAdded ? AddMode::SelectedItem : AddMode::PickFile;
}

std::string UninstallCommand(const VN_ItemGrandBase& item) {
    const auto* watch = dynamic_cast<const VN_WatchItem*>(&item);
    return watch ? textutil::Trim(watch->uninstallString) : std::string();
}

std::vector<std::pair<std::string, std::string>> ItemProperties(ViewKind kind, const VN_ItemGrandBase& item) {
    std::vector<std::pair<std::string, std::string>> lines;
    auto add = [&lines](const char* label, const std::string& value) {
        if (!value.empty()) lines.emplace_back(label, value);
    };
    const std::vector<std::string> texts = RowTexts(kind, item);
    const ViewDefinition& definition = Definition(kind);
    // The row's own columns first, as the list shows them (the driver view's
    // two state marks are said in words below).
    for (size_t i = 0; i < texts.size() && i < definition.columns.size(); ++i) {
        if (kind == ViewKind::Drivers && i >= 2) break;
        add(definition.columns[i].title, texts[i]);
    }
    if (const VN_UpdatedItem* updated = AsUpdated(item)) {
        std::string state;
        if (updated->skipped) state = "Update skipped";
        else if (updated->outdated) state = "Update available";
        else if (!updated->GetCurrentVers().empty()) state = "Up to date";
        else state = "Not known to the update service";
        add("Status", state);
    }
    if (const auto* watch = dynamic_cast<const VN_WatchItem*>(&item)) {
        add("Publisher", watch->packageName);
        add("Description", watch->fileDesc);
        add("Program", watch->targetName);
        add("Uninstall command", watch->uninstallString);
        add("Registry key", watch->keyName);
        add("Product code", watch->productGuid);
        add("Product page", watch->productUrl);
        add("Added by", watch->userAdded ? "you" : "the scan");
    } else if (const auto* driver = dynamic_cast<const VN_DriverItem*>(&item)) {
        add("Device", driver->deviceDesc);
        add("Provider", driver->driverProvider);
        add("Driver version", driver->driverVersion);
        add("Driver date", driver->driverDate);
        add("Driver file", driver->files);
        add("Hardware ID", driver->matchingDeviceId);
        add("Product page", driver->productUrl);
    } else if (const vnxml::CXMLItemBase* entry = CatalogueEntry(item)) {
        add("Category", entry->category);
        add("Platform", entry->osCompatibility);
        add("About", entry->shortDescription);
    } else if (const auto* history = dynamic_cast<const dlmgr::CHistoryItem*>(&item)) {
        add("Address", history->Url);
        add("Message", history->Message);
    }
    return lines;
}

std::string ItemPropertiesText(ViewKind kind, const VN_ItemGrandBase& item) {
    std::string text;
    for (const auto& [label, value] : ItemProperties(kind, item)) text += label + ":\t" + value + "\r\n";
    return text;
}

int UninstallInsertPosition(int reportPosition, int uninstallPosition) {
    if (reportPosition < 0 || reportPosition >= 20 || uninstallPosition >= 0) return -1;
    return reportPosition;
}

bool ApplyItemAction(int action, VN_ItemGrandBase& item) {
    auto* updated = dynamic_cast<VN_UpdatedItem*>(&item);
    if (!updated) return false;
    switch (action) {
        case kSkipVersion:
            if (updated->skipped) return false;
            updated->skipped = true;
            return true;
        case kUnskipVersion:
            if (!updated->skipped) return false;
            updated->skipped = false;
            return true;
        case kRemoveFromWatchList:
            if (item.removed == item_state::kRemovedByUser) return false;
            item.removed = item_state::kRemovedByUser;
            return true;
        default: return false;
    }
}

std::string FindTargetCommand(const std::string& path) { return "explorer /select, \"" + path + "\""; }

}  // namespace viewmodel
