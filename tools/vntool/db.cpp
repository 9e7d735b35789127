// vntool db: shows a database file as JSON and writes one back from JSON.
// The JSON names every stored field exactly as the item classes do, so the
// two directions share the classes' own field lists.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <limits>
#include <set>
#include <sstream>
#include <stdexcept>
#include <vector>

#include <nlohmann/json.hpp>

#include "command.h"
#include "dlmgr/history_item.h"
#include "inventory/archive.h"
#include "inventory/database.h"
#include "inventory/field_exchange.h"
#include "inventory/item_base.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/text.h"

namespace vntool {
namespace {

using Json = nlohmann::ordered_json;

// ---------------------------------------------------------------- to JSON

class JsonOut final : public inventory::FieldExchange {
public:
    explicit JsonOut(Json& object) { stack_.push_back(&object); }
    bool IsLoading() const override { return false; }
    void Field(const char* name, std::string& v) override { Top()[name] = platform::AnsiToUtf8(v); }
    void Field(const char* name, int32_t& v) override { Top()[name] = v; }
    void Field(const char* name, int64_t& v) override { Top()[name] = v; }
    void Field(const char* name, bool& v) override { Top()[name] = v; }
    void WordFlag(const char* name, bool& v) override { Top()[name] = v; }
    void Reserved32() override {}
    void Field(const char* name, std::vector<std::string>& values) override {
        Json array = Json::array();
        for (const std::string& v : values) array.push_back(platform::AnsiToUtf8(v));
        Top()[name] = std::move(array);
    }
    size_t BeginRecords(const char* name, size_t count, size_t) override {
        Top()[name] = Json::array();
        stack_.push_back(&Top()[name]);
        return count;
    }
    void BeginRecord(size_t) override {
        Top().push_back(Json::object());
        stack_.push_back(&Top().back());
    }
    void EndRecord() override { stack_.pop_back(); }
    void EndRecords() override { stack_.pop_back(); }

private:
    Json& Top() { return *stack_.back(); }
    std::vector<Json*> stack_;
};

// -------------------------------------------------------------- from JSON

class JsonIn final : public inventory::FieldExchange {
public:
    JsonIn(const Json& object, std::string where) { Push(object, std::move(where)); }
    bool IsLoading() const override { return true; }

    void Field(const char* name, std::string& v) override {
        if (const Json* j = Get(name, Json::value_t::string)) v = platform::Utf8ToAnsi(j->get<std::string>());
    }
    void Field(const char* name, int32_t& v) override {
        if (const Json* j = GetInteger(name, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()))
            v = j->get<int32_t>();
    }
    void Field(const char* name, int64_t& v) override {
        if (const Json* j = GetInteger(name, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()))
            v = j->get<int64_t>();
    }
    void Field(const char* name, bool& v) override {
        if (const Json* j = Get(name, Json::value_t::boolean)) v = j->get<bool>();
    }
    void WordFlag(const char* name, bool& v) override { Field(name, v); }
    void Reserved32() override {}
    void Field(const char* name, std::vector<std::string>& values) override {
        const Json* array = Get(name, Json::value_t::array);
        if (!array) return;
        for (const Json& v : *array) {
            if (!v.is_string()) Throw(std::string("\"") + name + "\" must hold only strings");
            values.push_back(platform::Utf8ToAnsi(v.get<std::string>()));
        }
    }
    size_t BeginRecords(const char* name, size_t, size_t) override {
        const Json* array = Get(name, Json::value_t::array);
        records_.push_back(array);
        recordNames_.push_back(name);
        return array ? array->size() : 0;
    }
    void BeginRecord(size_t index) override {
        const Json& record = (*records_.back())[index];
        const std::string where = Where() + "." + recordNames_.back() + "[" + std::to_string(index) + "]";
        if (!record.is_object()) throw std::runtime_error(where + ": a record must be an object");
        Push(record, where);
    }
    void EndRecord() override { Pop(); }
    void EndRecords() override {
        records_.pop_back();
        recordNames_.pop_back();
    }

    // Fails when the object held names that no field used.
    void Pop() {
        const Level& level = levels_.back();
        for (const auto& entry : level.object->items())
            if (!level.used.count(entry.key())) Throw("unknown field \"" + inventory::QuoteBytes(entry.key()) + "\"");
        levels_.pop_back();
    }
    void Allow(const std::string& key) { levels_.back().used.insert(key); }

private:
    struct Level {
        const Json* object;
        std::string where;
        std::set<std::string> used;
    };
    void Push(const Json& object, std::string where) { levels_.push_back(Level{&object, std::move(where), {}}); }
    const std::string& Where() const { return levels_.back().where; }
    [[noreturn]] void Throw(const std::string& what) const { throw std::runtime_error(Where() + ": " + what); }

