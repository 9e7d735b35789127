// Program discovery against Wine's shell, msi.dll and process functions:
// shortcuts made through the shell link object (also on a thread without
// COM), installer shortcuts of an installed package, folder links that a walk
// must not follow, the program registered for a document type, a whole
// inventory pass over a Start Menu tree of test folders (the special folders
// are pointed there through the discovery system), running programs with and
// without a window, and a stop in the middle of a walk.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <thread>

#include <shlobj.h>
#include <shobjidl.h>

#include "common/scoped_hook.h"
#include "common/temp_folder.h"
#include "common/wine.h"
#include "inventory/watch_list.h"
#include "platform/log.h"
#include "platform/notifier.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "platform/win/com.h"
#include "platform/win/handles.h"
#include "platform/win/wide.h"
#include "scanners/file_cache.h"
#include "scanners/file_identity.h"
#include "scanners/program_discovery.h"
#include "scanners/win/discovery_system_win.h"

using scanners::SpecialFolder;

namespace {

std::string WinPath(const std::string& base, const std::string& relative) {
    std::string path = base + "\\" + relative;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

std::string Fixture(const char* folder, const std::string& name) {
    return WinPath(std::string("Z:") + VARNEL_BINARY_DIR + "/fixtures/" + folder, name);
}

// A shortcut made as the shell makes them.
HRESULT MakeShortcutW(const std::wstring& path, const std::wstring& target, const std::wstring& arguments = L"",
                      const std::wstring& description = L"") {
    platform::ComPtr<IShellLinkW> link;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(link.GetAddressOf()));
    if (FAILED(hr)) return hr;
    if (FAILED(hr = link->SetPath(target.c_str()))) return hr;
    if (FAILED(hr = link->SetArguments(arguments.c_str()))) return hr;
    if (FAILED(hr = link->SetDescription(description.c_str()))) return hr;
    platform::ComPtr<IPersistFile> file;
    if (FAILED(hr = link.As(&file))) return hr;
    return file->Save(path.c_str(), TRUE);
}

HRESULT MakeShortcut(const std::string& path, const std::string& target, const std::string& arguments = "",
                     const std::string& description = "") {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    return MakeShortcutW(platform::Widen(path), platform::Widen(target), platform::Widen(arguments),
                         platform::Widen(description));
}

void CopyTo(const std::string& from, const std::string& to) {
    std::filesystem::create_directories(std::filesystem::path(to).parent_path());
    ASSERT_TRUE(CopyFileA(from.c_str(), to.c_str(), FALSE)) << from << " -> " << to;
}

void WriteText(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    platform::UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file);
    DWORD written = 0;
    WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// The installer's packed form of a GUID: its four double words (as stored)
// in base 85, five digits each, lowest digit first.
std::string PackedGuid(const std::string& text) {
    static const char kDigits[] = "!$%&'()*+,-.0123456789=?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[]^_`abcdefghijklmnopqrstuvwxyz{}~";
    GUID guid = {};
    EXPECT_EQ(CLSIDFromString(platform::Widen(text).c_str(), &guid), S_OK);
    uint32_t words[4];
    static_assert(sizeof words == sizeof guid);
    memcpy(words, &guid, sizeof words);
    std::string packed;
    for (uint32_t word : words) {
        for (int digit = 0; digit < 5; ++digit, word /= 85) packed += kDigits[word % 85];
    }
    return packed;
}

// An installer shortcut as the Windows Installer writes one: a link header
// and a descriptor block naming product, feature and component, no target.
// (Written byte by byte: Wine's link object cannot add the block, and its
// installer writes such shortcuts as plain links.)
void MakeInstallerShortcut(const std::string& path, const std::string& product, const std::string& feature,
                           const std::string& component) {
    const std::string descriptor = PackedGuid(product) + feature + ">" + PackedGuid(component);
    std::string bytes;
    auto put32 = [&bytes](uint32_t v) { bytes.append(reinterpret_cast<const char*>(&v), 4); };
    put32(0x4C);                                   // header size
    const GUID shellLink = CLSID_ShellLink;
    bytes.append(reinterpret_cast<const char*>(&shellLink), sizeof shellLink);
    put32(0x1000);                                 // flags: has a descriptor block
    bytes.append(4 + 3 * 8 + 4 + 4, '\0');        // attributes, times, size, icon index
    put32(1);                                      // show normally
    bytes.append(2 + 2 + 4 + 4, '\0');            // hot key, reserved
    put32(0x314);                                  // descriptor block: size and signature
    put32(EXP_DARWIN_ID_SIG);
    std::string ansi(MAX_PATH, '\0');
    ansi.replace(0, descriptor.size(), descriptor);
    bytes += ansi;
    for (size_t i = 0; i < MAX_PATH; ++i) {
        bytes += i < descriptor.size() ? descriptor[i] : '\0';
        bytes += '\0';
    }
    put32(0);  // no further blocks
    WriteText(path, bytes);
}

// A document type of the test's own: the extension and the program that
// opens it, registered under HKEY_CLASSES_ROOT for the test's lifetime.
class DocumentType {
public:
    DocumentType(const std::string& extension, const std::string& program) : extension_(extension) {
        Remove();
        SetDefault(extension_, kProgId);
        SetDefault(std::string(kProgId) + "\\shell\\open\\command", "\"" + program + "\" \"%1\"");
    }
    ~DocumentType() { Remove(); }
    DocumentType(const DocumentType&) = delete;
    DocumentType& operator=(const DocumentType&) = delete;

private:
    static constexpr char kProgId[] = "VarnelTests.Document";
    static void SetDefault(const std::string& key, const std::string& value) {
        EXPECT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, value.c_str(), static_cast<DWORD>(value.size())),
                  ERROR_SUCCESS);
    }
    void Remove() {
        RegDeleteTreeA(HKEY_CLASSES_ROOT, extension_.c_str());
        RegDeleteTreeA(HKEY_CLASSES_ROOT, kProgId);
    }
    std::string extension_;
};

