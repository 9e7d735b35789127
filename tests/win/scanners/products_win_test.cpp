// The installed-product scanners against the real registry and msi.dll:
// uninstall entries written by the tests into both views of the machine key
// and into the user's key, MSI packages built by wixl and installed with
// msiexec, the component scan over an installed program, and uninstall
// commands run for real.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "common/wine.h"
#include "inventory/item_services.h"
#include "inventory/watch_list.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/win/handles.h"
#include "platform/win/win.h"
#include "scanners/component_scan.h"
#include "scanners/file_identity.h"
#include "scanners/item_uninstall.h"
#include "scanners/products.h"
#include "scanners/uninstall_string.h"

using namespace RegScan;

namespace {

const std::string kUninstallKey = kUninstallKeyPath;
constexpr char kListedCode[] = "{5A1B7C3D-0001-4E6F-8A9B-0C1D2E3F4A51}";
constexpr char kUnlistedCode[] = "{5A1B7C3D-0002-4E6F-8A9B-0C1D2E3F4A51}";
constexpr char kSuiteCode[] = "{5A1B7C3D-0003-4E6F-8A9B-0C1D2E3F4A51}";
constexpr char kSuiteProgramComponent[] = "{5A1B7C3D-0003-4E6F-8A9B-0C1D2E3F4A53}";
constexpr char kSuiteNotesComponent[] = "{5A1B7C3D-0003-4E6F-8A9B-0C1D2E3F4A54}";

using testing_wine::WindowsPathOf;

std::string MsiPackage(const std::string& name) {
    return WindowsPathOf(std::string(VARNEL_MSI_FIXTURES) + "/" + name + ".msi");
}

using testing_wine::RunAndWait;

bool InstallPackage(const std::string& name) {
    return RunAndWait("msiexec.exe /i \"" + MsiPackage(name) + "\" /qn") == 0;
}

void RemovePackage(const std::string& productCode) { RunAndWait("msiexec.exe /x " + productCode + " /qn"); }

struct Root {
    HKEY hive;
    REGSAM view;
};
const Root kMachine64{HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY};
const Root kMachine32{HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY};
const Root kUser{HKEY_CURRENT_USER, 0};

// Uninstall entries of the test's own, named "VarnelTest-<process>-<name>",
// deleted from every root when the object goes.
class UninstallEntries {
public:
    UninstallEntries() : prefix_("VarnelTest-" + std::to_string(GetCurrentProcessId()) + "-") {}
    ~UninstallEntries() {
        for (const auto& [root, name] : created_) Delete(root, name);
    }
    UninstallEntries(const UninstallEntries&) = delete;
    UninstallEntries& operator=(const UninstallEntries&) = delete;

    std::string Key(const std::string& name) const { return prefix_ + name; }