    const Json* Get(const char* name, Json::value_t type) {
        Level& level = levels_.back();
        const auto it = level.object->find(name);
        if (it == level.object->end()) return nullptr;
        level.used.insert(name);
        if (it->type() != type) Throw(std::string("\"") + name + "\" must be a " + Json(type).type_name());
        return &*it;
    }
    template <class T>
    const Json* GetInteger(const char* name, T low, T high) {
        Level& level = levels_.back();
        const auto it = level.object->find(name);
        if (it == level.object->end()) return nullptr;
        level.used.insert(name);
        const bool fits = it->is_number_integer() &&
                          (it->is_number_unsigned() ? it->get<uint64_t>() <= static_cast<uint64_t>(high)
                                                    : it->get<int64_t>() >= static_cast<int64_t>(low) &&
                                                          it->get<int64_t>() <= static_cast<int64_t>(high));
        if (!fits) Throw(std::string("\"") + name + "\" must be an integer in range");
        return &*it;
    }

    std::vector<Level> levels_;
    std::vector<const Json*> records_;
    std::vector<std::string> recordNames_;
};

// ------------------------------------------------------------- the command

std::string ReadInput(const std::string& path) {
    if (path == "-") {
        std::ostringstream ss;
        ss << std::cin.rdbuf();
        return ss.str();
    }
    const std::optional<std::string> data = platform::ReadWholeFile(path);
    if (!data) throw std::runtime_error(path + ": cannot read the file");
    return *data;
}

// The outdated-product list carries no class names, so it is known by its name.
bool IsStringListFile(const std::string& path) {
    return textutil::EqualsNoCase(textutil::FileNameOf(path), inventory::dbfile::kOutdatedProductList + 1);
}

int Dump(const Args& args) {
    bool strings = false;
    std::string file;
    for (const std::string& a : args) {
        if (a == "--strings") strings = true;
        else if (!file.empty() || (a.size() > 1 && a[0] == '-')) return UsageError("usage: vntool db dump [--strings] FILE");
        else file = a;
    }
    if (file.empty()) return UsageError("usage: vntool db dump [--strings] FILE");
    if (IsStringListFile(file)) strings = true;
    const std::string image = ReadInput(file);
    Json out = Json::array();
    try {
        if (strings) {
            for (const std::string& name : inventory::ParseStringList(image)) out.push_back(platform::AnsiToUtf8(name));
        } else {
            for (const auto& item : inventory::ParseObjectList(image)) {
                if (!item) {
                    out.push_back(nullptr);
                    continue;
                }
                Json entry = Json::object();
                entry["class"] = item->RuntimeClassName();
                JsonOut fx(entry);
                item->ExchangeFields(fx);
                out.push_back(std::move(entry));
            }
        }
    } catch (const inventory::ArchiveError& e) {
        return Fail(file + ": damaged or foreign file: " + e.what());
    }
    std::cout << out.dump(2) << "\n";
    return 0;
}

std::string BuildImage(const Json& doc) {
    if (!doc.is_array()) throw std::runtime_error("the JSON must be an array of entries");
    bool allStrings = !doc.empty();
    for (const Json& entry : doc) allStrings = allStrings && entry.is_string();
    if (allStrings) {
        std::vector<std::string> names;
        for (const Json& entry : doc) names.push_back(platform::Utf8ToAnsi(entry.get<std::string>()));
        return inventory::SerializeStringList(names);
    }
    inventory::ItemList items;
    for (size_t i = 0; i < doc.size(); ++i) {
        const Json& entry = doc[i];
        const std::string where = "entry " + std::to_string(i);
        if (entry.is_null()) {
            items.push_back(nullptr);
            continue;
        }
        if (!entry.is_object() || !entry.contains("class") || !entry["class"].is_string())
            throw std::runtime_error(where + ": expected null or an object with a \"class\"");
        const std::string className = entry["class"].get<std::string>();
        const inventory::PersistentClass* cls = inventory::FindPersistentClass(className);
        if (!cls) throw std::runtime_error(where + ": unknown class \"" + inventory::QuoteBytes(className) + "\"");
        std::unique_ptr<VN_ItemGrandBase> item = cls->create();
        JsonIn fx(entry, where + " (" + className + ")");
        fx.Allow("class");
        item->ExchangeFields(fx);
        fx.Pop();
        items.push_back(std::move(item));
    }
    return inventory::SerializeObjectList(items);
}

int Make(const Args& args) {
    if (args.size() != 2) return UsageError("usage: vntool db make JSON FILE");
    const std::string text = ReadInput(args[0]);
    Json doc;
    try {
        doc = Json::parse(text);
    } catch (const Json::exception& e) {
        return Fail(args[0] + ": not valid JSON: " + e.what());
    }
    std::string image;
    try {
        image = BuildImage(doc);
    } catch (const std::exception& e) {
        return Fail(args[0] + ": " + e.what());
    }
    if (!platform::WriteFileAtomically(args[1], image)) return Fail(args[1] + ": cannot write the file");
    return 0;
}

int Run(const Args& args) {
    if (args.empty()) return UsageError("usage: vntool db dump|make ... (see vntool help db)");
    const Args rest(args.begin() + 1, args.end());
    if (args[0] == "dump") return Dump(rest);
    if (args[0] == "make") return Make(rest);
    return UsageError("unknown db subcommand: " + args[0]);
}

// Lists each class's fields in file order, read from the classes themselves.
class FieldNames final : public inventory::FieldExchange {
public:
    // Walks like a load so that record lists make room for the one record listed.
    bool IsLoading() const override { return true; }
    void Field(const char* n, std::string&) override { Add(n, "text"); }
    void Field(const char* n, int32_t&) override { Add(n, "int32"); }
    void Field(const char* n, int64_t&) override { Add(n, "int64"); }
    void Field(const char* n, bool&) override { Add(n, "bool"); }
    void WordFlag(const char* n, bool&) override { Add(n, "bool"); }
    void Reserved32() override {}
    void Field(const char* n, std::vector<std::string>&) override { Add(n, "[text]"); }
    size_t BeginRecords(const char* n, size_t, size_t) override {
        Add(n, "[{");
        return 1;  // list the record's fields once
    }
    void BeginRecord(size_t) override {}
    void EndRecord() override {}
    void EndRecords() override { text += " }]"; }
    std::string text;

private:
    void Add(const char* n, const char* type) {
        if (!text.empty() && text.back() != '{') text += ",";
        text += std::string(" ") + n + ":" + type;
    }
};

std::string BuildHelp() {
    // Built before main runs: the download history's class is made known here,
    // so that the help lists it and the commands read and write it.
    dlmgr::RegisterItemClasses();
    std::string help =
        "vntool db dump [--strings] FILE\n"
        "    Prints a database file of the agent (varnel.db, driverdata.db,\n"
        "    dailyupdates.db, downloadhistory.db, msupdates.db) as JSON: an array with\n"
        "    one entry per list entry, in file order. An entry is null for a null\n"
        "    reference, otherwise an object whose \"class\" is the class name the file\n"
        "    carries, followed by every stored field under its field name, in file\n"
        "    order. Texts are converted from the ANSI code page to UTF-8.\n"
        "    A file named outdatedproductlist.db (in any case) is read as the\n"
        "    outdated-product list, which has no class names: the output is an\n"
        "    array of strings. --strings reads any other FILE that way too.\n"
        "    FILE may be - for standard input.\n"
        "    A damaged or foreign file prints one line on stderr and exits 1.\n"
        "vntool db make JSON FILE\n"
        "    Writes FILE (replacing it atomically) from JSON in the form that dump\n"
        "    prints. An array made only of strings is written as a string list; any\n"
        "    other array as an object list. Fields left out take the class's defaults\n"
        "    (for VN_WatchItem, \"source\" is \"registry\"; for VN_DriverItem,\n"
        "    \"expanded\" is true); an unknown field, class or wrong type is an error\n"
        "    (exit 1). Texts are converted to the ANSI code page; characters it lacks\n"
        "    become '?'. JSON may be - for standard input.\n"
        "  Classes and their fields (integers are JSON numbers, flags true/false):\n";
    for (const inventory::PersistentClass& cls : inventory::PersistentClasses()) {
        FieldNames names;
        cls.create()->ExchangeFields(names);
        help += std::string("    ") + cls.name + ":\n";
        // Wrapped at field boundaries.
        std::string line = "     ";
        std::istringstream words(names.text);
        for (std::string word; words >> word;) {
            if (line.size() + 1 + word.size() > 78) {
                help += line + "\n";
                line = "     ";
            }
            line += " " + word;
        }
        help += line + "\n";
    }
    return help;
}

const std::string kHelp = BuildHelp();
const Registrar kRegistrar({"db", "dump or make a database file (JSON)", kHelp.c_str(), &Run});

}  // namespace
}  // namespace vntool