// The Windows system with its special folders moved to test folders; it
// counts the shortcuts it resolves.
class TestFolderSystem final : public scanners::CWinDiscoverySystem {
public:
    std::string SpecialFolderPath(SpecialFolder folder) override {
        const auto it = folders.find(folder);
        return it == folders.end() ? std::string() : it->second;
    }
    scanners::LinkResult ResolveShortcut(const std::string& path, scanners::ShortcutInfo& info) override {
        ++resolved;
        return CWinDiscoverySystem::ResolveShortcut(path, info);
    }
    std::map<SpecialFolder, std::string> folders;
    std::atomic<int> resolved{0};  // the pass may resolve on a second thread
};

using testing_wine::UnixPathOf;

// Starts a Unix program (Wine runs them, but gives no handle to wait on) and
// waits up to five seconds for `done`.
bool RunUnix(const std::string& program, const std::string& commandLine, const std::function<bool()>& done) {
    if (!testing_wine::Start(commandLine, program)) return false;
    for (int i = 0; i < 100 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return done();
}

// A symbolic link to a folder for the test's lifetime, made on the Unix side
// (Wine's CreateSymbolicLink creates nothing, and it sets no junctions); Wine
// lists it as a folder that is a reparse point. Removed the same way, since
// Windows calls would go through it.
class UnixFolderLink {
public:
    UnixFolderLink(const std::string& link, const std::string& target) : link_(link), unixLink_(UnixPathOf(link)) {
        const std::string unixTarget = UnixPathOf(target);
        made_ = !unixLink_.empty() && !unixTarget.empty() &&
                RunUnix("/bin/ln", "/bin/ln -s \"" + unixTarget + "\" \"" + unixLink_ + "\"",
                        [this] { return GetFileAttributesA(link_.c_str()) != INVALID_FILE_ATTRIBUTES; });
    }
    ~UnixFolderLink() {
        if (made_) {
            EXPECT_TRUE(RunUnix("/bin/rm", "/bin/rm -f \"" + unixLink_ + "\"",
                                [this] { return GetFileAttributesA(link_.c_str()) == INVALID_FILE_ATTRIBUTES; }));
        }
    }
    UnixFolderLink(const UnixFolderLink&) = delete;
    UnixFolderLink& operator=(const UnixFolderLink&) = delete;
    bool Made() const { return made_; }

private:
    std::string link_;
    std::string unixLink_;
    bool made_ = false;
};

// A fixture program started for a test and ended with it.
class RunningProgram {
public:
    explicit RunningProgram(const std::string& path) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        std::string commandLine = "\"" + path + "\"";
        PROCESS_INFORMATION info = {};
        if (CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                           nullptr, &startup, &info)) {
            process_.reset(info.hProcess);
            CloseHandle(info.hThread);
            id_ = info.dwProcessId;
            WaitForInputIdle(info.hProcess, 10000);
        }
    }
    ~RunningProgram() {
        if (process_) {
            TerminateProcess(process_.get(), 0);
            WaitForSingleObject(process_.get(), 10000);
        }
    }
    bool Started() const { return static_cast<bool>(process_); }
    uint32_t Id() const { return id_; }
    // Waits up to ten seconds for a visible window of the program.
    bool WaitForWindow() const {
        for (int i = 0; i < 100; ++i) {
            if (scanners::FirstVisibleWindowOf(id_) != nullptr) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

private:
    platform::UniqueHandle process_;
    uint32_t id_ = 0;
};

// An installer package installed silently for a test and removed after it.
class InstalledPackage {
public:
    explicit InstalledPackage(const std::string& msi) : msi_(msi) {
        installed_ = testing_wine::RunAndWait("msiexec.exe /i \"" + msi_ + "\" /qn", std::chrono::minutes(1)) == 0;
    }
    ~InstalledPackage() { testing_wine::RunAndWait("msiexec.exe /x \"" + msi_ + "\" /qn", std::chrono::minutes(1)); }
    InstalledPackage(const InstalledPackage&) = delete;
    InstalledPackage& operator=(const InstalledPackage&) = delete;
    bool Installed() const { return installed_; }

private:
    std::string msi_;
    bool installed_ = false;
};

// Product scanners that find nothing, so that the folder tests see only
// their folders whatever the prefix has installed.
class NoProducts final : public scanners::IProductScanners {
public:
    bool ScanComponents(VN_WatchList&, const scanners::ItemFromFileFn&) override { return false; }
    bool ScanInstalledProducts(VN_WatchList&) override { return false; }
};

// No products either; the scan lasts until `done` holds (at most ten seconds).
class ProductsUntil final : public scanners::IProductScanners {
public:
    explicit ProductsUntil(std::function<bool()> done) : done_(std::move(done)) {}
    bool ScanComponents(VN_WatchList&, const scanners::ItemFromFileFn&) override { return false; }
    bool ScanInstalledProducts(VN_WatchList&) override {
        for (int i = 0; i < 200 && !done_(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return false;
    }

private:
    std::function<bool()> done_;
};

// A notifier that requests a stop of the list when the first item is announced.
class StopOnFirstNotice final : public platform::INotifier {
public:
    explicit StopOnFirstNotice(VN_WatchList& list) : list_(list) {}
    bool Post(platform::WindowHandle, uint32_t, uintptr_t, intptr_t) override {
        ++posted;
        list_.SetStop();
        return true;
    }
    intptr_t Send(platform::WindowHandle, uint32_t, uintptr_t, intptr_t) override { return 0; }
    int posted = 0;

private:
    VN_WatchList& list_;
};

class DiscoveryWin : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(com_.ok());
        for (auto [folder, name] : {std::pair{SpecialFolder::StartMenu, "StartMenu"},
                                    {SpecialFolder::CommonStartMenu, "CommonStartMenu"},
                                    {SpecialFolder::AppData, "AppData"},
                                    {SpecialFolder::Desktop, "Desktop"},
                                    {SpecialFolder::Recent, "Recent"}}) {
            system_.folders[folder] = Path(name);
            std::filesystem::create_directories(Path(name));
        }
    }
    std::string Path(const std::string& relative) const { return WinPath(root_, relative); }
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const VN_WatchItem* item : list_.WatchItems()) names.insert(item->progName);
        return names;
    }
    const VN_WatchItem* Named(const std::string& name) const {
        for (const VN_WatchItem* item : list_.WatchItems()) {
            if (item->progName == name) return item;
        }
        return nullptr;
    }

    platform::ComInit com_;
    testing_support::ScopedHook<platform::InstallSettingsStore> settings_{platform::MakeMemorySettingsStore()};
    testing_support::ScopedHook<platform::InstallNotifier> notifier_{nullptr};
    testing_support::TempFolder folder_{"varnel-discovery"};
    std::string root_ = folder_.str();
    TestFolderSystem system_;
    VN_WatchList list_;
    NoProducts noProducts_;
    scanners::VN_ProgramDiscovery discovery_{list_, system_, noProducts_};
};

}  // namespace

