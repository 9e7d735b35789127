// vntool scan-doc: the scan document the agent would send for a watch-list
// database (and a driver database), with the machine's data given on the
// command line, so that support staff can see exactly what goes to the service.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "command.h"
#include "engine/schedule_interval.h"
#include "inventory/driver_data.h"
#include "inventory/list_base.h"
#include "platform/files.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/string_table.h"
#include "scanners/md5.h"
#include "service/item_xml.h"
#include "service/xml_buffer.h"
#include "sysinfo/profile.h"

namespace vntool {
namespace {

const char kHelp[] =
    "vntool scan-doc [OPTIONS] WATCHLIST.db [DRIVERS.db]\n"
    "    Prints on standard output the scan document the agent would write as\n"
    "    \"submit.xml\" and post to the update service for the watch list stored in\n"
    "    WATCHLIST.db (the agent's \"varnel.db\") and, when given, the driver list\n"
    "    in DRIVERS.db (\"driverdata.db\"): the check request, with every item that is\n"
    "    present (removed items are not sent), watch items first, numbered 1, 2, ...\n"
    "    in the order written. The bytes are those the agent writes, in its ANSI\n"
    "    code page; only the line ends differ (the agent's file has CR LF).\n"
    "    The machine's data comes from the options; each has a fixed default, so the\n"
    "    same files and options always give the same document (except the time, which\n"
    "    is the current time unless --time is given):\n"
    "      --prescan              write the pre-scan request instead (no items)\n"
    "      --machine-name NAME    \"Machine Name\" (default VARNEL-PC)\n"
    "      --machine-id ID        \"Machine ID\" (default empty)\n"
    "      --scan-id ID           \"Scan ID\" (default empty: no scanid element; not\n"
    "                             with --prescan)\n"
    "      --exclusion-date DATE  the pre-scan's exclusionListDate (default: none)\n"
    "      --time TIME            the document's time: seconds since 1970, or\n"
    "                             YYYY-MM-DDTHH:MM:SS in UTC (0: the current time)\n"
    "      --zone +HHMM|-HHMM     the machine's offset from UTC (default +0000)\n"
    "      --next-scan TIME       the next scheduled scan (default: none scheduled)\n"
    "      --no-sys-info          as with \"Include Sys Info\" off (also\n"
    "                             --setting \"Include Sys Info=0\"): the system values of\n"
    "                             the profile are sent empty\n"
    "      --program-md5 HEX      digest of the agent's own program file (default empty)\n"
    "      --manufacturer TEXT    (default \"Contoso Ltd.\")\n"
    "      --model TEXT           (default \"Desktop 1000\")\n"
    "      --os-name TEXT         WMI caption; a leading \"Microsoft \" is dropped as the\n"
    "                             agent does (default \"Microsoft Windows 10 Pro\")\n"
    "      --os-version M.m.BUILD (default 10.0.19045)\n"
    "      --service-pack TEXT    (default empty)\n"
    "      --cpu-id TEXT          processor identifier (default \"Intel64 Family 6\n"
    "                             Model 165 Stepping 5\")\n"
    "      --cpu-type N           processor type; 586 adds level and revision (default 8664)\n"
    "      --cpu-level N, --cpu-revision N (default 6 and 0)\n"
    "      --cpu-mhz N            clock in MHz; 0 for unknown (default 2904)\n"
    "      --processors N         (default 8)\n"
    "      --memory BYTES         (default 17179869184)\n"
    "      --display WxH          (default 1920x1080)\n"
    "      --windows-folder PATH  (default C:\\WINDOWS)\n"
    "      --setting NAME=NUMBER  a numeric settings value the document reads, for\n"
    "                             example \"Check for Updates=1\" or\n"
    "                             \"WatchList Scan Desktop=0\" (repeatable)\n"
    "    Item digests are taken from the files the items name when those exist\n"
    "    here (normally they do not, and no Md5Id src=\"exe\" is written); no icons\n"
    "    are written. Exit code 1 when a database cannot be read.\n";

// The document's services as far as this machine can answer them.
class ToolServices final : public vnxml::IScanDocumentServices {
public:
    explicit ToolServices(std::string programDigest) : programDigest_(std::move(programDigest)) {}
    std::string FileDigest(const std::string& path, const vnxml::StopTest&) override {
        return digest::FileMd5Hex(path);
    }
    std::string ProgramDigest() override { return programDigest_; }
    std::string IconElements(const std::string&, const std::string&) override { return std::string(); }
    std::string LoadText(int id) override { return platform::LoadText(id); }

private:
    std::string programDigest_;
};

bool ParseUnsigned(const std::string& text, uint64_t& value) {
    if (text.empty() || text.size() > 19) return false;
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
}

bool ParseU32(const std::string& text, uint32_t& value) {
    uint64_t wide = 0;
    if (!ParseUnsigned(text, wide) || wide > UINT32_MAX) return false;
    value = static_cast<uint32_t>(wide);
    return true;
}

// Days from 1970-01-01 to the civil date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool ParseTime(const std::string& text, int64_t& time) {
    uint64_t seconds = 0;
    if (ParseUnsigned(text, seconds)) {
        time = static_cast<int64_t>(seconds);
        return true;
    }
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6) return false;
    if (y < 1970 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59) return false;
    time = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400 + h * 3600 + mi * 60 + s;
    return true;
}

