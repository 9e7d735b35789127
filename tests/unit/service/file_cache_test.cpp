// The file cache: the inventory pass and the check document come out
// byte-identical with no cache, a cold one and one read back from its file;
// a file whose size or time changed is read again; a damaged cache file is
// logged and rebuilt; entries of files no longer found are dropped.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "common/scan_document_support.h"
#include "inventory/driver_data.h"
#include "inventory/inventory_test_support.h"
#include "inventory/watch_list.h"
#include "platform/setting_names.h"
#include "scanners/file_cache.h"
#include "scanners/program_discovery.h"
#include "scanners/version_builder.h"

namespace {

using scanners::SpecialFolder;

std::string Win(std::string path) {
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

std::string ProgramImage(const std::string& product, const std::string& version) {
    using namespace testdata;
    const VersionBlock root = Root(
        FixedInfo(Version(1, 2), Version(3, 4), Version(1, 2), Version(3, 4)),
        {StringFileInfo({Table(
             "040904e4", {StringValue("CompanyName", U16("Contoso")), StringValue("FileVersion", U16(version)),
                          StringValue("ProductName", U16(product)), StringValue("ProductVersion", U16(version))})}),
         VarFileInfo({{0x409, 0x4e4}})});
    return PeImage(EncodeBlock(root));
}

// Only the Start Menu, which holds programs and shortcuts; the shortcuts'
// answers are recorded, and each resolution is counted. With `readAhead` it
// may be called from the pass's second thread, and tells when that has left.
class MenuOnly final : public scanners::IDiscoverySystem {
public:
    explicit MenuOnly(std::string menu) : menu_(std::move(menu)) {}
    std::map<std::string, scanners::ShortcutInfo> shortcuts;
    std::map<std::string, int> resolved;
    std::map<std::string, std::set<std::thread::id>> resolvedOn;
    bool readAhead = false;

    std::unique_ptr<scanners::ThreadScope> EnterSecondThread() override {
        if (!readAhead) return nullptr;
        return std::make_unique<Scope>(*this);
    }
    // Waits until a second thread has come and gone.
    bool WaitForReadAhead() {
        std::unique_lock<std::mutex> lock(mutex_);
        return left_.wait_for(lock, std::chrono::seconds(5), [this] { return readAheadLeft_; });
    }
    void PrepareForScan() override {}
    bool IsNtFamily() override { return false; }
    std::string SpecialFolderPath(SpecialFolder folder) override {
        return folder == SpecialFolder::StartMenu ? menu_ : std::string();
    }
    scanners::LinkResult ResolveShortcut(const std::string& path, scanners::ShortcutInfo& info) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++resolved[path];
            resolvedOn[path].insert(std::this_thread::get_id());
        }
        const auto found = shortcuts.find(path);
        if (found == shortcuts.end()) return scanners::kLinkFail;
        info = found->second;
        return scanners::kLinkOk;
    }
    std::string ProgramForDocument(const std::string&) override { return std::string(); }
    bool IsNetworkPath(const std::string&) override { return false; }
    void EnumerateProcesses(const std::function<bool(uint32_t, const std::string&)>&) override {}
    bool HasVisibleWindow(uint32_t) override { return false; }

private:
    struct Scope final : scanners::ThreadScope {
        explicit Scope(MenuOnly& owner) : owner(owner) {}
        ~Scope() override {
            {
                std::lock_guard<std::mutex> lock(owner.mutex_);
                owner.readAheadLeft_ = true;
            }
            owner.left_.notify_all();
        }
        MenuOnly& owner;
    };
    std::string menu_;
    std::mutex mutex_;
    std::condition_variable left_;
    bool readAheadLeft_ = false;
};