TEST_F(DiscoveryWin, ShortcutsResolveThroughTheShell) {
    const std::string target = Path("Programs\\fifty.exe");
    CopyTo(Fixture("version", "product_50.exe"), target);
    const std::string link = Path("StartMenu\\Fifty.lnk");
    ASSERT_EQ(MakeShortcut(link, target, "/quiet /x", "Starts Fifty"), S_OK);

    scanners::ShortcutInfo info;
    ASSERT_EQ(scanners::GetLinkInfo(link, info), scanners::kLinkOk);
    EXPECT_TRUE(textutil::EqualsNoCase(info.target, target)) << info.target;
    EXPECT_EQ(info.arguments, "/quiet /x");
    EXPECT_EQ(info.description, "Starts Fifty");
    EXPECT_EQ(info.productCode, "");  // not an installer shortcut

    // A file that only carries the extension does not resolve, and says why.
    WriteText(Path("StartMenu\\damaged.lnk"), "this is not a shell link");
    EXPECT_LT(scanners::GetLinkInfo(Path("StartMenu\\damaged.lnk"), info), 0);
    EXPECT_LT(scanners::GetLinkInfo(Path("StartMenu\\absent.lnk"), info), 0);
    EXPECT_EQ(info.target, "");
}

TEST_F(DiscoveryWin, ShortcutsResolveOnAThreadWithoutCom) {
    const std::string target = Path("Programs\\fifty.exe");
    CopyTo(Fixture("version", "product_50.exe"), target);
    const std::string link = Path("StartMenu\\Fifty.lnk");
    ASSERT_EQ(MakeShortcut(link, target), S_OK);

    scanners::LinkResult result = scanners::kLinkFail;
    scanners::ShortcutInfo info;
    HRESULT comBefore = S_OK;
    std::thread([&] {
        APTTYPE type;
        APTTYPEQUALIFIER qualifier;
        comBefore = CoGetApartmentType(&type, &qualifier);
        result = scanners::GetLinkInfo(link, info);
    }).join();
    EXPECT_EQ(comBefore, CO_E_NOTINITIALIZED) << "the thread was to start without COM";
    EXPECT_EQ(result, scanners::kLinkOk);
    EXPECT_TRUE(textutil::EqualsNoCase(info.target, target)) << info.target;
}

