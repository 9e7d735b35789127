// The inventory export interface used as another program uses it: the
// agent's export library loaded, each function found by its name,
// strings passed through the COM task allocator, whose blocks a malloc spy
// counts. The products are real: an MSI package installed with msiexec and
// uninstall entries of the test's own, enough of them that the user's key is
// read on two threads.
#include <gtest/gtest.h>

#include <objidl.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/wine.h"
#include "platform/win/com.h"
#include "platform/win/handles.h"
#include "platform/win/wide.h"
#include "platform/win/win.h"
#include "scanners/md5.h"
#include "scanners/products.h"
#include "scanners/win/inventory_exports.h"

namespace {

constexpr char kListedCode[] = "{5A1B7C3D-0001-4E6F-8A9B-0C1D2E3F4A51}";
constexpr char kListedName[] = "Varnel Test Listed Product";

// Counts the task allocator's blocks handed out and released while it is
// registered. Lives as long as the process: COM keeps a spy registered while
// blocks it saw are still out.
class AllocationSpy final : public IMallocSpy {
public:
    long Live() const { return allocated_ - released_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IMallocSpy) {
            *out = static_cast<IMallocSpy*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T bytes) override { return bytes; }
    void* STDMETHODCALLTYPE PostAlloc(void* block) override {
        if (block) ++allocated_;
        return block;
    }
    void* STDMETHODCALLTYPE PreFree(void* block, BOOL) override { return block; }
    void STDMETHODCALLTYPE PostFree(BOOL spied) override {
        if (spied) ++released_;
    }
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* block, SIZE_T bytes, void** newBlock, BOOL) override {
        *newBlock = block;
        return bytes;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* block, BOOL) override { return block; }
    void* STDMETHODCALLTYPE PreGetSize(void* block, BOOL) override { return block; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T bytes, BOOL) override { return bytes; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* block, BOOL) override { return block; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}

private:
    long allocated_ = 0;
    long released_ = 0;
};

AllocationSpy g_spy;

// The nine functions, found as a consumer finds them.
struct AgentExports {
    decltype(&AllProductsCount) allProductsCount = nullptr;
    decltype(&AllProductKeys) allProductKeys = nullptr;
    decltype(&AllProductInfo) allProductInfo = nullptr;
    decltype(&ProductInfoByKey) productInfoByKey = nullptr;
    decltype(&OrgToChangedUninstallString) orgToChangedUninstallString = nullptr;
    decltype(&TestProString) testProString = nullptr;
    decltype(&TestString2) testString2 = nullptr;
    decltype(&TestArrayOfStrings) testArrayOfStrings = nullptr;
    decltype(&TestArrayOfStructs2) testArrayOfStructs2 = nullptr;
};

template <typename Fn>
void Find(HMODULE module, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    EXPECT_NE(fn, nullptr) << name << " is not exported";
}

AgentExports FindAll(HMODULE module) {
    AgentExports exports;
    Find(module, "AllProductsCount", exports.allProductsCount);
    Find(module, "AllProductKeys", exports.allProductKeys);
    Find(module, "AllProductInfo", exports.allProductInfo);
    Find(module, "ProductInfoByKey", exports.productInfoByKey);
    Find(module, "OrgToChangedUninstallString", exports.orgToChangedUninstallString);
    Find(module, "TestProString", exports.testProString);
    Find(module, "TestString2", exports.testString2);
    Find(module, "TestArrayOfStrings", exports.testArrayOfStrings);
    Find(module, "TestArrayOfStructs2", exports.testArrayOfStructs2);
    return exports;
}

char* TaskText(const std::string& text) {
    auto* block = static_cast<char*>(CoTaskMemAlloc(text.size() + 1));
    std::memcpy(block, text.c_str(), text.size() + 1);
    return block;
}

wchar_t* TaskWide(const std::string& text) {
    const std::wstring wide = platform::Widen(text);
    auto* block = static_cast<wchar_t*>(CoTaskMemAlloc((wide.size() + 1) * sizeof(wchar_t)));
    std::memcpy(block, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
    return block;
}

std::string Text(const wchar_t* text) { return text ? platform::Narrow(text) : "(null)"; }

void FreeRecord(VN_ProductInfo& record) {
    for (wchar_t* field : {record.key, record.name, record.signature, record.hash}) CoTaskMemFree(field);
    record = VN_ProductInfo{};
}

SIZE_T BlockSize(void* block) {
    platform::ComPtr<IMalloc> malloc;
    if (FAILED(CoGetMalloc(1, malloc.GetAddressOf()))) return 0;
    return malloc->GetSize(block);
}

class InventoryExports : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        module_ = LoadLibraryA(testing_wine::BuildPath("src/app/varnel_inventory.dll").c_str());
        if (module_) exports_ = FindAll(module_);
    }
    static void TearDownTestSuite() {
        if (module_) FreeLibrary(module_);
        module_ = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(module_, nullptr) << "LoadLibrary of varnel_inventory.dll failed: " << GetLastError();
        ASSERT_TRUE(com_.ok());
        ASSERT_EQ(CoRegisterMallocSpy(&g_spy), S_OK);
        baseline_ = g_spy.Live();
    }
    void TearDown() override {
        EXPECT_EQ(g_spy.Live(), baseline_) << "task allocator blocks left behind";
        CoRevokeMallocSpy();
    }

    static HMODULE module_;
    static AgentExports exports_;
    platform::ComInit com_;
    long baseline_ = 0;
};
HMODULE InventoryExports::module_ = nullptr;
AgentExports InventoryExports::exports_;