    void SetText(const Root& root, const std::string& name, const std::string& value, const std::string& text,
                 DWORD type = REG_SZ) {
        Set(root, name, value, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
    }
    void SetNumber(const Root& root, const std::string& name, const std::string& value, DWORD number) {
        Set(root, name, value, REG_DWORD, &number, sizeof number);
    }
    // A subkey with a display name and an uninstall command.
    void Add(const Root& root, const std::string& name, const std::string& displayName,
             const std::string& uninstall) {
        SetText(root, name, "DisplayName", displayName);
        SetText(root, name, "UninstallString", uninstall);
    }
    static void Delete(const Root& root, const std::string& fullName) {
        RegDeleteKeyExA(root.hive, (kUninstallKey + "\\" + fullName).c_str(), root.view, 0);
    }

private:
    void Set(const Root& root, const std::string& name, const std::string& value, DWORD type, const void* data,
             DWORD bytes) {
        // A braced name is a product code and taken as it is.
        const std::string full = name.rfind("{", 0) == 0 ? name : Key(name);
        platform::UniqueKey key;
        ASSERT_EQ(RegCreateKeyExA(root.hive, (kUninstallKey + "\\" + full).c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS | root.view, nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        created_.push_back({root, full});
        ASSERT_EQ(RegSetValueExA(key.get(), value.c_str(), 0, type, static_cast<const BYTE*>(data), bytes),
                  ERROR_SUCCESS);
    }

    std::string prefix_;
    std::vector<std::pair<Root, std::string>> created_;
};

bool EntryExists(const Root& root, const std::string& fullName) {
    platform::UniqueKey key;
    return RegOpenKeyExA(root.hive, (kUninstallKey + "\\" + fullName).c_str(), 0, KEY_READ | root.view, key.put()) ==
           ERROR_SUCCESS;
}

// The file-to-item step the component scan is given here: an item named from
// the program's version information.
int ItemFromVersionNames(const std::string& path, VN_WatchItem& item, bool) {
    fileid::VersionNames names;
    if (fileid::GetVersionNames(path, names) != fileid::kOk) return 1;
    fileid::VersionNumbers numbers;
    if (fileid::GetVersionNumbers(path, numbers) != fileid::kOk) return 1;
    item.SetProgName(names.productName.empty() ? textutil::FileNameOf(path) : names.productName);
    item.packageName = names.companyName;
    item.SetFileDesc(names.fileDescription);
    item.targetName = path;
    item.executableName = textutil::FileNameOf(path);
    item.installedVers = numbers.productVersion;
    item.installedVers2 = numbers.fixedFileVersion;
    item.installedVers3 = numbers.fileVersion;
    item.source = "exe";
    return 0;
}

}  // namespace

// ------------------------------------------------------------ registry walk

TEST(RegistryProductsWin, EntriesOfBothMachineViewsAndOfTheUserAreRead) {
    UninstallEntries entries;
    entries.Add(kMachine64, "Only64", "Program of the 64-bit view", "C:\\x64\\uninst.exe");
    entries.Add(kMachine32, "Only32", "Program of the 32-bit view", "C:\\x86\\uninst.exe");
    entries.Add(kUser, "OnlyUser", "Per-user program", "C:\\user\\uninst.exe");
    entries.Add(kMachine64, "BothViews", "Seen in the 64-bit view", "a.exe");
    entries.Add(kMachine32, "BothViews", "Seen in the 32-bit view", "b.exe");
    entries.Add(kMachine64, "MachineAndUser", "Machine entry", "c.exe");
    entries.Add(kUser, "MachineAndUser", "User entry", "d.exe");

    VN_RegistryProducts registry(nullptr);
    EXPECT_FALSE(registry.Fill());
    auto name = [&](const std::string& key) {
        const VN_ProductItemBase* record = registry.Lookup(entries.Key(key));
        return record ? record->GetName() : std::string("<none>");
    };
    EXPECT_EQ(name("Only64"), "Program of the 64-bit view");
    EXPECT_EQ(name("Only32"), "Program of the 32-bit view");
    EXPECT_EQ(name("OnlyUser"), "Per-user program");
    EXPECT_EQ(name("BothViews"), "Seen in the 32-bit view");
    EXPECT_EQ(name("MachineAndUser"), "User entry");
}

// A long key is read on two threads; every entry comes out with its values.
TEST(RegistryProductsWin, EveryEntryOfALongKeyIsRead) {
    UninstallEntries entries;
    for (int i = 0; i < 150; ++i)
        entries.Add(kUser, textutil::Format("Long%03d", i), textutil::Format("Long key program %03d", i),
                    textutil::Format("C:\\long\\%03d\\uninst.exe", i));
    VN_RegistryProducts registry(nullptr);
    EXPECT_FALSE(registry.Fill());
    for (int i = 0; i < 150; ++i) {
        const VN_ProductItemBase* record = registry.Lookup(entries.Key(textutil::Format("Long%03d", i)));
        ASSERT_NE(record, nullptr) << i;
        EXPECT_EQ(record->GetName(), textutil::Format("Long key program %03d", i));
        EXPECT_EQ(record->GetUninstallString(), textutil::Format("C:\\long\\%03d\\uninst.exe", i));
    }
}

TEST(RegistryProductsWin, ValuesFollowTheRegistryValueRule) {
    UninstallEntries entries;
    entries.SetText(kMachine64, "NameOnly", "DisplayName", "No uninstall command");
    entries.SetText(kMachine64, "UninstallOnly", "UninstallString", "C:\\x\\uninst.exe");
    entries.Add(kMachine64, "LongCommand", "Long command", "C:\\" + std::string(297, 'a'));  // 300 characters
    entries.Add(kMachine64, "LongestCommand", "Longest command", "C:\\" + std::string(256, 'b'));  // 259
    entries.Add(kMachine32, "Numbers", "  Numbered Program\t", "\"C:\\Numbered\\uninst.exe\" /S");
    entries.SetNumber(kMachine32, "Numbers", "VersionMajor", 10);
    entries.SetNumber(kMachine32, "Numbers", "VersionMinor", 0xFFFFFFFFu);
    entries.Add(kUser, "Hidden", "System component", "hidden.exe");
    entries.SetNumber(kUser, "Hidden", "SystemComponent", 1);
    entries.Add(kUser, "DisplayVersion", "Repair Kit  (Remove or Repair)", "kit.exe");
    entries.SetText(kUser, "DisplayVersion", "VersionString", "");
    entries.SetText(kUser, "DisplayVersion", "DisplayVersion", "1.2");
    entries.Add(kUser, "MajorOnly", "Major only", "major.exe");
    entries.SetNumber(kUser, "MajorOnly", "VersionMajor", 3);

    VN_WatchList list;
    VN_AllProducts all(&list);
    EXPECT_FALSE(all.Fill());
    std::map<std::string, VN_WatchItem*> items;
    for (VN_WatchItem* item : list.WatchItems()) items[item->keyName] = item;

    EXPECT_EQ(items.count(entries.Key("NameOnly")), 0u);
    EXPECT_EQ(items.count(entries.Key("UninstallOnly")), 0u);
    EXPECT_EQ(items.count(entries.Key("LongCommand")), 0u) << "a value beyond 260 bytes reads as empty";
    ASSERT_EQ(items.count(entries.Key("LongestCommand")), 1u);
    EXPECT_EQ(items.at(entries.Key("LongestCommand"))->uninstallString.size(), 259u);

    ASSERT_EQ(items.count(entries.Key("Numbers")), 1u);
    const VN_WatchItem* numbers = items.at(entries.Key("Numbers"));
    EXPECT_EQ(numbers->progName, "Numbered Program");
    EXPECT_EQ(numbers->installedVers, "10.-1");
    EXPECT_EQ(numbers->installedVers2, "10.-1");
    EXPECT_EQ(numbers->signature, entries.Key("Numbers") + "|Numbered Program||10|-1|\"0\" /S");
    EXPECT_EQ(numbers->source, "registry");

    EXPECT_EQ(items.count(entries.Key("Hidden")), 1u) << "SystemComponent does not hide an entry";

    ASSERT_EQ(items.count(entries.Key("DisplayVersion")), 1u);
    EXPECT_EQ(items.at(entries.Key("DisplayVersion"))->installedVers, "1.2") << "an empty VersionString gives way";
    EXPECT_EQ(items.at(entries.Key("DisplayVersion"))->progName, "Repair Kit");
    ASSERT_EQ(items.count(entries.Key("MajorOnly")), 1u);
    EXPECT_EQ(items.at(entries.Key("MajorOnly"))->installedVers, "3");
}

// ------------------------------------------------------------ installer

class InstalledPackages : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        listedInstalled_ = InstallPackage("listed_product");
        suiteInstalled_ = InstallPackage("component_program");
    }
    static void TearDownTestSuite() {
        RemovePackage(kListedCode);
        RemovePackage(kSuiteCode);
    }
    void SetUp() override {
        ASSERT_TRUE(listedInstalled_) << "msiexec could not install listed_product.msi";
        ASSERT_TRUE(suiteInstalled_) << "msiexec could not install component_program.msi";
    }