TEST_F(DiscoveryWin, FolderWalksDoNotFollowLinksToFolders) {
    // Junctions, mount points and symbolic links name another folder; cloud
    // placeholders and other reparse points keep their own contents.
    EXPECT_TRUE(scanners::IsWalkableFolder(FILE_ATTRIBUTE_DIRECTORY, 0));
    EXPECT_FALSE(scanners::IsWalkableFolder(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT,
                                            IO_REPARSE_TAG_MOUNT_POINT));
    EXPECT_FALSE(
        scanners::IsWalkableFolder(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, IO_REPARSE_TAG_SYMLINK));
    EXPECT_TRUE(scanners::IsWalkableFolder(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, 0x9000601Au));
    EXPECT_FALSE(scanners::IsWalkableFolder(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT, 0x9000601Au));

    // A link on the Start Menu to the folder that holds the Start Menu: the
    // walk finds the one shortcut once, and ends.
    CopyTo(Fixture("version", "product_50.exe"), Path("Programs\\fifty.exe"));
    ASSERT_EQ(MakeShortcut(Path("StartMenu\\Fifty.lnk"), Path("Programs\\fifty.exe")), S_OK);
    const UnixFolderLink back(Path("StartMenu\\Back to the root"), root_);
    if (!back.Made()) GTEST_SKIP() << "no folder link could be made (not under Wine?)";
    bool listedAsFolder = true;
    for (const scanners::FolderEntry& entry : scanners::ListFolder(Path("StartMenu"))) {
        if (entry.name == "Back to the root") listedAsFolder = entry.directory;
    }
    EXPECT_FALSE(listedAsFolder);
    EXPECT_FALSE(discovery_.SearchDirectory(Path("StartMenu")));
    EXPECT_EQ(system_.resolved.load(), 1);
    EXPECT_EQ(Names(), (std::set<std::string>{"Fifty"}));
}

TEST_F(DiscoveryWin, InstallerShortcutsNameTheirProductAndComponent) {
    constexpr char kProduct[] = "{6D0A4E55-8F11-4C2B-9A31-2B7C1E5D0A01}";
    constexpr char kComponent[] = "{6D0A4E55-8F11-4C2B-9A31-2B7C1E5D0A03}";
    InstalledPackage package(Fixture("discovery", "advertised.msi"));
    ASSERT_TRUE(package.Installed());
    // (Wine's installer writes its shortcuts as plain links, so the test
    // writes the installer shortcut itself.)
    const std::string link = Path("StartMenu\\Advertised Fixture.lnk");
    MakeInstallerShortcut(link, kProduct, "Main", kComponent);

    scanners::ShortcutInfo info;
    ASSERT_EQ(scanners::GetLinkInfo(link, info), scanners::kLinkOk);
    EXPECT_TRUE(textutil::EqualsNoCase(info.productCode, kProduct)) << info.productCode;
    EXPECT_TRUE(textutil::EqualsNoCase(info.componentGuid, kComponent)) << info.componentGuid;
    EXPECT_TRUE(textutil::EndsWithNoCase(info.target, "\\Varnel Advertised Fixture\\advertised.exe")) << info.target;

    // A product the installer does not know: the link itself is read, which
    // names no file.
    const std::string unknown = Path("Elsewhere\\Unknown.lnk");
    MakeInstallerShortcut(unknown, "{6D0A4E55-8F11-4C2B-9A31-2B7C1E5D0AFF}", "Main", kComponent);
    EXPECT_GE(scanners::GetLinkInfo(unknown, info), 0);
    EXPECT_TRUE(textutil::EqualsNoCase(info.productCode, "{6D0A4E55-8F11-4C2B-9A31-2B7C1E5D0AFF}"));
    EXPECT_EQ(info.target, "");
    VN_WatchItem nothing;
    EXPECT_EQ(discovery_.ItemFromFile(unknown, nothing, true), scanners::kItemFileMissing);

    // Found in a folder, it brings its program and its whole product.
    EXPECT_FALSE(discovery_.SearchDirectory(Path("StartMenu")));
    ASSERT_EQ(list_.GetCount(), 2u);
    const VN_WatchItem* program = Named("Advertised Fixture");
    ASSERT_NE(program, nullptr);
    EXPECT_TRUE(textutil::EqualsNoCase(program->productGuid, kProduct));
    EXPECT_TRUE(textutil::EqualsNoCase(program->componentGuid, kComponent));
    EXPECT_EQ(program->installedVers, "50.2 beta");
    const VN_WatchItem* suite = list_.WatchItems()[1];
    EXPECT_TRUE(suite->IsSuite());
    EXPECT_TRUE(textutil::EqualsNoCase(suite->productGuid, kProduct));
}