bool ParseZone(const std::string& text, platform::TimeZoneState& zone) {
    uint32_t hhmm = 0;
    if (text.size() != 5 || (text[0] != '+' && text[0] != '-') || !ParseU32(text.substr(1), hhmm)) return false;
    const int32_t minutes = static_cast<int32_t>(hhmm / 100 * 60 + hhmm % 100);
    if (hhmm % 100 > 59 || minutes > 14 * 60) return false;
    zone = platform::TimeZoneState();
    zone.bias = text[0] == '+' ? -minutes : minutes;  // UTC = local time + bias
    zone.mode = platform::TimeZoneMode::Standard;
    return true;
}

struct Options {
    bool preScan = false;
    bool collect = true;
    std::string machineName = "VARNEL-PC", machineId, scanId, exclusionDate, programMd5;
    int64_t time = 0, nextScan = 0;
    platform::TimeZoneState zone;
    sysinfo::SystemFacts facts;
    sysinfo::VN_ProfileMfg mfg;
    std::map<std::string, uint32_t> settings;
    std::vector<std::string> files;
};

Options Defaults() {
    Options o;
    o.zone.mode = platform::TimeZoneMode::Standard;
    o.facts.osVersion = sysinfo::SystemFacts::OsVersion{10, 0, 19045, ""};
    o.facts.processorIdentifier = "Intel64 Family 6 Model 165 Stepping 5";
    o.facts.processorType = 8664;
    o.facts.processorLevel = 6;
    o.facts.processorMhz = 2904;
    o.facts.processorCount = 8;
    o.facts.physicalMemory = 17179869184ull;
    o.facts.screenWidth = 1920;
    o.facts.screenHeight = 1080;
    o.facts.windowsFolder = "C:\\WINDOWS";
    o.mfg.manufacturer = "Contoso Ltd.";
    o.mfg.model = "Desktop 1000";
    o.mfg.osName = sysinfo::VN_ProfileMfg::OsNameFromCaption("Microsoft Windows 10 Pro");
    return o;
}

