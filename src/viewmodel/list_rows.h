// The rows of the main window's item lists, as decisions a list control only
// displays: each view's columns and default widths, where its column widths,
// sort order and untracked-items flag are kept, which items of its list it
// shows, the texts of a row, the order of the rows and the text shown when
// there are none. The Windows views (src/views) carry them out.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "inventory/catalog_item.h"
#include "inventory/item_base.h"
#include "platform/settings.h"

class VN_ListBase;

namespace viewmodel {

enum class ViewKind { Software, Drivers, Daily, History, Search };

struct Column {
    int titleId;        // string-table entry of the title, or 0
    const char* title;  // the title when there is no string-table entry
    uint32_t width;     // default width in pixels
    bool centred;
};

struct ViewDefinition {
    ViewKind kind;
    unsigned commandId;            // the view command, also its "Pro Default View ID" key
    const char* widthName;         // "%s %d" with the column index names one width
    const char* sortSetting;       // the stored sort order
    uint32_t sortDefault;          // used when none is stored or the stored one is out of range
    const char* untrackedSetting;  // nullptr for views that show every item
    std::vector<Column> columns;
};

const ViewDefinition& Definition(ViewKind kind);
// The view of a view command (32863, 32869-32872); false for any other id.
bool ViewForCommand(unsigned id, ViewKind& kind);

std::string ColumnTitle(const Column& column);

// The widths as stored, each falling back to its default when absent or
// unusable (0, or wider than 4000 pixels).
std::vector<int> ReadColumnWidths(const platform::Settings& settings, ViewKind kind);
void StoreColumnWidths(platform::Settings& settings, ViewKind kind, const std::vector<int>& widths);

// A sort order names a column and a direction: order / 2 is the column,
// an odd order sorts ascending, an even one descending. The software view
// keeps the stored range 0-7, where 6 and 7 sort by update state (items with
// an update first when ascending), then by name.
struct SortOrder {
    int column = 0;
    bool ascending = true;
    bool byUpdateState = false;
};
// The stored sort order as used: absent or out of range gives the view's default.
int ReadSortOrder(const platform::Settings& settings, ViewKind kind);
bool ValidSortOrder(ViewKind kind, int order);
SortOrder DecodeSortOrder(ViewKind kind, int order);
// The order a click on a column header gives: the same column flips its
// direction, another column starts ascending.
int SortOrderForColumnClick(ViewKind kind, int current, int column);

bool ReadShowUntracked(const platform::Settings& settings, ViewKind kind);

// Whether the view shows the item: never a removed or gone one; in the
// software and driver views only tracked items unless untracked items are
// shown, and then every item (the views are flat lists: the items' own
// tracked test in that mode answers for a tree's expanded groups, and would
// leave a flat list with nothing but suites); only items of the view's own
// kind.
bool RowShown(ViewKind kind, const VN_ItemGrandBase& item, bool showUntracked);
// The row stands out: the item has an update the user did not skip.
bool RowHasUpdate(const VN_ItemGrandBase& item);
// The texts of the item's row, one per column.
std::vector<std::string> RowTexts(ViewKind kind, const VN_ItemGrandBase& item);
// The rows of `list` the view shows, in the given sort order.
std::vector<VN_ItemGrandBase*> BuildRows(ViewKind kind, const VN_ListBase& list, bool showUntracked, int sortOrder);

// The text drawn in an empty list area: the reset text when the list holds
// no items at all, the untracked-items text when it holds items but none is
// shown; empty when the view has none.
std::string EmptyListText(ViewKind kind, bool listHoldsItems);

// The command line of "Find Target": a shell window with the file selected.
std::string FindTargetCommand(const std::string& path);

// The list actions, in the order of the command table.
enum ListAction {
    kUntrackedItems,
    kReportItem,
    kDownload,
    kSkipVersion,
    kUnskipVersion,
    kReadMore,
    kFindTarget,
    kProperties,
    kAddToWatchList,
    kRemoveFromWatchList,
    kUninstall,
    kReset,
};

struct ActionUi {
    bool enabled = false;
    bool checked = false;
};

// What the enabling of a list action depends on besides the view.
struct ActionContext {
    const VN_ItemGrandBase* selected = nullptr;  // the selected row's item, or null
    bool showUntracked = false;
    bool listHoldsItems = false;    // the view's list holds any item at all
    bool workerRunning = false;     // a scan or check is running over the lists
    bool uninstallRunning = false;  // an uninstaller started from a view has not ended
};

// Whether a list action can run in the view, and whether it is check-marked.
// Actions this build does not carry out answer disabled.
ActionUi ListActionState(ViewKind kind, int action, const ActionContext& context);
inline ActionUi ListActionState(ViewKind kind, int action, const VN_ItemGrandBase* selected, bool showUntracked) {
    ActionContext context;
    context.selected = selected;
    context.showUntracked = showUntracked;
    return ListActionState(kind, action, context);
}

// What "Add to my Watch List" does in the view: nothing (the catalogue views
// have no add of their own yet), make the selected program the user's own
// (an untracked program the user wants to follow), or ask for a program file
// (the add-application dialog).
enum class AddMode { None, SelectedItem, PickFile };
AddMode AddToWatchListMode(ViewKind kind, const VN_ItemGrandBase* selected);

// The item's uninstall command as it is run: trimmed; empty when there is none.
std::string UninstallCommand(const VN_ItemGrandBase& item);

// The "Properties" of an item: label and value pairs, values never empty.
std::vector<std::pair<std::string, std::string>> ItemProperties(ViewKind kind, const VN_ItemGrandBase& item);
// The same as one text, a "label:\tvalue" line each, lines ended by "\r\n".
std::string ItemPropertiesText(ViewKind kind, const VN_ItemGrandBase& item);

// The item context menu: where "Uninstall" and a separator go, given the
// positions of the menu's "Report..." entry (-1 when it has none) and of an
// "Uninstall" entry it already holds (-1 when none). -1: insert nothing.
int UninstallInsertPosition(int reportPosition, int uninstallPosition);
// Skip Version, Unskip Version and Remove from my Watch List change the item
// itself; true when it changed (the list is then saved).
bool ApplyItemAction(int action, VN_ItemGrandBase& item);
// The product page that Read More and Download open; empty when none.
std::string ProductPage(const VN_ItemGrandBase& item);
// The file Find Target selects: a program's path, a download's destination.
std::string TargetPath(const VN_ItemGrandBase& item);

}  // namespace viewmodel
