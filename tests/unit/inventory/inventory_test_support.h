// Helpers shared by the inventory tests: a hand-driven byte builder for golden
// file images, a scratch folder, log capture, a recorder of an item's stored
// fields, and realistic sample items.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "common/temp_folder.h"
#include "dlmgr/history_item.h"
#include "inventory/daily_item.h"
#include "inventory/driver_item.h"
#include "inventory/field_exchange.h"
#include "inventory/watch_item.h"
#include "platform/log.h"

namespace testsupport {

// The program makes the download history's class known at start-up; so do
// these tests, before any of them runs.
inline const bool kItemClassesRegistered = (dlmgr::RegisterItemClasses(), true);

// Little-endian bytes written by hand, independent of the archive code.
struct Bytes {
    std::string s;
    Bytes& u8(unsigned v) {
        s.push_back(static_cast<char>(v & 0xFF));
        return *this;
    }
    Bytes& w(unsigned v) { return u8(v).u8(v >> 8); }
    Bytes& d(uint32_t v) { return w(v & 0xFFFF).w(v >> 16); }
    Bytes& q(int64_t v) {
        const uint64_t u = static_cast<uint64_t>(v);
        return d(static_cast<uint32_t>(u)).d(static_cast<uint32_t>(u >> 32));
    }
    Bytes& b(bool v) { return u8(v ? 1 : 0); }
    // A short string: one length byte (the text must be shorter than 255).
    Bytes& str(const std::string& t) {
        EXPECT_LT(t.size(), 255u);
        u8(static_cast<unsigned>(t.size()));
        s += t;
        return *this;
    }
    Bytes& raw(const std::string& t) {
        s += t;
        return *this;
    }
    Bytes& newClass(const std::string& name, unsigned schema = 1) {
        return w(0xFFFF).w(schema).w(static_cast<unsigned>(name.size())).raw(name);
    }
};

// The shared temporary folder under the names these tests use.
class TempDir : public testing_support::TempFolder {
public:
    TempDir() : TempFolder("varnel-inv") {}
    std::string File(const std::string& name) const { return TempFolder::Path(name); }
    std::string Path() const { return str(); }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path())) names.push_back(e.path().filename().string());
        return names;
    }
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
}

// Opens the program's log in a scratch file for the test's duration.
class LogCapture {
public:
    LogCapture() : path_(dir_.File("vnlog.txt")) { vnlog::Open(path_); }
    ~LogCapture() { vnlog::Close(); }
    std::string Text() const { return ReadFile(path_); }
    bool Contains(const std::string& line) const { return Text().find(line + "\n") != std::string::npos; }

private:
    TempDir dir_;
    std::string path_;
};

// Every stored field of an item as "name=value" texts, in file order.
class FieldRecorder final : public inventory::FieldExchange {
public:
    bool IsLoading() const override { return false; }
    void Field(const char* n, std::string& v) override { Add(n, "\"" + v + "\""); }
    void Field(const char* n, int32_t& v) override { Add(n, std::to_string(v)); }
    void Field(const char* n, int64_t& v) override { Add(n, std::to_string(v)); }
    void Field(const char* n, bool& v) override { Add(n, v ? "true" : "false"); }
    void WordFlag(const char* n, bool& v) override { Add(n, v ? "word:1" : "word:0"); }
    void Reserved32() override { Add("reserved", "0"); }
    void Field(const char* n, std::vector<std::string>& v) override {
        std::string all;
        for (const auto& s : v) all += "[" + s + "]";
        Add(n, all);
    }
    size_t BeginRecords(const char* n, size_t count, size_t) override {
        Add(n, std::to_string(count) + " records");
        return count;
    }
    void BeginRecord(size_t i) override { prefix_ = "#" + std::to_string(i) + "."; }
    void EndRecord() override { prefix_.clear(); }
    void EndRecords() override {}

    std::vector<std::string> fields;

private:
    void Add(const char* n, const std::string& v) { fields.push_back(prefix_ + n + "=" + v); }
    std::string prefix_;
};

inline std::vector<std::string> StoredFields(VN_ItemGrandBase& item) {
    FieldRecorder r;
    item.ExchangeFields(r);
    return r.fields;
}

