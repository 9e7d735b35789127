// The inventory pass over a seeded machine: 2,000 uninstall entries and 500
// Start Menu shortcuts to 500 distinct programs with version resources. Times
// the whole pass on an empty watch list and as a rescan of a list that holds
// everything already, against a bare walk of the same registry keys and
// folders (the same values read, nothing else done); then the parts, to show
// where the time goes. Best of RUNS for every figure. The first pass runs
// without the file cache (none in memory, none on disk); the rescans with it
// in memory, read from its file, and without it.
//
// Usage: bench_discovery_win FIXTURE_FOLDER [RUNS]
//   FIXTURE_FOLDER holds the version fixtures (programs with version
//   resources); the first run in a prefix seeds it (registry entries under
//   HKEY_LOCAL_MACHINE, programs under C:\Varnel Bench, shortcuts in the
//   user's Start Menu) and later runs reuse what is there.
// Prints "name milliseconds" lines, then ratios.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <shlobj.h>
#include <shobjidl.h>

#include "inventory/watch_list.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "platform/win/com.h"
#include "platform/win/handles.h"
#include "platform/win/wide.h"
#include "platform/win/win.h"
#include "scanners/file_cache.h"
#include "scanners/file_identity.h"
#include "scanners/program_discovery.h"
#include "scanners/win/discovery_system_win.h"

namespace {

constexpr int kUninstallEntries = 2000;
constexpr int kPrograms = 500;
constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr char kProgramFolder[] = "C:\\Varnel Bench\\Programs";
const char* const kFixtures[] = {"product_50.exe", "product_2007.exe", "several_tables.exe", "fallback_table.exe"};
const char* const kUninstallValues[] = {"DisplayName",   "DisplayVersion",  "VersionMajor", "VersionMinor",
                                        "VersionString", "UninstallString", "DisplayIcon"};

double BestMilliseconds(const char* name, int runs, const std::function<void()>& setup,
                        const std::function<void()>& body) {
    std::fprintf(stderr, "%s...\n", name);
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        setup();
        const auto start = std::chrono::steady_clock::now();
        body();
        const auto end = std::chrono::steady_clock::now();
        const double ms = std::chrono::duration<double, std::milli>(end - start).count();
        std::fprintf(stderr, "  %.1f ms\n", ms);
        if (ms < best) best = ms;
    }
    return best;
}

bool SetText(HKEY key, const char* name, const std::string& value) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool MakeShortcut(const std::string& path, const std::string& target) {
    platform::ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(link.GetAddressOf()))))
        return false;
    platform::ComPtr<IPersistFile> file;
    return SUCCEEDED(link->SetPath(target.c_str())) && SUCCEEDED(link.As(&file)) &&
           SUCCEEDED(file->Save(platform::Widen(path).c_str(), TRUE));
}

std::string ShortcutFolder() {
    return scanners::ShellFolderPathOf(CSIDL_STARTMENU) + "\\Programs\\Varnel Bench";
}

std::string ProgramPath(int i) { return textutil::Format("%s\\app-%03d.exe", kProgramFolder, i); }

