// The items' elements of the scan request. The lines are fixed fragments with
// explicit tabs and line feeds, exactly as the service has always read them;
// only the program's identity element comes from the XML writer.
#include "service/item_xml.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

#include "inventory/driver_item.h"
#include "inventory/watch_item.h"
#include "platform/text.h"
#include "scanners/driver_search.h"
#include "scanners/file_identity.h"
#include "scanners/md5.h"

namespace vnxml {

namespace {

// The bytes an item text keeps as they are: printable ASCII but "&", "<", ">".
struct PlainBytes {
    bool plain[256] = {};
    PlainBytes() {
        for (int b = 32; b < 128; ++b) plain[b] = b != '&' && b != '<' && b != '>';
    }
};
const PlainBytes kPlain;

}  // namespace

namespace {

// The length of the run of bytes at the start of `text` that stand as they
// are. Eight bytes are tested at a time: a word passes when none of its bytes
// is below 32 or above 127, nor "&", "<" or ">" (each test is exact for the
// word as a whole); the word that fails, and the tail, go byte by byte.
size_t PlainRun(const char* text, size_t size) {
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kHigh = 0x8080808080808080ull;
    const auto hasZero = [](uint64_t w) { return (w - kOnes) & ~w & kHigh; };
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t w;
        std::memcpy(&w, text + i, 8);
        const uint64_t special = (w & kHigh) | ((w - kOnes * 0x20) & ~w & kHigh) | hasZero(w ^ (kOnes * '&')) |
                                 hasZero(w ^ (kOnes * '<')) | hasZero(w ^ (kOnes * '>'));
        if (special) break;
    }
    while (i < size && kPlain.plain[static_cast<unsigned char>(text[i])]) ++i;
    return i;
}

}  // namespace

void AppendEscapedItemText(std::string& out, std::string_view text) {
    // Runs of bytes that stand as they are go over in one copy.
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p != end) {
        const size_t run = PlainRun(p, static_cast<size_t>(end - p));
        out.append(p, run);
        p += run;
        if (p == end) break;
        switch (*p++) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '\t': out += '\t'; break;
            case '\n': out += '\n'; break;
            case '\r': out += '\r'; break;
            default: break;  // other control characters and bytes above 127 are left out
        }
    }
}

std::string EscapeItemText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendEscapedItemText(out, text);
    return out;
}

namespace {

std::mutex g_servicesMutex;
std::unique_ptr<IScanDocumentServices> g_services;

// "\t<Name>" + escaped text + "</Name>\n". The tags are put together on the
// stack, so that each goes over in one append.
template <size_t N>
void Line(std::string& out, const char (&name)[N], std::string_view text) {
    constexpr size_t n = N - 1;
    if (PlainRun(text.data(), text.size()) == text.size()) {
        // Nothing to escape (the common case): the line goes in at once.
        const size_t at = out.size();
        out.resize(at + 2 * n + 7 + text.size());
        char* p = &out[at];
        std::memcpy(p, "\t<", 2);
        std::memcpy(p + 2, name, n);
        p[n + 2] = '>';
        p += n + 3;
        if (!text.empty()) std::memcpy(p, text.data(), text.size());
        p += text.size();
        std::memcpy(p, "</", 2);
        std::memcpy(p + 2, name, n);
        std::memcpy(p + n + 2, ">\n", 2);
        return;
    }
    char tag[n + 4];
    tag[0] = '\t';
    tag[1] = '<';
    std::memcpy(tag + 2, name, n);
    tag[n + 2] = '>';
    out.append(tag, n + 3);
    AppendEscapedItemText(out, text);
    tag[0] = '<';
    tag[1] = '/';
    tag[n + 3] = '\n';
    out.append(tag, n + 4);
}

template <size_t N>
void OptionalLine(std::string& out, const char (&name)[N], std::string_view text) {
    if (!text.empty()) Line(out, name, text);
}

// The number's digits in `base` (lower-case letters), as printf's %d and %x
// write them, without printf's cost of parsing a format for every item.
template <typename Number>
void AppendNumber(std::string& out, Number value, int base = 10) {
    char digits[24];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value, base);
    out.append(digits, static_cast<size_t>(end.ptr - digits));
}

void Start(std::string& out, int32_t sequence) {
    out += "<item>\n\t<Sequence>";
    AppendNumber(out, sequence);
    out += "</Sequence>\n";
}

