// The database reader sees whatever is in the user's data folder: any bytes
// must either parse or fail with ArchiveError, never crash, hang or allocate
// without bound. Whatever parses must store and re-read to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "dlmgr/history_item.h"
#include "inventory/archive.h"
#include "inventory/database.h"

// The download history's class is registered as the program does at start-up.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    dlmgr::RegisterItemClasses();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        const inventory::ItemList items = inventory::ParseObjectList(bytes);
        const std::string stored = inventory::SerializeObjectList(items);
        const inventory::ItemList again = inventory::ParseObjectList(stored);
        if (again.size() != items.size() || inventory::SerializeObjectList(again) != stored) std::abort();
    } catch (const inventory::ArchiveError&) {
    }
    try {
        const std::vector<std::string> names = inventory::ParseStringList(bytes);
        if (inventory::ParseStringList(inventory::SerializeStringList(names)) != names) std::abort();
    } catch (const inventory::ArchiveError&) {
    }
    return 0;
}