// Seeds the prefix once; false when that failed.
bool Seed(const std::string& fixtureFolder) {
    platform::UniqueKey uninstall;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, uninstall.put(),
                        nullptr) != ERROR_SUCCESS)
        return false;
    platform::UniqueKey marker;
    if (RegOpenKeyExA(uninstall.get(), "Varnel Bench 1999", 0, KEY_READ, marker.put()) != ERROR_SUCCESS) {
        for (int i = 0; i < kUninstallEntries; ++i) {
            platform::UniqueKey entry;
            const std::string name = textutil::Format("Varnel Bench %d", i);
            if (RegCreateKeyExA(uninstall.get(), name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, entry.put(),
                                nullptr) != ERROR_SUCCESS)
                return false;
            const DWORD major = 1 + i % 9;
            SetText(entry.get(), "DisplayName", textutil::Format("Bench Product %04d", i));
            SetText(entry.get(), "DisplayVersion", textutil::Format("%lu.%d.%d", major, i % 10, i));
            RegSetValueExA(entry.get(), "VersionMajor", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&major),
                           sizeof major);
            SetText(entry.get(), "Publisher", "Varnel Bench");
            SetText(entry.get(), "UninstallString",
                    textutil::Format("\"C:\\Program Files\\Bench %04d\\uninstall.exe\" /S", i));
            SetText(entry.get(), "DisplayIcon", textutil::Format("C:\\Program Files\\Bench %04d\\app.exe,0", i));
        }
    }
    if (!platform::FileExists(ShortcutFolder() + "\\App 499.lnk")) {
        SHCreateDirectoryExA(nullptr, kProgramFolder, nullptr);
        SHCreateDirectoryExA(nullptr, ShortcutFolder().c_str(), nullptr);
        for (int i = 0; i < kPrograms; ++i) {
            const std::string fixture = fixtureFolder + "\\" + kFixtures[i % 4];
            if (!CopyFileA(fixture.c_str(), ProgramPath(i).c_str(), FALSE)) return false;
            if (!MakeShortcut(textutil::Format("%s\\App %03d.lnk", ShortcutFolder().c_str(), i), ProgramPath(i)))
                return false;
        }
    }
    return true;
}

// The uninstall keys the product scan reads, opened as it opens them.
std::vector<std::pair<HKEY, REGSAM>> UninstallRoots() {
    return {{HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY}, {HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY}, {HKEY_CURRENT_USER, 0}};
}

// The registry half of the bare walk: every uninstall subkey's seven values.
int BareRegistryWalk() {
    int values = 0;
    for (const auto& [root, view] : UninstallRoots()) {
        platform::UniqueKey key;
        if (RegOpenKeyExA(root, kUninstallKey, 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) continue;
        char name[260];
        for (DWORD index = 0;; ++index) {
            DWORD chars = sizeof name;
            if (RegEnumKeyExA(key.get(), index, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            platform::UniqueKey entry;
            if (RegOpenKeyExA(key.get(), name, 0, KEY_READ | view, entry.put()) != ERROR_SUCCESS) continue;
            for (const char* value : kUninstallValues) {
                BYTE data[260];
                DWORD bytes = sizeof data;
                DWORD type = 0;
                if (RegQueryValueExA(entry.get(), value, nullptr, &type, data, &bytes) == ERROR_SUCCESS) ++values;
            }
        }
    }
    return values;
}

// The folder half of the bare walk: every entry of the searched folders.
void BareFolderWalk(const std::string& folder, int& files) {
    for (const scanners::FolderEntry& entry : scanners::ListFolder(folder)) {
        if (entry.directory) BareFolderWalk(folder + "\\" + entry.name, files);
        else ++files;
    }
}

// The file half of a bare pass: each shortcut loaded and asked for its
// target, each target's version resource read, through the raw calls.
int BareFileReads(const std::vector<std::string>& links) {
    int read = 0;
    for (const std::string& path : links) {
        platform::ComPtr<IShellLinkA> link;
        platform::ComPtr<IPersistFile> file;
        char target[MAX_PATH] = {};
        if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                    reinterpret_cast<void**>(link.GetAddressOf()))) ||
            FAILED(link.As(&file)) || FAILED(file->Load(platform::Widen(path).c_str(), STGM_READ)) ||
            FAILED(link->GetPath(target, MAX_PATH, nullptr, 0)))
            continue;
        DWORD handle = 0;
        const DWORD size = GetFileVersionInfoSizeA(target, &handle);
        std::vector<char> data(size);
        if (size != 0 && GetFileVersionInfoA(target, 0, size, data.data())) ++read;
    }
    return read;
}

