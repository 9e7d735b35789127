#include "scanners/product_export.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/codepage.h"
#include "scanners/products.h"
#include "scanners/uninstall_string.h"

namespace productexport {
namespace {

// The merged map without a scan context, read afresh for each call.
class MergedProducts {
public:
    explicit MergedProducts(const RegScan::ProductSources& sources) : all_(nullptr, sources) {
        all_.Fill();  // a failed source yields fewer products, nothing more
    }
    const RegScan::VN_ProductsBase& Map() const { return all_; }

private:
    RegScan::VN_AllProducts all_;
};

// Lengths summed into the int the interface answers, stopping at its largest value.
class LengthSum {
public:
    void Add(const char* text) {
        if (text) total_ += std::min<size_t>(std::strlen(text), static_cast<size_t>(INT_MAX));
        total_ = std::min<size_t>(total_, static_cast<size_t>(INT_MAX));
    }
    int Value() const { return static_cast<int>(total_); }

private:
    size_t total_ = 0;
};

std::string TextOf(const char* text) { return text ? std::string(text) : std::string(); }

// The argument's text, then the argument released.
std::string TakeText(ITaskMemory& memory, char* text) {
    std::string copy = TextOf(text);
    memory.Free(text);
    return copy;
}

char* NewText(ITaskMemory& memory, const std::string& text) {
    auto* block = static_cast<char*>(memory.Alloc(text.size() + 1));
    if (block) std::memcpy(block, text.c_str(), text.size() + 1);
    return block;
}

void FillDetails(ITaskMemory& memory, const RegScan::VN_ProductItemBase& product, ProductInfo& record) {
    record.name = NewWideString(memory, product.GetName());
    record.signature = NewWideString(memory, product.GetSignature());
    record.hash = NewWideString(memory, product.GetSignatureMd5());
}

}  // namespace

char16_t* NewWideString(ITaskMemory& memory, const std::string& text) {
    const std::u16string wide = platform::AnsiToUtf16(text);
    if (wide.empty()) return nullptr;
    auto* block = static_cast<char16_t*>(memory.Alloc((wide.size() + 1) * sizeof(char16_t)));
    if (block) std::memcpy(block, wide.c_str(), (wide.size() + 1) * sizeof(char16_t));
    return block;
}

char* NewReturnText(ITaskMemory& memory, const std::string& text) {
    auto* block = static_cast<char*>(memory.Alloc(kReturnChars + 1));
    if (!block) return nullptr;
    const size_t length = std::min(text.size(), kReturnChars);
    std::memcpy(block, text.data(), length);
    block[length] = '\0';
    return block;
}

int AllProductsCount(const RegScan::ProductSources& sources) {
    const MergedProducts products(sources);
    return static_cast<int>(std::min<size_t>(products.Map().GetCount(), static_cast<size_t>(INT_MAX)));
}

void AllProductKeys(ITaskMemory& memory, const RegScan::ProductSources& sources, char16_t** keys, int count) {
    if (!keys || count <= 0) return;
    const MergedProducts products(sources);
    int filled = 0;
    for (const auto& entry : products.Map().GetRecords()) {
        if (filled >= count) break;
        char16_t* key = NewWideString(memory, entry.second->GetKeyName());
        if (!key) continue;
        memory.Free(keys[filled]);
        keys[filled++] = key;
    }
}

int AllProductInfo(ITaskMemory& memory, const RegScan::ProductSources& sources, ProductInfo* records, int count) {
    if (!records || count <= 0) return 0;
    const MergedProducts products(sources);
    int filled = 0;
    for (const auto& entry : products.Map().GetRecords()) {
        if (filled >= count) break;
        ProductInfo& record = records[filled++];
        record.key = NewWideString(memory, entry.second->GetKeyName());
        FillDetails(memory, *entry.second, record);
    }
    return filled;
}

int ProductInfoByKey(ITaskMemory& memory, const RegScan::ProductSources& sources, ProductInfo* record) {
    if (!record || !record->key) return 0;
    const std::string key = platform::Utf16ToAnsi(record->key);
    const MergedProducts products(sources);
    if (const RegScan::VN_ProductItemBase* product = products.Map().Lookup(key)) {
        FillDetails(memory, *product, *record);
        return 1;
    }
    // The key string is the caller's no longer: nothing may point at it.
    memory.Free(record->key);
    record->key = nullptr;
    return 0;
}

char* OrgToChangedUninstallString(ITaskMemory& memory, char* commandLine) {
    VN_UninstallString rewriter(TakeText(memory, commandLine));
    return NewReturnText(memory, rewriter.GetChangedString());
}

char* TestProString(ITaskMemory& memory, char* text) {
    return NewReturnText(memory, "Hello world: " + TakeText(memory, text));
}

char* TestString2(ITaskMemory& memory, char* text) {
    return NewReturnText(memory, "Hello world From All Product API: " + TakeText(memory, text));
}

int TestArrayOfStrings(ITaskMemory& memory, char** strings, int count) {
    if (!strings) return 0;
    LengthSum sum;
    for (int i = 0; i < count; ++i) {
        sum.Add(strings[i]);
        if (char* fresh = NewText(memory, "123456789")) {
            memory.Free(strings[i]);
            strings[i] = fresh;
        }
    }
    return sum.Value();
}

int TestArrayOfStructs2(ITaskMemory& memory, NamePair* pairs, int count) {
    if (!pairs) return 0;
    LengthSum sum;
    for (int i = 0; i < count; ++i) {
        sum.Add(pairs[i].first);
        sum.Add(pairs[i].last);
        if (char* fresh = NewText(memory, "last:" + TextOf(pairs[i].last))) {
            memory.Free(pairs[i].last);
            pairs[i].last = fresh;
        }
    }
    return sum.Value();
}

}  // namespace productexport