// No products; the scan lasts until the pass's second thread has read ahead.
class ProductsAfterReadAhead final : public scanners::IProductScanners {
public:
    explicit ProductsAfterReadAhead(MenuOnly& system) : system_(system) {}
    bool ScanComponents(VN_WatchList&, const scanners::ItemFromFileFn&) override { return false; }
    bool ScanInstalledProducts(VN_WatchList&) override {
        EXPECT_TRUE(system_.WaitForReadAhead());
        return false;
    }

private:
    MenuOnly& system_;
};

class NoProducts final : public scanners::IProductScanners {
public:
    bool ScanComponents(VN_WatchList&, const scanners::ItemFromFileFn&) override { return false; }
    bool ScanInstalledProducts(VN_WatchList&) override { return false; }
};

class FileCache : public ::testing::Test {
protected:
    void SetUp() override {
        platform::AppSettings().WriteText(setting::kDataFolder, Win(root_.Path()));
        std::filesystem::create_directories(menu_);
        Put("alpha.exe", ProgramImage("Alpha", "1.0"));
        Put("beta.exe", ProgramImage("Beta", "2.5"));
        Put("Tools/gamma.exe", ProgramImage("Gamma", "3.1"));
        Put("broken.exe", "MZ not a program");  // no version resource: no item, but a digest-free entry
        // A plain shortcut to a program elsewhere, and an installer's shortcut.
        testsupport::WriteFile(root_.File("delta.exe"), ProgramImage("Delta", "4.0"));
        testsupport::WriteFile(root_.File("epsilon.exe"), ProgramImage("Epsilon", "5.0"));
        scanners::ShortcutInfo plain;
        plain.target = Win(root_.File("delta.exe"));
        plain.arguments = "/quiet";
        plain.description = "Delta\tthe tool";
        Link("Delta.lnk", plain);
        scanners::ShortcutInfo installer;
        installer.target = Win(root_.File("epsilon.exe"));
        installer.productCode = "{11111111-2222-3333-4444-555555555555}";
        installer.componentGuid = "{AAAAAAAA-2222-3333-4444-555555555555}";
        Link("Epsilon.lnk", installer);
    }
    void Link(const std::string& name, const scanners::ShortcutInfo& info) {
        Put(name, "L");
        system_->shortcuts[Win(menu_ + "/" + name)] = info;
    }
    void TearDown() override { fileid::ProcessFileCache().Close(); }

    void Put(const std::string& name, const std::string& bytes) {
        std::filesystem::create_directories(std::filesystem::path(menu_ + "/" + name).parent_path());
        testsupport::WriteFile(menu_ + "/" + name, bytes);
    }

    // One pass on an empty list, with the file cache as the agent runs it
    // (the pass's entry opens it in the data folder and saves it; the check
    // saves it again with the digests it made) or without any: the saved
    // list and the check document.
    std::pair<std::string, std::string> Pass(bool cached = true) {
        VN_WatchList list;
        if (cached) {
            EXPECT_TRUE(scanners::ScanInventory(list, nullptr, 0, false));
        } else {
            EXPECT_TRUE(scanners::VN_ProgramDiscovery(list).ScanInventory(nullptr, 0, false));
        }
        // Request sequence numbers count up through the process; each pass's
        // document numbers its items from 1 as a fresh agent would.
        int32_t sequence = 0;
        for (VN_WatchItem* item : list.WatchItems()) item->sequence = ++sequence;
        Views::CDriverData drivers;
        auto buffer = scandoc::MakeBuffer(&list, &drivers, vnxml::kCheckRequest);
        const auto [failed, document] = scandoc::Write(*buffer);
        EXPECT_FALSE(failed);
        if (cached) fileid::ProcessFileCache().Save(false);
        list.SaveFile(root_.File("varnel.db"));
        return {testsupport::ReadFile(root_.File("varnel.db")), document};
    }
    std::string CacheText() const { return testsupport::ReadFile(root_.File(fileid::kFileCacheName)); }

