// The items' elements of the scan request. The lines are fixed fragments with
// explicit tabs and line feeds, exactly as the service has always read them;
// only the program's identity element comes from the XML writer.
#include "service/item_xml.h"

#include <mutex>
#include <utility>

#include "inventory/driver_item.h"
#include "inventory/watch_item.h"
#include "platform/text.h"
#include "scanners/driver_search.h"
#include "scanners/file_identity.h"
#include "scanners/md5.h"

namespace vnxml {

std::string EscapeItemText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '\t':
        case '\n':
        case '\r': out += c; break;
        default:
            if (byte >= 32 && byte < 128) out += c;
            break;
        }
    }
    return out;
}

namespace {

std::mutex g_servicesMutex;
std::unique_ptr<IScanDocumentServices> g_services;

// "\t<Name>" + escaped text + "</Name>\n".
void Line(std::string& out, const char* name, std::string_view text) {
    out += "\t<";
    out += name;
    out += '>';
    out += EscapeItemText(text);
    out += "</";
    out += name;
    out += ">\n";
}

void OptionalLine(std::string& out, const char* name, std::string_view text) {
    if (!text.empty()) Line(out, name, text);
}

void Start(std::string& out, int32_t sequence) {
    out += "<item>\n\t<Sequence>";
    out += std::to_string(sequence);
    out += "</Sequence>\n";
}

// The wrong-item report that waits to go out with the next request.
void PendingReport(std::string& out, const VN_UpdatedItem& item) {
    if (item.reportComments.empty()) return;
    out += "\t<submission>\n\t\t<reason>";
    out += ScanDocumentServices().LoadText(item.reportReason);
    out += "</reason>\n\t\t<comments>";
    out += EscapeItemText(item.reportComments);
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

// The escaped text cut to `limit` characters, but never inside an entity
// reference: a cut "&am" would make the whole document unreadable, so an
// entity that does not fit is left out entirely.
std::string CutEscaped(const std::string& escaped, size_t limit) {
    if (escaped.size() <= limit) return escaped;
    size_t cut = limit;
    const size_t amp = escaped.rfind('&', cut - 1);
    if (amp != std::string::npos) {
        const size_t semicolon = escaped.find(';', amp);
        if (semicolon != std::string::npos && semicolon >= cut) cut = amp;
    }
    return escaped.substr(0, cut);
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

}  // namespace vnxml

using vnxml::EscapeItemText;

std::string VN_WatchItem::GetItemXml() {
    vnxml::IScanDocumentServices& services = vnxml::ScanDocumentServices();
    std::string out;
    vnxml::Start(out, GetSequence());

    if (!targetName.empty()) {
        const std::string md5 = services.FileDigest(targetName);
        if (md5.size() == 32) out += "<Md5Id src=\"exe\">" + md5 + "</Md5Id>";
        out += fileid::FileIdentityXml(fileid::kProcessIdentity, executableName, targetName, std::string_view());
    }

    vnxml::Line(out, "ProgName", progName);
    vnxml::OptionalLine(out, "PackageName", packageName);
    vnxml::Line(out, "InstalledVers", installedVers);
    if (!installedVers2.empty() && installedVers2 != installedVers) {
        vnxml::Line(out, "InstalledVers2", installedVers2);
        if (!installedVers3.empty() && installedVers3 != installedVers2) vnxml::Line(out, "InstalledVers3", installedVers3);
    }
    vnxml::Line(out, "Source", source);
    vnxml::Line(out, "ExecutableName", executableName);
    vnxml::OptionalLine(out, "Description", description);
    vnxml::OptionalLine(out, "ShortcutName", shortcutName);
    vnxml::OptionalLine(out, "TargetName", targetName);
    vnxml::OptionalLine(out, "Error", error);

    // The identifier an earlier reply gave the item goes back to the service.
    if (!serverId.empty()) out += "\t<ID type=\"fingerPrint\">" + EscapeItemText(serverId) + "</ID>\n";
    if (IsUntrackableComponent()) out += "\t<ItemType>comFromReg</ItemType>\n";
    vnxml::PendingReport(out, *this);
    vnxml::SuiteIdentity(out, *this);

    if (!signature.empty()) {
        out += "\t<Md5Id>" + digest::StringDigest(signature) + "</Md5Id>\n";
        out += "\t<Signature>" + vnxml::CutEscaped(EscapeItemText(signature), vnxml::kMaxSignature) + "</Signature>\n";
    }

    // Icons only when the service asked for them, and only for a product it knows.
    const std::string productId = GetProductId();
    if (!productId.empty() && serverNeedsIcon) {
        const std::string& iconSource = !targetName.empty() ? targetName : iconPath;
        if (!iconSource.empty()) {
            out += services.IconElements(productId, iconSource);
            serverNeedsIcon = false;
        } else {
            out += fileid::GenericIconElement();
        }
    }

    out += "</item>\n";
    return out;
}

std::string VN_DriverItem::GetItemXml() {
    std::string out;
    vnxml::Start(out, GetSequence());
    vnxml::Line(out, "DeviceDesc", deviceDesc);
    vnxml::Line(out, "DeviceClass", deviceClass);
    vnxml::Line(out, "DeviceMfg", deviceMfg);
    vnxml::Line(out, "DriverDate", driverDate);
    vnxml::Line(out, "DriverDesc", driverDesc);
    vnxml::Line(out, "DriverVersion", driverVersion);
    vnxml::Line(out, "DriverProvider", driverProvider);
    vnxml::Line(out, "MatchingDeviceId", matchingDeviceId);
    out += "\t<MatchingHexRank>" + scanners::VN_DeviceSearch::GetMatchingRankText(*this) + "</MatchingHexRank>\n";
    vnxml::Line(out, "Files", files);
    vnxml::Line(out, "InfPath", infPath);
    // Hardware identifiers rank by their position; compatible identifiers
    // rank below every hardware identifier, from 0x2000 on.
    for (size_t i = 0; i < hardwareIds.size(); ++i)
        out += textutil::Format("\t<%s HexRank=\"%x\">", "HwId", static_cast<unsigned>(i)) +
               EscapeItemText(hardwareIds[i]) + "</HwId>\n";
    for (size_t i = 0; i < compatibleIds.size(); ++i)
        out += textutil::Format("\t<%s HexRank=\"%x\">", "HwId", static_cast<unsigned>(0x2000 + i)) +
               EscapeItemText(compatibleIds[i]) + "</HwId>\n";
    vnxml::PendingReport(out, *this);
    out += "\t<ItemType>driver</ItemType>\n";
    out += "</item>\n";
    return out;
}