// "\t<HwId HexRank=\"rank in hexadecimal\">" + escaped identifier + "</HwId>\n".
void HardwareId(std::string& out, size_t rank, std::string_view id) {
    out += "\t<HwId HexRank=\"";
    AppendNumber(out, static_cast<unsigned>(rank), 16);
    out += "\">";
    AppendEscapedItemText(out, id);
    out += "</HwId>\n";
}

// The wrong-item report that waits to go out with the next request: one
// with comments, or with a reason alone (a report of a reason that needs no
// comments, which could not be sent at once, must not be lost).
void PendingReport(std::string& out, const VN_UpdatedItem& item) {
    if (item.reportComments.empty() && item.reportReason == 0) return;
    out += "\t<submission>\n\t\t<reason>";
    out += ScanDocumentServices().LoadText(item.reportReason);
    out += "</reason>\n\t\t<comments>";
    AppendEscapedItemText(out, item.reportComments);
    out += "</comments>\n\t</submission>\n";
}

// The installer properties a suite is identified by, in the order they are sent.
constexpr const char* kSuiteProperties[] = {
    "InstalledProductName", "VersionString", "HelpLink",     "HelpTelephone", "Publisher",
    "URLInfoAbout",         "URLUpdateInfo", "Language",     "ProductName",
};

void SuiteIdentity(std::string& out, const VN_WatchItem& item) {
    if (item.productGuid.empty()) return;
    out += "<GUID type=\"product\">" + EscapeItemText(item.productGuid) + "</GUID>\n";
    if (!item.componentGuid.empty()) {
        out += "<GUID type=\"component\">" + EscapeItemText(item.componentGuid) + "</GUID>\n";
        return;
    }
    if (!item.IsSuite()) return;
    out += "<ItemType>suite</ItemType>\n";
    out += "<Md5Id src=\"guid\">" + digest::StringDigest(item.productGuid + item.GetMsiProperty("VersionString")) +
           "</Md5Id>\n";
    out += "<SuiteIdentity>\n";
    for (const char* name : kSuiteProperties) {
        const std::string value = item.GetMsiProperty(name);
        if (value.empty()) continue;
        out += '<';
        out += name;
        out += '>';
        out += EscapeItemText(value);
        out += "</";
        out += name;
        out += ">\n";
    }
    out += "</SuiteIdentity>\n";
}

// The service keeps the signature in a field of 255 characters.
constexpr size_t kMaxSignature = 255;

// Appends the escaped `text` cut to `limit` characters, but never inside an
// entity reference: a cut "&am" would make the whole document unreadable, so
// an entity that does not fit is left out entirely.
void AppendCutEscaped(std::string& out, std::string_view text, size_t limit) {
    const size_t at = out.size();
    AppendEscapedItemText(out, text);
    const std::string_view escaped = std::string_view(out).substr(at);
    if (escaped.size() <= limit) return;
    size_t cut = limit;
    const size_t amp = escaped.rfind('&', cut - 1);
    if (amp != std::string_view::npos) {
        const size_t semicolon = escaped.find(';', amp);
        if (semicolon != std::string_view::npos && semicolon >= cut) cut = amp;
    }
    out.resize(at + cut);
}

}  // namespace

IScanDocumentServices& ScanDocumentServices() {
    std::lock_guard<std::mutex> lock(g_servicesMutex);
    if (!g_services) g_services = MakePlatformScanDocumentServices();
    return *g_services;
}

std::unique_ptr<IScanDocumentServices> InstallScanDocumentServices(std::unique_ptr<IScanDocumentServices> services) {
    std::lock_guard<std::mutex> lock(g_servicesMutex);
    return std::exchange(g_services, std::move(services));
}