    static bool listedInstalled_;
    static bool suiteInstalled_;
};
bool InstalledPackages::listedInstalled_ = false;
bool InstalledPackages::suiteInstalled_ = false;

TEST_F(InstalledPackages, TheInstallerReportsItsProductsAndTheirProperties) {
    VN_MsiProducts products(nullptr);
    EXPECT_FALSE(products.Fill());
    const auto* listed = dynamic_cast<const VN_MsiProductItem*>(products.Lookup(kListedCode));
    ASSERT_NE(listed, nullptr);
    EXPECT_EQ(listed->productName, "Varnel Test Listed Product");
    EXPECT_EQ(listed->versionString, "2.5.7");
    EXPECT_EQ(listed->GetMajorMinorVersion(), "2.5");
    EXPECT_TRUE(textutil::EndsWithNoCase(listed->productIcon, "listed.ico")) << listed->productIcon;
    EXPECT_NE(products.Lookup(kSuiteCode), nullptr);

    // The items' installer query answers through msi.dll as well.
    EXPECT_EQ(inventory::InstallerQuery().ProductInfo(kListedCode, "InstalledProductName").value_or(""),
              "Varnel Test Listed Product");
    EXPECT_EQ(inventory::InstallerQuery().ProductInfo(kListedCode, "Publisher").value_or(""), "Varnel Tests");
    EXPECT_FALSE(inventory::InstallerQuery().ProductInfo("{00000000-1111-2222-3333-444444444444}", "VersionString"));
    VN_WatchItem suite;
    suite.SetProductGuid(kSuiteCode);
    EXPECT_EQ(suite.GetMsiProductName(), "Varnel Test Suite");
}

TEST_F(InstalledPackages, AnInstallerProductListedInTheRegistryIsOneProduct) {
    // The installer registered the product in the 32-bit view under its code:
    // an agent reading only its own view would see just the installer's half.
    ASSERT_TRUE(EntryExists(kMachine32, kListedCode));
    VN_RegistryProducts registry(nullptr);
    registry.Fill();
    ASSERT_NE(registry.Lookup(kListedCode), nullptr);
    const std::string registryCommand = registry.Lookup(kListedCode)->GetUninstallString();
    EXPECT_EQ(registryCommand, std::string("MsiExec.exe /I") + kListedCode);

    // A user entry named by the code in other letters is a product of its own.
    UninstallEntries entries;
    const std::string lowerCode = textutil::ToLowerAscii(kListedCode);
    entries.Add(kUser, lowerCode, "Lower-case entry", "lower.exe");

    VN_WatchList list;
    VN_AllProducts all(&list);
    EXPECT_FALSE(all.Fill());
    const VN_ProductItemBase* listed = all.Lookup(kListedCode);
    ASSERT_NE(listed, nullptr);
    EXPECT_EQ(listed->GetName(), "Varnel Test Listed Product");
    EXPECT_EQ(listed->GetUninstallString(), registryCommand);
    EXPECT_EQ(listed->GetSignature(), std::string(kListedCode) + "|Varnel Test Listed Product|2.5.7");
    ASSERT_NE(all.Lookup(lowerCode), nullptr);
    EXPECT_EQ(all.Lookup(lowerCode)->GetName(), "Lower-case entry");

    int listedItems = 0;
    for (VN_WatchItem* item : list.WatchItems()) {
        if (item->keyName != kListedCode) continue;
        ++listedItems;
        EXPECT_EQ(item->progName, "Varnel Test Listed Product");
        EXPECT_EQ(item->installedVers, "2.5.7");
        EXPECT_EQ(item->installedVers2, "2.5");
        EXPECT_EQ(item->uninstallString, registryCommand);
        EXPECT_EQ(item->signature, listed->GetSignature());
    }
    EXPECT_EQ(listedItems, 1);
}

TEST_F(InstalledPackages, AnInstallerProductWithoutAnEntryGetsTheInstallersUninstallCommand) {
    ASSERT_TRUE(InstallPackage("unlisted_product"));
    // Whatever entry the installer wrote for it goes, so the installer alone knows it.
    UninstallEntries::Delete(kMachine32, kUnlistedCode);
    UninstallEntries::Delete(kMachine64, kUnlistedCode);

    VN_WatchList list;
    VN_AllProducts all(&list);
    EXPECT_FALSE(all.Fill());
    ASSERT_NE(all.Lookup(kUnlistedCode), nullptr);
    EXPECT_EQ(all.Lookup(kUnlistedCode)->GetUninstallString(), std::string("MsiExec.exe /X") + kUnlistedCode);
    const VN_WatchItem* item = nullptr;
    for (VN_WatchItem* candidate : list.WatchItems())
        if (candidate->keyName == kUnlistedCode) item = candidate;
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->progName, "Varnel Test Unlisted Product") << "the (Remove Only) suffix is dropped";
    EXPECT_EQ(item->installedVers, "1.0.3");