TEST_F(DiscoveryWin, SlowPassFindsInstallerComponentsAndProducts) {
    constexpr char kProduct[] = "{5A1B7C3D-0003-4E6F-8A9B-0C1D2E3F4A51}";
    constexpr char kComponent[] = "{5A1B7C3D-0003-4E6F-8A9B-0C1D2E3F4A53}";
    InstalledPackage package(Fixture("msi", "component_program.msi"));
    ASSERT_TRUE(package.Installed());
    platform::AppSettings().WriteFlag(setting::kScanAllMySoftware, false);

    // The machine's own product scanners, as the agent runs them.
    scanners::VN_ProgramDiscovery discovery(list_, system_, scanners::ProductScanners());
    EXPECT_TRUE(discovery.ScanInventory(nullptr, 0, true));
    const VN_WatchItem* component = nullptr;
    const VN_WatchItem* suite = nullptr;
    for (const VN_WatchItem* item : list_.WatchItems()) {
        if (!textutil::EqualsNoCase(item->productGuid, kProduct)) continue;
        if (item->componentGuid.empty()) suite = item;
        else component = item;
    }
    ASSERT_NE(component, nullptr);
    EXPECT_TRUE(textutil::EqualsNoCase(component->componentGuid, kComponent));
    EXPECT_EQ(component->progName, "Year Suite 2007");  // from the program's version resource
    EXPECT_TRUE(textutil::EndsWithNoCase(component->targetName, "\\suiteapp.exe"));
    EXPECT_TRUE(component->comFromReg);
    ASSERT_NE(suite, nullptr);
    EXPECT_EQ(suite->removed, item_state::kPresent);  // the installer still names the product
}

TEST_F(DiscoveryWin, SpecialFoldersAndDocumentTypes) {
    scanners::CWinDiscoverySystem real;
    for (SpecialFolder folder : {SpecialFolder::StartMenu, SpecialFolder::AppData, SpecialFolder::Desktop,
                                 SpecialFolder::Recent}) {
        const std::string path = real.SpecialFolderPath(folder);
        EXPECT_FALSE(path.empty()) << static_cast<int>(folder);
        EXPECT_LT(path.size(), size_t{MAX_PATH});
    }

    // The program registered for a document type.
    CopyTo(Fixture("version", "product_2007.exe"), Path("Programs\\editor.exe"));
    DocumentType notes(".vntxt", Path("Programs\\editor.exe"));
    WriteText(Path("Documents\\readme.vntxt"), "hello");
    EXPECT_TRUE(textutil::EqualsNoCase(real.ProgramForDocument(Path("Documents\\readme.vntxt")),
                                       Path("Programs\\editor.exe")));
    EXPECT_EQ(real.ProgramForDocument(Path("Documents\\unknown.vnnone")), "");

    // Network places, told from the path and the drive table.
    for (const char* path : {"\\\\server\\share\\report.vntxt", "//server/share/report.vntxt",
                             "\\\\?\\UNC\\server\\share\\report.vntxt"})
        EXPECT_TRUE(real.IsNetworkPath(path)) << path;
    for (const std::string& path : {Path("Documents\\readme.vntxt"), "\\\\?\\" + Path("Documents\\readme.vntxt"),
                                    std::string("Z:\\tmp\\report.vntxt"), std::string("report.vntxt")})
        EXPECT_FALSE(real.IsNetworkPath(path)) << path;

    // A shortcut to a document on a share is passed over without a look at
    // the share (its server does not exist; a look would fail as missing).
    ASSERT_EQ(MakeShortcut(Path("Recent\\report.lnk"), "\\\\varnel-nowhere\\share\\report.vntxt"), S_OK);
    VN_WatchItem item;
    EXPECT_EQ(discovery_.ItemFromFile(Path("Recent\\report.lnk"), item, true), scanners::kItemNetworkDocument);
}