// The executable carries the same names (its imports left unbound: Wine binds
// none for an executable loaded as a library, so its functions are not called here).
TEST(InventoryExportNames, TheExecutableExportsTheNineNamesUndecorated) {
    const HMODULE agent =
        LoadLibraryExA(testing_wine::BuildPath("src/app/varnel.exe").c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(agent, nullptr);
    FindAll(agent);
    FreeLibrary(agent);
}

TEST_F(InventoryExports, TheTestFunctionsTakeAndGiveTaskAllocatorStrings) {
    char* hello = exports_.testProString(TaskText("reader"));
    EXPECT_STREQ(hello, "Hello world: reader");
    EXPECT_EQ(BlockSize(hello), 257u);
    char* hello2 = exports_.testString2(TaskText("x"));
    EXPECT_STREQ(hello2, "Hello world From All Product API: x");
    EXPECT_EQ(g_spy.Live(), baseline_ + 2);  // the arguments were released
    CoTaskMemFree(hello);
    CoTaskMemFree(hello2);

    char* strings[2] = {TaskText("four"), TaskText("sixsix")};
    EXPECT_EQ(exports_.testArrayOfStrings(strings, 2), 10);
    EXPECT_STREQ(strings[1], "123456789");
    for (char* s : strings) CoTaskMemFree(s);

    VN_NamePair pairs[1] = {{TaskText("Grace"), TaskText("Hopper")}};
    EXPECT_EQ(exports_.testArrayOfStructs2(pairs, 1), 11);
    EXPECT_STREQ(pairs[0].first, "Grace");
    EXPECT_STREQ(pairs[0].last, "last:Hopper");
    CoTaskMemFree(pairs[0].first);
    CoTaskMemFree(pairs[0].last);
}

TEST_F(InventoryExports, ALongChangedUninstallStringComesBackCutTo256Characters) {
    // The agent's own file stands for the uninstaller: its path becomes its size.
    const std::string path = testing_wine::BuildPath("src/app/varnel.exe");
    const auto size = std::filesystem::file_size(testing_wine::UnixPathOf(path));
    const std::string tail = " /uninstall " + std::string(300, 'q');
    char* changed = exports_.orgToChangedUninstallString(TaskText("\"" + path + "\"" + tail));
    ASSERT_NE(changed, nullptr);
    EXPECT_EQ(std::string(changed), ("\"" + std::to_string(size) + "\"" + tail).substr(0, 256));
    EXPECT_EQ(BlockSize(changed), 257u);
    EXPECT_EQ(g_spy.Live(), baseline_ + 1);
    CoTaskMemFree(changed);
}

// ------------------------------------------------------------ real products

class InstalledProductExports : public InventoryExports {
protected:
    static void SetUpTestSuite() {
        InventoryExports::SetUpTestSuite();
        const std::string msi = testing_wine::WindowsPathOf(std::string(VARNEL_MSI_FIXTURES) + "/listed_product.msi");
        installed_ = testing_wine::RunAndWait("msiexec.exe /i \"" + msi + "\" /qn") == 0;
        // An uninstall entry of the user's, with a name and an uninstall command.
        platform::UniqueKey key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(RegScan::kUninstallKeyPath) + "\\" + EntryKey()).c_str(), 0,
                            nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) == ERROR_SUCCESS) {
            SetText(key.get(), "DisplayName", "Varnel Export Entry");
            SetText(key.get(), "DisplayVersion", "4.2");
            SetText(key.get(), "UninstallString", "C:\\Missing\\remove.exe /all");
        }
        // Enough entries more that the user's key is read on two threads.
        for (int i = 0; i < kFillers; ++i) {
            platform::UniqueKey filler;
            if (RegCreateKeyExA(HKEY_CURRENT_USER,
                                (std::string(RegScan::kUninstallKeyPath) + "\\" + FillerKey(i)).c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, filler.put(), nullptr) != ERROR_SUCCESS)
                continue;
            SetText(filler.get(), "DisplayName", "Varnel Export Filler " + std::to_string(i));
            SetText(filler.get(), "UninstallString", "C:\\Missing\\filler.exe");
        }
    }
    static void TearDownTestSuite() {
        testing_wine::RunAndWait(std::string("msiexec.exe /x ") + kListedCode + " /qn");
        RegDeleteKeyA(HKEY_CURRENT_USER, (std::string(RegScan::kUninstallKeyPath) + "\\" + EntryKey()).c_str());
        for (int i = 0; i < kFillers; ++i)
            RegDeleteKeyA(HKEY_CURRENT_USER, (std::string(RegScan::kUninstallKeyPath) + "\\" + FillerKey(i)).c_str());
        InventoryExports::TearDownTestSuite();
    }
    void SetUp() override {
        InventoryExports::SetUp();
        ASSERT_TRUE(installed_) << "msiexec could not install listed_product.msi";
    }
    static std::string EntryKey() { return "VarnelExportTest-" + std::to_string(GetCurrentProcessId()); }
    static constexpr int kFillers = 80;
    static std::string FillerKey(int i) {
        return "VarnelExportFill-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(i);
    }
    static void SetText(HKEY key, const char* name, const std::string& text) {
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
    }

    static bool installed_;
};
bool InstalledProductExports::installed_ = false;

