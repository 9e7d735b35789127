#include "inventory/database.h"

#include "inventory/archive.h"
#include "inventory/daily_item.h"
#include "inventory/driver_item.h"
#include "inventory/ms_update_item.h"
#include "inventory/watch_item.h"
#include "platform/files.h"

namespace inventory {
namespace {

template <class T>
std::unique_ptr<VN_ItemGrandBase> Create() {
    return std::make_unique<T>();
}

std::deque<PersistentClass>& Registry() {
    static std::deque<PersistentClass> classes = {
        {VN_WatchItem::kClassName, 1, &Create<VN_WatchItem>},
        {VN_DriverItem::kClassName, 1, &Create<VN_DriverItem>},
        {VN_DailyItem::kClassName, 1, &Create<VN_DailyItem>},
        {MsUpdates::CMsItem::kClassName, 1, &Create<MsUpdates::CMsItem>},
    };
    return classes;
}

}  // namespace

const std::deque<PersistentClass>& PersistentClasses() { return Registry(); }

void RegisterPersistentClass(const PersistentClass& cls) {
    if (!FindPersistentClass(cls.name)) Registry().push_back(cls);
}

const PersistentClass* FindPersistentClass(std::string_view name) {
    for (const PersistentClass& cls : PersistentClasses())
        if (name == cls.name) return &cls;
    return nullptr;
}

std::string SerializeObjectList(const ItemList& items, size_t sizeHint) {
    ArchiveWriter writer;
    writer.Reserve(sizeHint);
    writer.WriteCount(items.size());
    for (const auto& item : items) writer.WriteObject(item.get());
    return writer.TakeData();
}

ItemList ParseObjectList(std::string_view data, size_t* unread) {
    ArchiveReader reader(data);
    const uint32_t count = reader.ReadCount();
    reader.RequireRoom(count, 2);  // every reference takes at least a WORD
    ItemList items;
    items.reserve(count);
    for (uint32_t i = 0; i < count; ++i) items.push_back(reader.ReadObject());
    if (unread) *unread = reader.Remaining();
    return items;
}

std::string SerializeStringList(const std::vector<std::string>& names) {
    ArchiveWriter writer;
    writer.WriteCount(names.size());
    for (const std::string& name : names) writer.WriteString(name);
    return writer.TakeData();
}

std::vector<std::string> ParseStringList(std::string_view data) {
    ArchiveReader reader(data);
    const uint32_t count = reader.ReadCount();
    reader.RequireRoom(count, 1);
    std::vector<std::string> names;
    names.reserve(count);
    for (uint32_t i = 0; i < count; ++i) names.push_back(reader.ReadString());
    return names;
}

bool LoadStringListFile(const std::string& path, std::vector<std::string>& names) {
    std::string data;
    platform::RemoveStaleSaveTemporaries(path);
    const platform::ReadOutcome read = platform::ReadWholeFile(path, data);
    if (read == platform::ReadOutcome::kCannotOpen) return true;
    try {
        if (read != platform::ReadOutcome::kRead) throw ArchiveError("the file could not be read to its end");
        names = ParseStringList(data);
        return true;
    } catch (...) {
        names.clear();
        return false;
    }
}

bool SaveStringListFile(const std::string& path, const std::vector<std::string>& names) {
    try {
        return platform::WriteFileAtomically(path, SerializeStringList(names));
    } catch (...) {
        return false;
    }
}

}  // namespace inventory