    // The uninstall action runs the installer's command (quietly here) and
    // then finds the product gone.
    EXPECT_TRUE(IsProductInstalled(kUnlistedCode));
    VN_WatchItem& entry = *list.FindSameItem(*item);
    entry.uninstallString += " /qn";
    EXPECT_EQ(scanners::UninstallItem(list, entry), scanners::UninstallOutcome::Gone);
    EXPECT_EQ(entry.removed, item_state::kGone);
    EXPECT_FALSE(IsProductInstalled(kUnlistedCode));
    RemovePackage(kUnlistedCode);  // in case the action failed
}

TEST_F(InstalledPackages, TheComponentScanFindsTheInstalledProgram) {
    VN_WatchList list;
    VN_ScanRegistry scan(list, &ItemFromVersionNames);
    EXPECT_FALSE(scan.Run());

    const VN_WatchItem* program = nullptr;
    int suites = 0;
    for (VN_WatchItem* item : list.WatchItems()) {
        if (!textutil::EqualsNoCase(item->productGuid, kSuiteCode)) continue;
        if (item->IsSuite()) ++suites;
        else if (textutil::EqualsNoCase(item->componentGuid, kSuiteProgramComponent)) program = item;
        EXPECT_FALSE(textutil::EqualsNoCase(item->componentGuid, kSuiteNotesComponent)) << "not a program";
    }
    EXPECT_EQ(suites, 1);
    ASSERT_NE(program, nullptr);
    EXPECT_TRUE(textutil::EndsWithNoCase(program->targetName, "\\Varnel Test Suite\\suiteapp.exe"))
        << program->targetName;
    EXPECT_TRUE(platform::FileExists(program->targetName));
    EXPECT_EQ(program->progName, "Year Suite 2007");
    EXPECT_EQ(program->installedVers, "12.0.4518.1014") << "a year-like product version gives way";
    EXPECT_TRUE(program->comFromReg);
}