TEST_F(InstalledProductExports, CountKeysAndRecordsAgreeAndNameTheInstalledProducts) {
    const int count = exports_.allProductsCount();
    ASSERT_GE(count, 2);

    std::vector<wchar_t*> keys(static_cast<size_t>(count) + 1, nullptr);
    keys.back() = TaskWide("spare");
    wchar_t* spare = keys.back();
    exports_.allProductKeys(keys.data(), static_cast<int>(keys.size()));
    EXPECT_EQ(keys.back(), spare);  // beyond the products: left as it was
    std::vector<std::string> keyTexts;
    for (wchar_t* key : keys) keyTexts.push_back(Text(key));
    EXPECT_NE(std::find(keyTexts.begin(), keyTexts.end(), kListedCode), keyTexts.end());
    EXPECT_NE(std::find(keyTexts.begin(), keyTexts.end(), EntryKey()), keyTexts.end());
    for (int i = 0; i < kFillers; ++i)
        EXPECT_NE(std::find(keyTexts.begin(), keyTexts.end(), FillerKey(i)), keyTexts.end()) << i;
    for (wchar_t* key : keys) CoTaskMemFree(key);

    // Read twice into the same records, freed in between: nothing is left behind.
    std::vector<VN_ProductInfo> records(static_cast<size_t>(count) + 2, VN_ProductInfo{});
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(exports_.allProductInfo(records.data(), static_cast<int>(records.size())), count);
        EXPECT_EQ(records[static_cast<size_t>(count)].key, nullptr);
        bool sawPackage = false, sawEntry = false;
        for (const VN_ProductInfo& r : records) {
            if (Text(r.key) == kListedCode) {
                sawPackage = true;
                const std::string signature = std::string(kListedCode) + "|" + kListedName + "|2.5.7";
                EXPECT_EQ(Text(r.name), kListedName);
                EXPECT_EQ(Text(r.signature), signature);
                EXPECT_EQ(Text(r.hash), digest::StringDigest(signature));
            } else if (Text(r.key) == EntryKey()) {
                sawEntry = true;
                EXPECT_EQ(Text(r.name), "Varnel Export Entry");
                EXPECT_EQ(Text(r.signature), EntryKey() + "|Varnel Export Entry|4.2|||0 /all");
            }
        }
        EXPECT_TRUE(sawPackage && sawEntry);
        for (VN_ProductInfo& r : records) FreeRecord(r);
        EXPECT_EQ(g_spy.Live(), baseline_);
    }
}

TEST_F(InstalledProductExports, LookupByKeyIsExactAndAMissClearsTheReleasedKey) {
    VN_ProductInfo found{TaskWide(kListedCode), nullptr, nullptr, nullptr};
    ASSERT_EQ(exports_.productInfoByKey(&found), 1);
    EXPECT_EQ(Text(found.key), kListedCode);
    EXPECT_EQ(Text(found.name), kListedName);
    EXPECT_EQ(Text(found.hash).size(), 32u);
    FreeRecord(found);

    std::string lower = kListedCode;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'F' ? static_cast<char>(c + 32) : c; });
    VN_ProductInfo missed{TaskWide(lower), nullptr, nullptr, nullptr};
    EXPECT_EQ(exports_.productInfoByKey(&missed), 0);
    EXPECT_EQ(missed.key, nullptr);
    EXPECT_EQ(g_spy.Live(), baseline_);  // the key string was released
}

}  // namespace