    testsupport::TempDir root_;
    std::string menu_ = root_.File("StartMenu");
    std::string cacheFile_ = Win(root_.File(fileid::kFileCacheName));
    testing_support::ScopedHook<platform::InstallSettingsStore> settings_{
        platform::MakeMemorySettingsStore("TESTHOST")};
    testing_support::ScopedHook<vnxml::InstallScanDocumentServices> services_{
        vnxml::MakePlatformScanDocumentServices()};
    MenuOnly* system_ = new MenuOnly(Win(menu_));
    testing_support::ScopedHook<scanners::InstallDiscoverySystem> systemHook_{
        std::unique_ptr<scanners::IDiscoverySystem>(system_)};
    testing_support::ScopedHook<scanners::InstallProductScanners> products_{std::make_unique<NoProducts>()};
};

}  // namespace

TEST_F(FileCache, PassAndDocumentAreByteIdenticalWithAndWithoutTheCache) {
    const auto without = Pass(false);
    ASSERT_NE(without.second.find("<ProgName>Alpha</ProgName>"), std::string::npos) << without.second;
    ASSERT_NE(without.second.find("<Md5Id src=\"exe\">"), std::string::npos);

    EXPECT_EQ(Pass(), without);  // no file yet: a cold cache
    EXPECT_EQ(Pass(), without);  // the cache in memory
    fileid::ProcessFileCache().Close();
    EXPECT_EQ(Pass(), without);  // read back from its file

    // Each program that was read is in the file, with its version and digest;
    // the file without a version resource is kept as such.
    const auto entries = fileid::CFileCache::Parse(CacheText());
    ASSERT_TRUE(entries);
    // Four in the menu, the plain shortcut and the two programs the shortcuts name.
    EXPECT_EQ(entries->size(), 7u);
    const auto& alpha = entries->at(Win(menu_ + "/alpha.exe"));
    EXPECT_EQ(alpha.versionResult, fileid::kOk);
    EXPECT_EQ(alpha.md5.size(), 32u);
    EXPECT_NE(entries->at(Win(menu_ + "/broken.exe")).versionResult, fileid::kOk);

    // A plain shortcut was read once (by the first pass with the cache); the
    // installer's is asked every time, its target being the installer's answer.
    EXPECT_EQ(system_->resolved[Win(menu_ + "/Delta.lnk")], 2);
    EXPECT_EQ(system_->resolved[Win(menu_ + "/Epsilon.lnk")], 4);
    EXPECT_TRUE(entries->at(Win(menu_ + "/Delta.lnk")).hasLink);
    EXPECT_EQ(entries->count(Win(menu_ + "/Epsilon.lnk")), 0u);
}

// While the products are scanned, a second thread reads the folders' files
// ahead into the cache; the walk then finds them there, and the pass and the
// document are what they are without it.
TEST_F(FileCache, TheReadAheadFillsTheCacheWhileProductsAreScannedAndChangesNothing) {
    const auto without = Pass(false);
    const std::string delta = Win(menu_ + "/Delta.lnk");
    const std::string epsilon = Win(menu_ + "/Epsilon.lnk");
    ASSERT_EQ(system_->resolved[delta], 1);
    system_->resolvedOn.clear();

    system_->readAhead = true;
    testing_support::ScopedHook<scanners::InstallProductScanners> products{
        std::make_unique<ProductsAfterReadAhead>(*system_)};
    EXPECT_EQ(Pass(), without);
    // The plain shortcut was read once, on the second thread; the installer's
    // is never kept, so the walk asked for it again on its own.
    EXPECT_EQ(system_->resolved[delta], 2);
    EXPECT_EQ(system_->resolvedOn[delta].count(std::this_thread::get_id()), 0u);
    EXPECT_EQ(system_->resolved[epsilon], 3);
    EXPECT_EQ(system_->resolvedOn[epsilon].size(), 2u);
}