TEST_F(DiscoveryWin, FullPassOverAStartMenuTree) {
    CopyTo(Fixture("version", "product_50.exe"), Path("Programs\\foo.exe"));
    CopyTo(Fixture("version", "product_2007.exe"), Path("Programs\\nested.exe"));
    CopyTo(Fixture("version", "several_tables.exe"), Path("Programs\\gone.exe"));
    ASSERT_EQ(MakeShortcut(Path("StartMenu\\Shortcut to Foo.lnk"), Path("Programs\\foo.exe")), S_OK);
    ASSERT_EQ(MakeShortcut(Path("StartMenu\\Programs\\Tools\\Deep\\Nested.lnk"), Path("Programs\\nested.exe")), S_OK);
    ASSERT_EQ(MakeShortcut(Path("StartMenu\\Broken.lnk"), Path("Programs\\gone.exe")), S_OK);
    ASSERT_TRUE(DeleteFileA(Path("Programs\\gone.exe").c_str()));
    CopyTo(Fixture("version", "several_tables.exe"), Path("Programs\\editor.exe"));
    DocumentType notes(".vntxt", Path("Programs\\editor.exe"));
    WriteText(Path("Documents\\notes.vntxt"), "notes");
    ASSERT_EQ(MakeShortcut(Path("StartMenu\\Notes.lnk"), Path("Documents\\notes.vntxt")), S_OK);
    CopyTo(Fixture("version", "fallback_table.exe"), Path("CommonStartMenu\\driver.sys"));
    CopyTo(Fixture("version", "product_50.exe"), Path("Desktop\\library.dll"));
    CopyTo(Fixture("version", "no_version.exe"), Path("Desktop\\plain.exe"));
    ASSERT_EQ(MakeShortcut(Path("AppData\\Microsoft\\Internet Explorer\\Quick Launch\\Quick.lnk"),
                           Fixture("version", "no_translation.exe")),
              S_OK);

    EXPECT_TRUE(discovery_.ScanInventory(nullptr, 0, true));
    EXPECT_EQ(Names(), (std::set<std::string>{"Foo", "Nested", "Fallback", "Quick", "Beispiel"}));
    const VN_WatchItem* foo = Named("Foo");
    ASSERT_NE(foo, nullptr);
    EXPECT_EQ(foo->shortcutName, Path("StartMenu\\Shortcut to Foo.lnk"));
    EXPECT_EQ(foo->installedVers, "50.2 beta");
    EXPECT_EQ(foo->installedVers2, "50.2.0.1");
    EXPECT_EQ(foo->packageName, "Fifty");
    const VN_WatchItem* viaDocument = Named("Beispiel");  // the program that opens the document
    ASSERT_NE(viaDocument, nullptr);
    EXPECT_EQ(viaDocument->shortcutName, "");
    EXPECT_EQ(viaDocument->targetName, Path("Programs\\editor.exe"));
    const VN_WatchItem* driver = Named("Fallback");
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(driver->executableName, "driver.sys");

    // The second pass finds the same programs and merges them.
    const size_t count = list_.GetCount();
    EXPECT_TRUE(discovery_.ScanInventory(nullptr, 0, true));
    EXPECT_EQ(list_.GetCount(), count);

    // With the file cache open, a second thread resolves the five shortcuts
    // and reads their programs ahead while the products are scanned; the walk
    // then resolves none itself, and finds the same items.
    const auto fields = [](const VN_WatchList& list) {
        std::set<std::string> out;
        for (const VN_WatchItem* item : list.WatchItems())
            out.insert(item->progName + "|" + item->shortcutName + "|" + item->targetName + "|" + item->installedVers +
                       "|" + item->installedVers2 + "|" + item->packageName);
        return out;
    };
    const int before = system_.resolved;
    fileid::ProcessFileCache().Open(Path("filecache.db"));
    VN_WatchList again;
    ProductsUntil readAhead([&] { return system_.resolved >= before + 5; });
    EXPECT_TRUE(scanners::VN_ProgramDiscovery(again, system_, readAhead).ScanInventory(nullptr, 0, true));
    fileid::ProcessFileCache().Close();
    EXPECT_EQ(system_.resolved.load(), before + 5);
    EXPECT_EQ(fields(again), fields(list_));
}