// A program found through the registry, with every stored field set to a
// distinct value.
inline std::unique_ptr<VN_WatchItem> FullWatchItem(const std::string& tag = "") {
    auto w = std::make_unique<VN_WatchItem>();
    w->removed = 1;
    w->expanded = true;
    w->productGuid = "{90120000-0030-0000-0000-0000000FF1CE}" + tag;
    w->componentGuid = "{0638C49D-BB8B-4CD1-B191-054E8F325736}";
    w->groupOutdated = true;
    w->groupSkipped = false;
    w->groupHasCurrent = true;
    w->groupCurrentCount = 3;
    w->progName = "Microsoft Office Enterprise 2007" + tag;
    w->myVersion = "12.0.6612.1000";
    w->currentVers = "12.0.6807.5000";
    w->currentDate = "2019-03-12";
    w->reservedText = "r1";
    w->productId = "100231";
    w->additionalInfo = "Service Pack 3";
    w->updateAvailable = true;
    w->outdated = true;
    w->skipped = false;
    w->serverNeedsIcon = true;
    w->productUrl = "https://www.example.com/product/100231";
    w->directDlUrl = "https://download.example.com/office2007sp3.exe";
    w->directDlIsFile = true;
    w->userAdded = false;
    w->reportReason = 57412;
    w->reportComments = "wrong edition";
    w->uninstallString = "MsiExec.exe /X{90120000-0030-0000-0000-0000000FF1CE}";
    w->signature = "Microsoft Office Enterprise 2007|Microsoft Corporation|12|0|1033|MsiExec.exe /X{...}";
    w->iconPath = "C:\\Windows\\Installer\\{90120000}\\wordicon.exe";
    w->keyName = "{90120000-0030-0000-0000-0000000FF1CE}";
    w->matchedPvId = "pv-88812";
    w->packageName = "Microsoft Corporation";
    w->fileDesc = "Microsoft Office Word";
    w->shortcutName = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Microsoft Office Word 2007.lnk";
    w->targetName = "C:\\Program Files (x86)\\Microsoft Office\\Office12\\WINWORD.EXE" + tag;
    w->installedVers = "12.0.6612.1000";
    w->installedVers2 = "12.0.6612";
    w->installedVers3 = "12.0";
    w->description = "Word processor";
    w->error = "";
    w->executableName = "WINWORD.EXE";
    w->source = "exe";
    w->comFromReg = true;
    w->reservedText2 = "r2";
    return w;
}

inline std::unique_ptr<VN_DriverItem> FullDriverItem() {
    auto d = std::make_unique<VN_DriverItem>();
    d->progName = "Realtek PCIe GbE Family Controller";
    d->myVersion = "10.38.1117.2019";
    d->reservedDriverText = "rd";
    d->deviceDesc = "Realtek PCIe GbE Family Controller";
    d->friendlyName = "Ethernet";
    d->enumeratorName = "PCI";
    d->deviceClass = "Net";
    d->classGuid = "{4d36e972-e325-11ce-bfc1-08002be10318}";
    d->driverKey = "{4d36e972-e325-11ce-bfc1-08002be10318}\\0001";
    d->deviceMfg = "Realtek";
    d->service = "rt640x64";
    d->hardwareIds = {"PCI\\VEN_10EC&DEV_8168&SUBSYS_86771043&REV_15", "PCI\\VEN_10EC&DEV_8168&SUBSYS_86771043"};
    d->compatibleIds = {"PCI\\VEN_10EC&DEV_8168&REV_15", "PCI\\VEN_10EC&DEV_8168", "PCI\\CC_020000"};
    d->driverKeyPath = "SYSTEM\\CurrentControlSet\\Control\\Class\\{4d36e972-e325-11ce-bfc1-08002be10318}\\0001";
    d->driverDate = "11-17-2019";
    d->driverDesc = "Realtek PCIe GbE Family Controller";
    d->driverVersion = "10.38.1117.2019";
    d->driverProvider = "Realtek";
    d->infPath = "oem7.inf";
    d->infSection = "RTL8168h.ndi.NT";
    d->matchingDeviceId = "PCI\\VEN_10EC&DEV_8168&REV_15";
    d->serviceKeyPath = "SYSTEM\\CurrentControlSet\\Services\\rt640x64";
    d->serviceGroup = "NDIS";
    d->files = "C:\\Windows\\System32\\drivers\\rt640x64.sys";
    return d;
}

inline std::unique_ptr<VN_DailyItem> FullDailyItem() {
    auto c = std::make_unique<vnxml::CXMLDailyItem>();
    c->postingTime = "2024-05-01 08:00";
    c->productDownloads = "120453";
    c->versionDownloads = "2311";
    c->productRating = "4.5";
    c->versionRating = "4";
    c->globalEditorPick = "true";
    c->productID = "77120";
    c->versionID = "991";
    c->contentID = "5531";
    c->contentDb = "cat2";
    c->name = "7-Zip";
    c->releaseDate = "2024-04-30";
    c->licenseType = "Free";
    c->category = "Compression";
    c->osCompatibility = "Windows 10/11";
    c->platform = "x64";
    c->shortDescription = "File archiver with a high compression ratio";
    c->version = "24.05";
    c->links.push_back({"download", "88121", "https://www.7-zip.org/a/7z2405-x64.exe", "Installer", "7z2405-x64.exe",
                        "1.6 MB"});
    c->links.push_back({"info", "", "https://www.7-zip.org/", "Home page", "", ""});
    return std::make_unique<VN_DailyItem>(std::move(c));
}

inline std::unique_ptr<dlmgr::CHistoryItem> FullHistoryItem() {
    auto h = std::make_unique<dlmgr::CHistoryItem>();
    h->State = dlmgr::kStateCopyFailed;
    h->Name = "VLC media player";
    h->Url = "https://get.videolan.org/vlc/3.0.20/win64/vlc-3.0.20-win64.exe";
    h->Destination = "C:\\Users\\ann\\Downloads\\vlc-3.0.20-win64.exe";
    h->Started = 4102444800LL;  // beyond 32 bits
    h->Retries = 2;
    return h;
}

}  // namespace testsupport