TEST_F(FileCache, AChangedFileIsReadAgainAndAGoneOneIsDropped) {
    Pass();
    const std::string alpha = menu_ + "/alpha.exe";
    struct stat before {};
    ASSERT_EQ(::stat(alpha.c_str(), &before), 0);

    // New contents of the same size with the old time: taken for the same file.
    Put("alpha.exe", ProgramImage("Alpha", "9.0"));
    struct timespec keep[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, alpha.c_str(), keep, 0), 0);
    EXPECT_NE(Pass().second.find("<InstalledVers>1.0</InstalledVers>"), std::string::npos);

    // A newer time: read again.
    struct timespec later[2] = {before.st_atim, before.st_mtim};
    later[1].tv_sec += 10;
    ASSERT_EQ(::utimensat(AT_FDCWD, alpha.c_str(), later, 0), 0);
    const std::string document = Pass().second;
    EXPECT_NE(document.find("<InstalledVers>9.0</InstalledVers>"), std::string::npos);
    EXPECT_EQ(document.find("<InstalledVers>1.0</InstalledVers>"), std::string::npos);

    // A program no longer found leaves the file at the next save.
    std::filesystem::remove(menu_ + "/beta.exe");
    Pass();
    const auto entries = fileid::CFileCache::Parse(CacheText());
    ASSERT_TRUE(entries);
    EXPECT_EQ(entries->count(Win(menu_ + "/beta.exe")), 0u);
    EXPECT_EQ(entries->size(), 6u);
}

TEST_F(FileCache, ADamagedCacheFileIsLoggedAndRebuilt) {
    const auto without = Pass(false);
    testsupport::LogCapture log;
    for (const char* damaged : {"garbage", ("VarnelFileCache\t1\nC:\\a.exe\t1\t2\t-\t\t\n")}) {
        testsupport::WriteFile(root_.File(fileid::kFileCacheName), damaged);
        fileid::ProcessFileCache().Close();
        EXPECT_EQ(Pass(), without);
        EXPECT_TRUE(log.Contains("The file cache " + cacheFile_ + " is damaged; it is rebuilt."));
        EXPECT_TRUE(fileid::CFileCache::Parse(CacheText()));
    }
}

TEST(FileCacheFormat, ReadsWhatItWritesAndRefusesACutFile) {
    fileid::CFileCache::Entries entries;
    auto& program = entries["C:\\Program Files\\App\\app.exe"];
    program.stamp = {123456, 133000000000000000ull};
    program.hasVersion = true;
    program.versionResult = fileid::kOk;
    program.versionBytes = std::string("\x00\x01\xfe\xff", 4);
    program.md5 = "5d41402abc4b2a76b9719d911017c592";
    auto& plain = entries["C:\\plain.exe"];
    plain.hasVersion = true;
    plain.versionResult = fileid::FromSystemError(fileid::kErrorResourceTypeNotFound);
    entries["C:\\Tab\there.exe"].md5 = program.md5;  // a path the format cannot hold is left out
    auto& link = entries["C:\\Menu\\App.lnk"];
    link.hasLink = true;
    link.link = {"C:\\App\\app.exe", "-a\tb", "line\nbreak"};

    const std::string text = fileid::CFileCache::Serialize(entries);
    const auto back = fileid::CFileCache::Parse(text);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->size(), 3u);
    EXPECT_EQ(back->at("C:\\Menu\\App.lnk").link.description, "line\nbreak");
    EXPECT_EQ(back->at("C:\\Menu\\App.lnk").link.arguments, "-a\tb");
    const auto& read = back->at("C:\\Program Files\\App\\app.exe");
    EXPECT_EQ(read.stamp, program.stamp);
    EXPECT_EQ(read.versionBytes, program.versionBytes);
    EXPECT_EQ(read.md5, program.md5);
    EXPECT_EQ(back->at("C:\\plain.exe").versionResult, plain.versionResult);
    EXPECT_FALSE(fileid::CFileCache::Parse(text.substr(0, text.size() - 1)));
    EXPECT_FALSE(fileid::CFileCache::Parse(text.substr(0, text.find("end"))));
}