TEST_F(InstalledPackages, ProductsStayInstalledWhileTheInstallerOrAnEntryNamesThem) {
    UninstallEntries entries;
    entries.SetText(kMachine32, "Registered", "DisplayName", "Registered only");
    entries.SetText(kUser, "Nameless", "UninstallString", "x.exe");
    EXPECT_TRUE(IsProductInstalled(kListedCode));
    EXPECT_TRUE(IsProductInstalled(entries.Key("Registered")));
    EXPECT_FALSE(IsProductInstalled(entries.Key("Nameless")));
    EXPECT_FALSE(IsProductInstalled("{00000000-1111-2222-3333-444444444444}"));
}

// ------------------------------------------------------------ uninstall commands

TEST(UninstallCommandWin, AnEntryWhoseUninstallerRemovesItIsMarkedGone) {
    UninstallEntries entries;
    const std::string uninstaller = WindowsPathOf(VARNEL_UNINSTALLER_FIXTURE);
    const std::string goneKey = kUninstallKey + "\\" + entries.Key("Removable");
    entries.Add(kUser, "Removable", "Removable Program", "\"" + uninstaller + "\" \"" + goneKey + "\"");
    // This one's uninstaller deletes another key: the product stays.
    entries.Add(kUser, "Stubborn", "Stubborn Program",
                "\"" + uninstaller + "\" \"" + kUninstallKey + "\\" + entries.Key("Elsewhere") + "\"");
    entries.Add(kUser, "Elsewhere", "Elsewhere", "x.exe");
    entries.Add(kUser, "Broken", "Broken Program", "C:\\no\\such\\uninstaller.exe /S");

    VN_WatchList list;
    VN_AllProducts all(&list);
    ASSERT_FALSE(all.Fill());
    std::map<std::string, VN_WatchItem*> items;
    for (VN_WatchItem* item : list.WatchItems()) items[item->keyName] = item;
    ASSERT_EQ(items.count(entries.Key("Removable")), 1u);

    EXPECT_EQ(scanners::UninstallItem(list, *items.at(entries.Key("Removable"))), scanners::UninstallOutcome::Gone);
    EXPECT_FALSE(EntryExists(kUser, entries.Key("Removable")));
    EXPECT_EQ(items.at(entries.Key("Removable"))->removed, item_state::kGone);

    EXPECT_EQ(scanners::UninstallItem(list, *items.at(entries.Key("Stubborn"))),
              scanners::UninstallOutcome::StillInstalled);
    EXPECT_FALSE(EntryExists(kUser, entries.Key("Elsewhere")));
    EXPECT_EQ(items.at(entries.Key("Stubborn"))->removed, 0);

    EXPECT_FALSE(VN_UninstallString::RunUninstallCommand("C:\\no\\such\\uninstaller.exe /S"));
    EXPECT_EQ(scanners::UninstallItem(list, *items.at(entries.Key("Broken"))),
              scanners::UninstallOutcome::StillInstalled);

    // The shell's way, taken for uninstallers that must run as administrator
    // (Wine never asks for that), runs the same command and waits for it.
    entries.Add(kUser, "Elevated", "Elevated Program", "x.exe");
    const std::string elevatedKey = kUninstallKey + "\\" + entries.Key("Elevated");
    EXPECT_TRUE(scanners::RunThroughShellAndWait("\"" + uninstaller + "\" \"" + elevatedKey + "\"").started);
    EXPECT_FALSE(EntryExists(kUser, entries.Key("Elevated")));
    const VN_UninstallString::RunResult missing = scanners::RunThroughShellAndWait("C:\\no\\such\\uninstaller.exe /S");
    EXPECT_FALSE(missing.started);
    EXPECT_NE(missing.error, 0u);
}

