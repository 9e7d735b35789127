// The merged product scan against a bare walk of the same uninstall keys,
// in the same run. The program first writes ENTRIES uninstall entries of its
// own ("VarnelBench-<n>": half in the machine key's 64-bit view, three tenths
// in its 32-bit view, the rest in the user's key; every tenth one's uninstall
// command names a file that exists), times each way (best of RUNS), then
// deletes its entries again. The three ways take turns RUNS times. Prints:
//   entries N
//   bare SECONDS SUBKEYS            RegEnumKeyEx + RegQueryValueEx of the seven values, nothing else
//   merged SECONDS PRODUCTS         the merged scan handing its products to a fresh watch list
//   merged-export SECONDS PRODUCTS  the same scan without a watch list (as the export functions run it)
// Usage: bench_product_scan_win [ENTRIES] [RUNS]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "inventory/watch_list.h"
#include "platform/win/handles.h"
#include "platform/win/win.h"
#include "scanners/products.h"
#include "scanners/uninstall_string.h"
#include "platform/files.h"
#include "platform/codepage.h"

namespace {

const std::string kUninstall = RegScan::kUninstallKeyPath;

struct Root {
    HKEY hive;
    REGSAM view;
};
const Root kRoots[] = {{HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY}, {HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY},
                       {HKEY_CURRENT_USER, 0}};

const Root& RootOf(int index, int count) {
    if (index < count / 2) return kRoots[0];
    if (index < count * 8 / 10) return kRoots[1];
    return kRoots[2];
}

std::string Name(int index) { return "VarnelBench-" + std::to_string(index); }

void SetText(HKEY key, const char* name, const std::string& text) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>(text.size() + 1));
}

bool Seed(int count) {
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    for (int i = 0; i < count; ++i) {
        const Root& root = RootOf(i, count);
        platform::UniqueKey key;
        if (RegCreateKeyExA(root.hive, (kUninstall + "\\" + Name(i)).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | root.view,
                            nullptr, key.put(), nullptr) != ERROR_SUCCESS)
            return false;
        const std::string product = "Bench Product " + std::to_string(i);
        SetText(key.get(), "DisplayName", i % 50 == 0 ? product + " (Remove Only)" : product);
        SetText(key.get(), "DisplayVersion", std::to_string(i % 7) + "." + std::to_string(i % 13) + ".0");
        const DWORD major = static_cast<DWORD>(i % 7), minor = static_cast<DWORD>(i % 13);
        RegSetValueExA(key.get(), "VersionMajor", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&major), sizeof major);
        RegSetValueExA(key.get(), "VersionMinor", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&minor), sizeof minor);
        SetText(key.get(), "Publisher", "Bench Vendor " + std::to_string(i % 40));
        const std::string program = i % 10 == 0 ? std::string(windows) + "\\notepad.exe"
                                                : "C:\\Program Files\\Bench Vendor " + std::to_string(i % 40) +
                                                      "\\Product " + std::to_string(i) + "\\uninstall.exe";
        SetText(key.get(), "UninstallString", "\"" + program + "\" /S");
        SetText(key.get(), "DisplayIcon", program + ",0");
    }
    return true;
}

void Unseed(int count) {
    for (int i = 0; i < count; ++i) {
        const Root& root = RootOf(i, count);
        RegDeleteKeyExA(root.hive, (kUninstall + "\\" + Name(i)).c_str(), root.view, 0);
    }
}

// Reads the seven values of every subkey of every root, and nothing more.
size_t BareWalk() {
    static const char* const kValues[] = {"DisplayName",   "DisplayVersion",  "VersionMajor", "VersionMinor",
                                          "VersionString", "UninstallString", "DisplayIcon"};
    size_t subkeys = 0;
    for (const Root& root : kRoots) {
        platform::UniqueKey key;
        if (RegOpenKeyExA(root.hive, kUninstall.c_str(), 0, KEY_READ | root.view, key.put()) != ERROR_SUCCESS) continue;
        char name[260];
        for (DWORD index = 0;; ++index) {
            DWORD length = sizeof name;
            if (RegEnumKeyExA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            ++subkeys;
            platform::UniqueKey sub;
            if (RegOpenKeyExA(key.get(), name, 0, KEY_READ | root.view, sub.put()) != ERROR_SUCCESS) continue;
            for (const char* value : kValues) {
                BYTE data[260];
                DWORD type = 0, size = sizeof data;
                RegQueryValueExA(sub.get(), value, nullptr, &type, data, &size);
            }
        }
    }
    return subkeys;
}

double Seconds(const std::function<size_t()>& body, size_t& count) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    count = body();
    QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
    const int entries = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    if (entries <= 0 || runs <= 0) {
        std::fprintf(stderr, "usage: bench_product_scan_win [ENTRIES] [RUNS]\n");
        return 2;
    }
    if (!Seed(entries)) {
        std::fprintf(stderr, "bench_product_scan_win: cannot write the uninstall entries\n");
        Unseed(entries);
        return 1;
    }
    std::printf("entries %d\n", entries);

    const std::function<size_t()> merged = [] {
        VN_WatchList list;
        RegScan::VN_AllProducts all(&list);
        all.Fill();
        return list.GetCount();
    };
    const std::function<size_t()> exportScan = [] {
        RegScan::VN_AllProducts all(nullptr);
        all.Fill();
        return all.GetCount();
    };
    // Warm-up: the first walk pays for loading the keys. Then the three ways
    // take turns, so that a busy moment of the machine hits them alike.
    BareWalk();
    size_t subkeys = 0, products = 0, exported = 0;
    double bare = 1e30, mergedBest = 1e30, exportBest = 1e30;
    for (int i = 0; i < runs; ++i) {
        bare = std::min(bare, Seconds(BareWalk, subkeys));
        mergedBest = std::min(mergedBest, Seconds(merged, products));
        exportBest = std::min(exportBest, Seconds(exportScan, exported));
    }
    std::printf("bare %.4f %zu\n", bare, subkeys);
    std::printf("merged %.4f %zu\n", mergedBest, products);
    std::printf("merged-export %.4f %zu\n", exportBest, exported);
    Unseed(entries);
    return products >= static_cast<size_t>(entries) ? 0 : 1;
}