// A user whose name the ANSI code page cannot hold has a profile folder named
// after it. The shell's folders, the shortcuts there (one of them itself named
// outside the code page, in a folder named so) and a program running from
// there must all come back as 8-bit paths that open, so that their programs
// are found. The shortcuts' targets lie elsewhere: Wine keeps a link's target
// path in 8 bits only (its ID list has the real names, but its GetPath
// answers from the 8-bit copy), where Windows keeps it in UTF-16.
TEST_F(DiscoveryWin, ProgramsInFoldersNamedOutsideTheCodePageAreFound) {
    const std::wstring profile = platform::Widen(root_) + L"\\Varnel \u0141ukasz \u4E2D";
    const std::wstring menu = profile + L"\\Start Menu";
    const std::wstring programs = profile + L"\\Programs";
    for (const std::wstring& folder : {profile, menu, menu + L"\\\u4E2D Tools", programs})
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const auto copy = [&](const std::string& fixture, const std::wstring& to) {
        ASSERT_TRUE(CopyFileW(platform::Widen(fixture).c_str(), to.c_str(), FALSE));
    };
    CopyTo(Fixture("version", "product_50.exe"), Path("Programs\\fifty.exe"));
    CopyTo(Fixture("version", "product_2007.exe"), Path("Programs\\suite.exe"));
    copy(Fixture("discovery", "window_app.exe"), programs + L"\\window_app.exe");
    ASSERT_EQ(MakeShortcutW(menu + L"\\Fifty.lnk", platform::Widen(Path("Programs\\fifty.exe"))), S_OK);
    ASSERT_EQ(MakeShortcutW(menu + L"\\\u4E2D Tools\\Suite \u4E2D.lnk", platform::Widen(Path("Programs\\suite.exe")),
                            L"/open", L"Opens \u4E2D"),
              S_OK);

    // The shell's Start Menu moved there, as a profile named so puts it.
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER,
                                L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", 0,
                                KEY_QUERY_VALUE | KEY_SET_VALUE, &key),
                  ERROR_SUCCESS);
        platform::UniqueKey keyHolder(key);
        wchar_t old[MAX_PATH] = {};
        DWORD oldType = REG_NONE;
        DWORD oldBytes = sizeof old;
        const bool hadOld = RegQueryValueExW(key, L"Start Menu", nullptr, &oldType, reinterpret_cast<BYTE*>(old),
                                             &oldBytes) == ERROR_SUCCESS;
        const auto set = [&](DWORD type, const void* data, DWORD bytes) {
            return RegSetValueExW(key, L"Start Menu", 0, type, static_cast<const BYTE*>(data), bytes);
        };
        ASSERT_EQ(set(REG_EXPAND_SZ, menu.c_str(), static_cast<DWORD>((menu.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
        const std::string shellMenu = scanners::CWinDiscoverySystem().SpecialFolderPath(SpecialFolder::StartMenu);
        if (hadOld) set(oldType, old, oldBytes);
        else RegDeleteValueW(key, L"Start Menu");
        EXPECT_EQ(shellMenu.find('?'), std::string::npos) << shellMenu;
        EXPECT_EQ(shellMenu, platform::AnsiPath(menu));
        EXPECT_NE(GetFileAttributesA((shellMenu + "\\Fifty.lnk").c_str()), INVALID_FILE_ATTRIBUTES) << shellMenu;
    }

    system_.folders[SpecialFolder::StartMenu] = platform::AnsiPath(menu);
    EXPECT_TRUE(discovery_.ScanInventory(nullptr, 0, true));
    EXPECT_EQ(Names(), (std::set<std::string>{"Fifty", "Year Suite 2007"}));
    for (const VN_WatchItem* item : list_.WatchItems()) {
        for (const std::string* path : {&item->targetName, &item->shortcutName}) {
            EXPECT_EQ(path->find('?'), std::string::npos) << *path;
            EXPECT_NE(GetFileAttributesA(path->c_str()), INVALID_FILE_ATTRIBUTES) << *path;
        }
    }
    const VN_WatchItem* suite = Named("Year Suite 2007");
    ASSERT_NE(suite, nullptr);
    EXPECT_EQ(suite->arguments, "/open");
    EXPECT_EQ(suite->description, "Opens ?");  // text keeps its nearest 8-bit form
    ASSERT_NE(Named("Fifty"), nullptr);
    EXPECT_EQ(Named("Fifty")->installedVers, "50.2 beta");

    // A program running from there.
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::wstring commandLine = L"\"" + programs + L"\\window_app.exe\"";
    ASSERT_TRUE(
        CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
    platform::UniqueHandle process(info.hProcess);
    CloseHandle(info.hThread);
    WaitForInputIdle(process.get(), 10000);
    std::string running;
    scanners::EnumerateProcessesNt([&](uint32_t id, const std::string& path) {
        if (id == info.dwProcessId) running = path;
        return id != info.dwProcessId;
    });
    TerminateProcess(process.get(), 0);
    WaitForSingleObject(process.get(), 10000);
    EXPECT_EQ(running.find('?'), std::string::npos) << running;
    EXPECT_TRUE(textutil::EndsWithNoCase(running, "\\window_app.exe")) << running;
    EXPECT_NE(GetFileAttributesA(running.c_str()), INVALID_FILE_ATTRIBUTES) << running;
}

TEST_F(DiscoveryWin, RunningProgramsAreFoundByTheirWindowAlsoInSoftwareIUse) {
    RunningProgram shown(Fixture("discovery", "window_app.exe"));
    RunningProgram hidden(Fixture("discovery", "hidden_app.exe"));
    ASSERT_TRUE(shown.Started());
    ASSERT_TRUE(hidden.Started());
    ASSERT_TRUE(shown.WaitForWindow()) << "no visible window (is there a display?)";

    // Both processes are enumerated with their program paths.
    std::map<uint32_t, std::string> processes;
    scanners::EnumerateProcessesNt([&](uint32_t id, const std::string& path) {
        processes[id] = path;
        return true;
    });
    EXPECT_TRUE(textutil::EndsWithNoCase(processes[shown.Id()], "\\window_app.exe")) << processes[shown.Id()];
    EXPECT_TRUE(textutil::EndsWithNoCase(processes[hidden.Id()], "\\hidden_app.exe")) << processes[hidden.Id()];
    EXPECT_TRUE(processes.count(GetCurrentProcessId()));
    std::set<uint32_t> snapshot;
    scanners::EnumerateProcessesToolhelp([&](uint32_t id, const std::string&) {
        snapshot.insert(id);
        return true;
    });
    EXPECT_TRUE(snapshot.count(shown.Id()) && snapshot.count(hidden.Id()));

    EXPECT_FALSE(discovery_.SearchOpenApplication());
    EXPECT_NE(Named("Window Fixture"), nullptr);
    EXPECT_EQ(Named("Hidden Fixture"), nullptr);

    // "Software I Use": the recent documents and the windows, nothing else.
    CopyTo(Fixture("version", "product_50.exe"), Path("Programs\\menu.exe"));
    CopyTo(Fixture("version", "product_2007.exe"), Path("Programs\\recent.exe"));
    ASSERT_EQ(MakeShortcut(Path("StartMenu\\Menu.lnk"), Path("Programs\\menu.exe")), S_OK);
    ASSERT_EQ(MakeShortcut(Path("Recent\\Recent.lnk"), Path("Programs\\recent.exe")), S_OK);
    platform::AppSettings().WriteFlag(setting::kScanAllMySoftware, false);
    platform::AppSettings().WriteFlag(setting::kScanSlowAllMySoftware, false);
    EXPECT_TRUE(discovery_.ScanInventory(nullptr, 0, true));
    EXPECT_EQ(Names(), (std::set<std::string>{"Recent", "Window Fixture"}));
}

TEST_F(DiscoveryWin, StopInTheMiddleOfAWalkRemovesNothing) {
    CopyTo(Fixture("version", "product_50.exe"), Path("Programs\\one.exe"));
    CopyTo(Fixture("version", "product_2007.exe"), Path("Programs\\two.exe"));
    CopyTo(Fixture("version", "several_tables.exe"), Path("Programs\\three.exe"));
    ASSERT_EQ(MakeShortcut(Path("StartMenu\\One.lnk"), Path("Programs\\one.exe")), S_OK);
    ASSERT_EQ(MakeShortcut(Path("StartMenu\\Sub\\Two.lnk"), Path("Programs\\two.exe")), S_OK);
    ASSERT_EQ(MakeShortcut(Path("Desktop\\Three.lnk"), Path("Programs\\three.exe")), S_OK);
    EXPECT_TRUE(discovery_.ScanInventory(nullptr, 0, true));
    ASSERT_EQ(Names(), (std::set<std::string>{"One", "Two", "Three"}));

    // The next pass is stopped by the first item it announces: every program
    // is gone from the folders, yet nothing is removed.
    std::filesystem::remove_all(Path("StartMenu"));
    std::filesystem::remove_all(Path("Desktop"));
    CopyTo(Fixture("version", "fallback_table.exe"), Path("Programs\\four.exe"));
    ASSERT_EQ(MakeShortcut(Path("StartMenu\\Four.lnk"), Path("Programs\\four.exe")), S_OK);
    ASSERT_EQ(MakeShortcut(Path("StartMenu\\Five.lnk"), Path("Programs\\four.exe"), "/five"), S_OK);
    auto notifier = std::make_unique<StopOnFirstNotice>(list_);
    StopOnFirstNotice* stopper = notifier.get();
    notifier_.Replace(std::move(notifier));
    int window = 0;
    EXPECT_FALSE(discovery_.ScanInventory(&window, 1, true));
    EXPECT_EQ(stopper->posted, 1);
    EXPECT_EQ(list_.GetCount(), 4u);  // the three earlier programs and the one found before the stop
    ASSERT_NE(Named("One"), nullptr);
    EXPECT_EQ(Named("One")->removed, item_state::kPresent);  // its file is still there
}