// Reads the command line into `o`; an error text, or empty.
std::string ParseArgs(const Args& args, Options& o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--prescan") { o.preScan = true; continue; }
        if (a == "--no-sys-info") { o.collect = false; continue; }
        if (a.compare(0, 2, "--") != 0) { o.files.push_back(a); continue; }
        if (i + 1 >= args.size()) return a + " needs a value";
        const std::string& v = args[++i];
        uint32_t n = 0;
        if (a == "--machine-name") o.machineName = v;
        else if (a == "--machine-id") o.machineId = v;
        else if (a == "--scan-id") o.scanId = v;
        else if (a == "--exclusion-date") o.exclusionDate = v;
        else if (a == "--program-md5") o.programMd5 = v;
        else if (a == "--manufacturer") o.mfg.manufacturer = v;
        else if (a == "--model") o.mfg.model = v;
        else if (a == "--os-name") o.mfg.osName = sysinfo::VN_ProfileMfg::OsNameFromCaption(v);
        else if (a == "--service-pack") o.facts.osVersion->servicePack = v;
        else if (a == "--cpu-id") o.facts.processorIdentifier = v;
        else if (a == "--windows-folder") o.facts.windowsFolder = v;
        else if (a == "--time") { if (!ParseTime(v, o.time)) return "bad time: " + v; }
        else if (a == "--next-scan") { if (!ParseTime(v, o.nextScan)) return "bad time: " + v; }
        else if (a == "--zone") { if (!ParseZone(v, o.zone)) return "bad zone (+HHMM or -HHMM): " + v; }
        else if (a == "--os-version") {
            unsigned major = 0, minor = 0, build = 0;
            char tail = 0;
            if (std::sscanf(v.c_str(), "%u.%u.%u%c", &major, &minor, &build, &tail) != 3)
                return "bad version (MAJOR.MINOR.BUILD): " + v;
            o.facts.osVersion->major = major;
            o.facts.osVersion->minor = minor;
            o.facts.osVersion->build = build;
        } else if (a == "--display") {
            int w = 0, h = 0;
            char tail = 0;
            if (std::sscanf(v.c_str(), "%dx%d%c", &w, &h, &tail) != 2 || w < 0 || h < 0)
                return "bad display (WIDTHxHEIGHT): " + v;
            o.facts.screenWidth = w;
            o.facts.screenHeight = h;
        } else if (a == "--memory") {
            if (!ParseUnsigned(v, o.facts.physicalMemory)) return "bad number: " + v;
        } else if (a == "--setting") {
            const size_t eq = v.find('=');
            if (eq == std::string::npos || eq == 0 || !ParseU32(v.substr(eq + 1), n))
                return "bad setting (NAME=NUMBER): " + v;
            o.settings[v.substr(0, eq)] = n;
        } else if (a == "--cpu-type" || a == "--cpu-level" || a == "--cpu-revision" || a == "--cpu-mhz" ||
                   a == "--processors") {
            if (!ParseU32(v, n)) return "bad number: " + v;
            if (a == "--cpu-type") o.facts.processorType = n;
            else if (a == "--cpu-level") o.facts.processorLevel = n;
            else if (a == "--cpu-revision") o.facts.processorRevision = n;
            else if (a == "--processors") o.facts.processorCount = n;
            else if (n == 0) o.facts.processorMhz.reset();
            else o.facts.processorMhz = n;
        } else {
            return "unknown option " + a;
        }
    }
    if (o.files.empty() || o.files.size() > 2) return "give WATCHLIST.db and optionally DRIVERS.db";
    if (o.preScan && !o.scanId.empty()) return "--scan-id cannot go with --prescan: a pre-scan request has no scanid";
    return std::string();
}

bool LoadList(const std::string& path, VN_ListBase& list, std::string& error) {
    if (!platform::FileExists(path) || platform::IsDirectory(path)) {
        error = "cannot read " + path;
        return false;
    }
    if (!list.LoadFile(path)) {
        error = path + ": not a readable database file of this kind";
        return false;
    }
    return true;
}

int Run(const Args& args) {
    Options o = Defaults();
    const std::string usage = ParseArgs(args, o);
    if (!usage.empty()) return UsageError("scan-doc: " + usage);

    VN_ListUpdatedBase watch;
    Views::CDriverData drivers;
    std::string error;
    if (!LoadList(o.files[0], watch, error)) return Fail(error);
    if (o.files.size() > 1 && !LoadList(o.files[1], drivers, error)) return Fail(error);

    platform::InstallSettingsStore(platform::MakeMemorySettingsStore(o.machineName));
    platform::Settings& settings = platform::AppSettings();
    settings.WriteText(setting::kMachineId, o.machineId);
    for (const auto& [name, value] : o.settings) settings.WriteNumber(name, value);
    if (!o.collect) settings.WriteNumber(setting::kIncludeSysInfo, 0);
    vnxml::InstallScanDocumentServices(std::make_unique<ToolServices>(o.programMd5));

    vnxml::CXMLBuffer buffer(o.preScan ? nullptr : &watch, o.preScan || o.files.size() < 2 ? nullptr : &drivers,
                             o.preScan ? vnxml::kPreScanRequest : vnxml::kCheckRequest);
    buffer.scanId = o.scanId;
    buffer.checkIntervalSeconds = engine::CheckIntervalSeconds(settings);
    buffer.authentication.exclusionListDate = o.exclusionDate;
    buffer.clock.fixedTime = o.time;
    buffer.clock.zone = o.zone;
    buffer.profile = sysinfo::VN_Profile(o.facts, o.mfg);
    // The engine sets the profile's flag from the same setting the document reports.
    buffer.profile.SetCollect(settings.ReadFlag(setting::kIncludeSysInfo, setting::kIncludeSysInfoDefault));
    buffer.profile.nextScheduledScan = o.nextScan;
    const bool failed = buffer.WriteDocument(stdout);
    if (std::fflush(stdout) != 0 || failed) return Fail("the document could not be written");
    return 0;
}

const Registrar registrar({
    "scan-doc",
    "print the scan document the agent would send for a watch list",
    kHelp,
    &Run,
});

}  // namespace
}  // namespace vntool
