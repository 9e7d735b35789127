// The inventory export functions: the C interface of inventory_exports.h
// over the portable walks, with the COM task allocator and the machine's
// registry and installer. No exception leaves an exported function.
#define VARNEL_INVENTORY_EXPORTS
#include "scanners/win/inventory_exports.h"

#include <objbase.h>

#include <exception>

#include "platform/log.h"
#include "scanners/product_export.h"

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 strings cross the interface");
static_assert(sizeof(VN_ProductInfo) == sizeof(productexport::ProductInfo), "one record layout");
static_assert(sizeof(VN_NamePair) == sizeof(productexport::NamePair), "one pair layout");

class TaskMemory final : public productexport::ITaskMemory {
public:
    void* Alloc(size_t bytes) override { return ::CoTaskMemAlloc(bytes); }
    void Free(void* block) override { ::CoTaskMemFree(block); }
};

// Runs one export: its failure value when anything was thrown (logged).
template <typename Result, typename Body>
Result Guarded(const char* where, Result failure, Body body) {
    try {
        return body();
    } catch (const std::exception&) {
        vnlog::Warning(where);
    } catch (...) {
        vnlog::Warning(where, true);
    }
    return failure;
}

productexport::ProductInfo* Portable(VN_ProductInfo* records) {
    return reinterpret_cast<productexport::ProductInfo*>(records);
}

}  // namespace

extern "C" {

int __cdecl AllProductsCount(void) {
    return Guarded("AllProductsCount", 0,
                   [] { return productexport::AllProductsCount(RegScan::PlatformProductSources()); });
}

void __cdecl AllProductKeys(wchar_t** keys, int count) {
    Guarded("AllProductKeys", 0, [&] {
        TaskMemory memory;
        productexport::AllProductKeys(memory, RegScan::PlatformProductSources(), reinterpret_cast<char16_t**>(keys),
                                      count);
        return 0;
    });
}

int __cdecl AllProductInfo(VN_ProductInfo* records, int count) {
    return Guarded("AllProductInfo", 0, [&] {
        TaskMemory memory;
        return productexport::AllProductInfo(memory, RegScan::PlatformProductSources(), Portable(records), count);
    });
}

int __cdecl ProductInfoByKey(VN_ProductInfo* record) {
    return Guarded("ProductInfoByKey", 0, [&] {
        TaskMemory memory;
        return productexport::ProductInfoByKey(memory, RegScan::PlatformProductSources(), Portable(record));
    });
}

char* __cdecl OrgToChangedUninstallString(char* commandLine) {
    return Guarded("OrgToChangedUninstallString", static_cast<char*>(nullptr), [&] {
        TaskMemory memory;
        return productexport::OrgToChangedUninstallString(memory, commandLine);
    });
}

char* __cdecl TestProString(char* text) {
    return Guarded("TestProString", static_cast<char*>(nullptr), [&] {
        TaskMemory memory;
        return productexport::TestProString(memory, text);
    });
}

char* __cdecl TestString2(char* text) {
    return Guarded("TestString2", static_cast<char*>(nullptr), [&] {
        TaskMemory memory;
        return productexport::TestString2(memory, text);
    });
}

int __cdecl TestArrayOfStrings(char** strings, int count) {
    return Guarded("TestArrayOfStrings", 0, [&] {
        TaskMemory memory;
        return productexport::TestArrayOfStrings(memory, strings, count);
    });
}

int __cdecl TestArrayOfStructs2(VN_NamePair* pairs, int count) {
    return Guarded("TestArrayOfStructs2", 0, [&] {
        TaskMemory memory;
        return productexport::TestArrayOfStructs2(memory, reinterpret_cast<productexport::NamePair*>(pairs), count);
    });
}

}  // extern "C"