std::vector<std::string> SearchedFolders(scanners::IDiscoverySystem& system) {
    using scanners::SpecialFolder;
    return {system.SpecialFolderPath(SpecialFolder::StartMenu),
            system.SpecialFolderPath(SpecialFolder::CommonStartMenu),
            system.SpecialFolderPath(SpecialFolder::AppData) + "\\Microsoft\\Internet Explorer\\Quick Launch",
            system.SpecialFolderPath(SpecialFolder::Desktop), system.SpecialFolderPath(SpecialFolder::Recent)};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_discovery_win FIXTURE_FOLDER [RUNS]\n");
        return 2;
    }
    const std::string fixtures = argv[1];
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    platform::ComInit com;
    platform::InstallSettingsStore(platform::MakeMemorySettingsStore());  // the default scan mode
    std::fprintf(stderr, "seeding...\n");
    if (!Seed(fixtures)) {
        std::fprintf(stderr, "bench_discovery_win: could not seed the prefix\n");
        return 1;
    }
    scanners::IDiscoverySystem& system = scanners::DiscoverySystem();
    const std::vector<std::string> folders = SearchedFolders(system);

    std::unique_ptr<VN_WatchList> list;
    fileid::CFileCache& cache = fileid::ProcessFileCache();
    const std::string cacheFile = platform::DataFolder() + "\\" + fileid::kFileCacheName;
    // No file cache, in memory or on disk: the agent's very first pass.
    auto noCache = [&] {
        cache.Close();
        platform::RemoveFile(cacheFile);
    };
    auto fresh = [&] {
        noCache();
        list = std::make_unique<VN_WatchList>();
    };
    auto filled = [&] {
        fresh();
        scanners::ScanInventory(*list, nullptr, 0, true);
    };
    auto pass = [&] { scanners::ScanInventory(*list, nullptr, 0, true); };

    std::map<std::string, double> ms;
    ms["pass_empty_list"] = BestMilliseconds("pass_empty_list", runs, fresh, pass);
    filled();
    const size_t items = list->GetCount();
    // The agent's rescan: the cache in memory from the pass before.
    ms["pass_rescan"] = BestMilliseconds("pass_rescan", runs, [] {}, pass);
    // The first pass after the agent started again: the cache read from its file.
    ms["pass_rescan_cache_file"] = BestMilliseconds(
        "pass_rescan_cache_file", runs, [&] { cache.Close(); }, pass);
    // A rescan without any cache, as every pass was before it existed.
    ms["pass_rescan_no_cache"] = BestMilliseconds("pass_rescan_no_cache", runs, noCache, pass);
    noCache();
    int values = 0, files = 0;
    ms["bare_walk"] = BestMilliseconds("bare_walk", runs, [&] { values = files = 0; }, [&] {
        values = BareRegistryWalk();
        for (const std::string& folder : folders) BareFolderWalk(folder, files);
    });
    std::vector<std::string> links;
    for (int i = 0; i < kPrograms; ++i) links.push_back(textutil::Format("%s\\App %03d.lnk", ShortcutFolder().c_str(), i));
    int versions = 0;
    ms["bare_file_reads"] = BestMilliseconds("bare_file_reads", runs, [] {}, [&] { versions = BareFileReads(links); });
    ms["bare_registry_walk"] = BestMilliseconds("bare_registry_walk", runs, [] {}, [&] { values = BareRegistryWalk(); });

    // The parts.
    ms["part_products"] = BestMilliseconds("part_products", runs, fresh, [&] { scanners::ProductScanners().ScanInstalledProducts(*list); });
    ms["part_resolve_shortcuts"] = BestMilliseconds("part_resolve_shortcuts", runs, [] {}, [&] {
        scanners::ShortcutInfo info;
        for (const std::string& link : links) scanners::GetLinkInfo(link, info);
    });
    ms["part_read_versions"] = BestMilliseconds("part_read_versions", runs, [] {}, [&] {
        for (int i = 0; i < kPrograms; ++i) {
            const fileid::VersionInfoRead read = fileid::ReadVersionInfo(ProgramPath(i));
            if (read.info) {
                fileid::ChooseVersionNames(*read.info);
                fileid::ChooseVersionNumbers(*read.info);
            }
        }
    });
    // The same number of reads of program files that are not there (items
    // whose program was removed): the check document's identity elements
    // try one for each such item.
    ms["part_read_versions_missing"] = BestMilliseconds(
        "part_read_versions_missing", runs, [] {},
        [&] {
            for (int i = 0; i < kPrograms; ++i) {
                const fileid::VersionInfoRead read = fileid::ReadVersionInfo(ProgramPath(i) + ".removed.exe");
                if (read.info) std::abort();
            }
        });
    std::vector<std::unique_ptr<VN_WatchItem>> made;
    ms["part_item_from_file"] = BestMilliseconds("part_item_from_file", runs, [&] { fresh(); made.clear(); }, [&] {
        for (const std::string& link : links) {
            auto item = std::make_unique<VN_WatchItem>();
            if (scanners::ItemFromFile(*list, link, *item, true) == scanners::kItemFilled) made.push_back(std::move(item));
        }
    });
    ms["part_add_or_merge_new"] = BestMilliseconds("part_add_or_merge_new", runs, fresh, [&] {
        for (const auto& item : made) list->AddOrMerge(*item, false, false);
    });
    ms["part_add_or_merge_again"] = BestMilliseconds("part_add_or_merge_again", runs, [&] {
        fresh();
        for (const auto& item : made) list->AddOrMerge(*item, false, false);
        list->IncrementScanCount();
    }, [&] {
        for (const auto& item : made) list->AddOrMerge(*item, false, false);
    });
    ms["part_presence_check"] = BestMilliseconds("part_presence_check", runs, filled, [&] { list->ValidateExeFiles(); });

    std::printf("items %zu, shortcuts made into items %zu, uninstall values read %d, files walked %d, "
                "version resources read %d\n",
                items, made.size(), values, files, versions);
    for (const auto& [name, value] : ms) std::printf("%-26s %9.1f ms\n", name.c_str(), value);
    std::printf("ratio pass_empty_list / bare_walk  %.2f\n", ms["pass_empty_list"] / ms["bare_walk"]);
    std::printf("ratio pass_rescan / bare_walk      %.2f\n", ms["pass_rescan"] / ms["bare_walk"]);
    std::printf("ratio pass_rescan / pass_empty_list %.2f\n", ms["pass_rescan"] / ms["pass_empty_list"]);
    std::printf("ratio pass_rescan_cache_file / pass_empty_list %.2f\n",
                ms["pass_rescan_cache_file"] / ms["pass_empty_list"]);
    std::printf("ratio pass_rescan_no_cache / pass_empty_list %.2f\n",
                ms["pass_rescan_no_cache"] / ms["pass_empty_list"]);
    // The first pass's own time moves with the machine (file reads under Wine
    // took 2.5 times as long in some runs as in others on the same machine),
    // so the summary sets it beside the bare walk and reads of the same run.
    const double bare = ms["bare_walk"] + ms["bare_file_reads"];
    std::printf(
        "summary: inventory pass under Wine, %d uninstall entries + %d shortcuts: rescan / first pass %.2fx "
        "(goal 0.5x), first pass %.2f s (goal < 2 s; %.2fx the bare walk of the same keys and reads of the same "
        "files, %.2f s); after a restart (cache from its file) %.2fx\n",
        kUninstallEntries, kPrograms, ms["pass_rescan"] / ms["pass_empty_list"], ms["pass_empty_list"] / 1000,
        ms["pass_empty_list"] / bare, bare / 1000, ms["pass_rescan_cache_file"] / ms["pass_empty_list"]);
    std::printf("ratio pass_empty_list / (bare_walk + bare_file_reads)  %.2f\n", ms["pass_empty_list"] / bare);
    std::printf("ratio pass_rescan / (bare_walk + bare_file_reads)      %.2f\n", ms["pass_rescan"] / bare);
    return 0;
}