TEST(UninstallCommandWin, TheWaitFollowsTheCopyAnUninstallerHandsOverToUntilTheEntryIsGone) {
    UninstallEntries entries;
    const std::string uninstaller = WindowsPathOf(VARNEL_UNINSTALLER_FIXTURE);
    const auto uninstall = [&](const std::string& name, int lingerMs, ULONGLONG& elapsedMs) {
        VN_WatchList list;
        VN_WatchItem item;
        item.SetProgName(name + " Program");
        item.keyName = entries.Key(name);
        item.uninstallString = "\"" + uninstaller + "\" --launch 1500 " + std::to_string(lingerMs) + " \"" +
                               kUninstallKey + "\\" + item.keyName + "\"";
        entries.Add(kUser, name, item.progName, item.uninstallString);
        const ULONGLONG start = GetTickCount64();
        const scanners::UninstallOutcome outcome = scanners::UninstallItem(list, item);
        elapsedMs = GetTickCount64() - start;
        return outcome;
    };
    // The launcher exits at once; its copy removes the entry 1.5 s later.
    ULONGLONG elapsed = 0;
    EXPECT_EQ(uninstall("Handed", 0, elapsed), scanners::UninstallOutcome::Gone);
    EXPECT_GE(elapsed, 1400u);
    // A copy that stays long after removing the entry holds the wait only
    // until the entry is seen gone.
    EXPECT_EQ(uninstall("Lingering", 30000, elapsed), scanners::UninstallOutcome::Gone);
    EXPECT_GE(elapsed, 1400u);
    EXPECT_LT(elapsed, 10000u);
    testing_wine::EndProcessesNamed(L"fake_uninstaller.exe");  // the lingering copy
}

// An entry stored as an expandable text names its uninstaller through a
// variable: the command is expanded for the start, and kept as it was written.
TEST(UninstallCommandWin, VariablesInTheCommandAreExpandedToStartIt) {
    UninstallEntries entries;
    const std::string uninstaller = WindowsPathOf(VARNEL_UNINSTALLER_FIXTURE);
    const std::string folder = uninstaller.substr(0, uninstaller.find_last_of('\\'));
    ASSERT_TRUE(SetEnvironmentVariableA("VARNEL_UNINSTALLER_HOME", folder.c_str()));
    VN_WatchList list;
    VN_WatchItem item;
    item.SetProgName("Expanded Program");
    item.keyName = entries.Key("Expanded");
    item.uninstallString =
        "\"%VARNEL_UNINSTALLER_HOME%\\fake_uninstaller.exe\" \"" + kUninstallKey + "\\" + item.keyName + "\"";
    const std::string written = item.uninstallString;
    entries.Add(kUser, "Expanded", item.progName, item.uninstallString);
    EXPECT_EQ(scanners::UninstallItem(list, item), scanners::UninstallOutcome::Gone);
    EXPECT_FALSE(EntryExists(kUser, entries.Key("Expanded")));
    EXPECT_EQ(item.uninstallString, written);

    // The shell's way too.
    entries.Add(kUser, "ExpandedShell", "Expanded Shell Program", "x.exe");
    EXPECT_TRUE(scanners::RunThroughShellAndWait("\"%VARNEL_UNINSTALLER_HOME%\\fake_uninstaller.exe\" \"" +
                                                 kUninstallKey + "\\" + entries.Key("ExpandedShell") + "\"")
                    .started);
    EXPECT_FALSE(EntryExists(kUser, entries.Key("ExpandedShell")));
    SetEnvironmentVariableA("VARNEL_UNINSTALLER_HOME", nullptr);
}

TEST(UninstallCommandWin, AFileThatCannotBeOpenedCountsAsZero) {
    char folder[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, folder), 0u);
    const std::string program = std::string(folder) + "varnel-uninst-" + std::to_string(GetCurrentProcessId()) + ".exe";
    ASSERT_TRUE(platform::WriteFileAtomically(program, std::string(123456, 'p')));
    EXPECT_EQ(VN_UninstallString("\"" + program + "\" /S").GetChangedString(), "\"123456\" /S");
    {
        // Held open without read sharing, the program cannot be opened.
        platform::UniqueFile locked(
            CreateFileA(program.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(locked);
        EXPECT_EQ(VN_UninstallString("\"" + program + "\" /S").GetChangedString(), "\"0\" /S");
    }
    platform::RemoveFile(program);
}