void AppendItemXml(std::string& out, VN_WatchItem& item, const StopTest& stopped) {
    vnxml::IScanDocumentServices& services = vnxml::ScanDocumentServices();
    vnxml::Start(out, item.GetSequence());

    if (!item.targetName.empty()) {
        const std::string md5 = services.FileDigest(item.targetName, stopped);
        if (md5.size() == 32) {
            out += "<Md5Id src=\"exe\">";
            out += md5;
            out += "</Md5Id>";
        }
        fileid::AppendFileIdentityXml(out, fileid::kProcessIdentity, item.executableName, item.targetName,
                                      std::string_view());
    }

    vnxml::Line(out, "ProgName", item.progName);
    vnxml::OptionalLine(out, "PackageName", item.packageName);
    vnxml::Line(out, "InstalledVers", item.installedVers);
    if (!item.installedVers2.empty() && item.installedVers2 != item.installedVers) {
        vnxml::Line(out, "InstalledVers2", item.installedVers2);
        if (!item.installedVers3.empty() && item.installedVers3 != item.installedVers2)
            vnxml::Line(out, "InstalledVers3", item.installedVers3);
    }
    vnxml::Line(out, "Source", item.source);
    vnxml::Line(out, "ExecutableName", item.executableName);
    vnxml::OptionalLine(out, "Description", item.description);
    vnxml::OptionalLine(out, "ShortcutName", item.shortcutName);
    vnxml::OptionalLine(out, "TargetName", item.targetName);
    vnxml::OptionalLine(out, "Error", item.error);

    // The identifier an earlier reply gave the item goes back to the service.
    if (!item.serverId.empty()) {
        out += "\t<ID type=\"fingerPrint\">";
        AppendEscapedItemText(out, item.serverId);
        out += "</ID>\n";
    }
    if (item.IsUntrackableComponent()) out += "\t<ItemType>comFromReg</ItemType>\n";
    vnxml::PendingReport(out, item);
    vnxml::SuiteIdentity(out, item);

    if (!item.signature.empty()) {
        out += "\t<Md5Id>";
        digest::AppendStringDigest(out, item.signature);
        out += "</Md5Id>\n\t<Signature>";
        vnxml::AppendCutEscaped(out, item.signature, vnxml::kMaxSignature);
        out += "</Signature>\n";
    }

    // Icons only when the service asked for them, and only for a product it knows.
    const std::string productId = item.GetProductId();
    if (!productId.empty() && item.serverNeedsIcon) {
        const std::string& iconSource = !item.targetName.empty() ? item.targetName : item.iconPath;
        if (!iconSource.empty()) {
            out += services.IconElements(productId, iconSource);
            item.serverNeedsIcon = false;
        } else {
            out += fileid::GenericIconElement();
        }
    }

    out += "</item>\n";
}

void AppendItemXml(std::string& out, VN_DriverItem& item) {
    vnxml::Start(out, item.GetSequence());
    vnxml::Line(out, "DeviceDesc", item.deviceDesc);
    vnxml::Line(out, "DeviceClass", item.deviceClass);
    vnxml::Line(out, "DeviceMfg", item.deviceMfg);
    vnxml::Line(out, "DriverDate", item.driverDate);
    vnxml::Line(out, "DriverDesc", item.driverDesc);
    vnxml::Line(out, "DriverVersion", item.driverVersion);
    vnxml::Line(out, "DriverProvider", item.driverProvider);
    vnxml::Line(out, "MatchingDeviceId", item.matchingDeviceId);
    out += "\t<MatchingHexRank>";
    out += scanners::VN_DeviceSearch::GetMatchingRankText(item);
    out += "</MatchingHexRank>\n";
    vnxml::Line(out, "Files", item.files);
    vnxml::Line(out, "InfPath", item.infPath);
    // Hardware identifiers rank by their position; compatible identifiers
    // rank below every hardware identifier, from 0x2000 on.
    for (size_t i = 0; i < item.hardwareIds.size(); ++i) vnxml::HardwareId(out, i, item.hardwareIds[i]);
    for (size_t i = 0; i < item.compatibleIds.size(); ++i) vnxml::HardwareId(out, 0x2000 + i, item.compatibleIds[i]);
    vnxml::PendingReport(out, item);
    out += "\t<ItemType>driver</ItemType>\n";
    out += "</item>\n";
}

void AppendItemXml(std::string& out, VN_GuidItem& item) {
    if (VN_WatchItem* watch = item.AsWatchItem()) return AppendItemXml(out, *watch);
    if (VN_DriverItem* driver = item.AsDriverItem()) return AppendItemXml(out, *driver);
}

std::string ItemXml(VN_WatchItem& item) {
    std::string out;
    AppendItemXml(out, item);
    return out;
}

std::string ItemXml(VN_DriverItem& item) {
    std::string out;
    AppendItemXml(out, item);
    return out;
}

std::string ItemXml(VN_GuidItem& item) {
    std::string out;
    AppendItemXml(out, item);
    return out;
}

}  // namespace vnxml
