// The database files: one serialised list per file in the data folder, and
// the outdated-product string list. Whole-file images are parsed and built in
// memory; files are replaced atomically.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "inventory/item_base.h"

namespace inventory {

// File names, appended to the data folder.
namespace dbfile {
inline constexpr char kWatchList[] = "\\varnel.db";
inline constexpr char kDriverData[] = "\\driverdata.db";
inline constexpr char kDailyUpdates[] = "\\dailyupdates.db";
inline constexpr char kDownloadHistory[] = "\\downloadhistory.db";
inline constexpr char kMsUpdates[] = "\\msupdates.db";
inline constexpr char kOutdatedProductList[] = "\\outdatedproductlist.db";
}  // namespace dbfile

using ItemList = std::vector<std::unique_ptr<VN_ItemGrandBase>>;

// An object list: a count, then one object reference per entry (null entries
// allowed). Throws ArchiveError for an object that cannot be stored.
// `sizeHint`, the expected size (say, of the last image), saves regrowing.
std::string SerializeObjectList(const ItemList& items, size_t sizeHint = 0);
// Parses a whole file image; throws ArchiveError for damaged or foreign data.
// Bytes after the list are ignored (files of other versions may carry
// some); `unread`, when given, receives how many there were.
ItemList ParseObjectList(std::string_view data, size_t* unread = nullptr);

// The outdated-product list: a count, then that many strings.
std::string SerializeStringList(const std::vector<std::string>& names);
std::vector<std::string> ParseStringList(std::string_view data);

// Reads a string-list file into `names` (replacing its contents). A missing
// file, or one that cannot be opened, leaves `names` unchanged and succeeds; a
// damaged one, or one that fails part way through reading, empties `names`
// and fails.
bool LoadStringListFile(const std::string& path, std::vector<std::string>& names);
// Writes the file through a temporary file in the same folder; the old file
// stays as it was when that fails.
bool SaveStringListFile(const std::string& path, const std::vector<std::string>& names);

}  // namespace inventory
