#include "views/submitter.h"

#include "inventory/driver_item.h"
#include "inventory/watch_item.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "scanners/md5.h"
#include "service/catalog_client.h"
#include "service/item_xml.h"

namespace Submit {

namespace {
void SetIfAny(XmlRpc::XmlRpcValue& members, const char* name, const std::string& value) {
    if (!value.empty()) members[name] = vnxml::EscapeItemText(value);
}
}  // namespace

void AddItemMembers(const VN_UpdatedItem& item, XmlRpc::XmlRpcValue& members) {
    if (const auto* driver = dynamic_cast<const VN_DriverItem*>(&item)) {
        members["DeviceDesc"] = vnxml::EscapeItemText(driver->deviceDesc);
        members["DeviceClass"] = vnxml::EscapeItemText(driver->deviceClass);
        members["DeviceMfg"] = vnxml::EscapeItemText(driver->deviceMfg);
        members["DriverDate"] = vnxml::EscapeItemText(driver->driverDate);
        members["DriverDesc"] = vnxml::EscapeItemText(driver->driverDesc);
        members["DriverVersion"] = vnxml::EscapeItemText(driver->driverVersion);
        members["DriverProvider"] = vnxml::EscapeItemText(driver->driverProvider);
        members["MatchingDeviceId"] = vnxml::EscapeItemText(driver->matchingDeviceId);
        members["Files"] = vnxml::EscapeItemText(driver->files);
        members["InfPath"] = vnxml::EscapeItemText(driver->infPath);
        XmlRpc::XmlRpcValue ids;
        ids.setSize(0);
        int n = 0;
        for (const std::string& id : driver->hardwareIds) ids[n++] = vnxml::EscapeItemText(id);
        for (const std::string& id : driver->compatibleIds) ids[n++] = vnxml::EscapeItemText(id);
        members["HwIds"] = ids;
        return;
    }
    const auto* program = dynamic_cast<const VN_WatchItem*>(&item);
    if (!program) return;
    members["packageName"] = vnxml::EscapeItemText(program->packageName);
    if (!program->installedVers.empty() || !program->installedVers2.empty() || !program->installedVers3.empty()) {
        members["versions"]["InstalledVers"] = vnxml::EscapeItemText(program->installedVers);
        members["versions"]["InstalledVers2"] = vnxml::EscapeItemText(program->installedVers2);
        members["versions"]["InstalledVers3"] = vnxml::EscapeItemText(program->installedVers3);
    }
    if (!program->signature.empty()) {
        members["md5Sum"] = digest::StringDigest(program->signature);
        members["signature"] = vnxml::EscapeItemText(program->signature.substr(0, kMaxReportSignature));
    } else if (!program->targetName.empty()) {
        members["md5Sum"] = vnxml::ScanDocumentServices().FileDigest(program->targetName, nullptr);
    }
    members["suiteGuid"] = vnxml::EscapeItemText(program->productGuid);
    if (!program->productGuid.empty()) {
        SetIfAny(members, "VersionString", program->GetMsiProperty("VersionString"));
        SetIfAny(members, "programName", program->GetMsiProductName());
        SetIfAny(members, "publisher", program->GetMsiProperty("Publisher"));
        SetIfAny(members, "urlInfoAbout", program->GetMsiProperty("URLInfoAbout"));
        SetIfAny(members, "urlUpdateInfo", program->GetMsiProperty("URLUpdateInfo"));
        SetIfAny(members, "helpLink", program->GetMsiProperty("HelpLink"));
        SetIfAny(members, "helpTelephone", program->GetMsiProperty("HelpTelephone"));
        SetIfAny(members, "language", program->GetMsiProperty("Language"));
    }
}

XmlRpc::XmlRpcValue CSubmitter::ReportMembers(const VN_UpdatedItem& item, const std::string& reason,
                                              const std::string& comments) {
    platform::Settings& settings = platform::AppSettings();
    XmlRpc::XmlRpcValue members;
    members["machineName"] = vnxml::EscapeItemText(settings.ReadText(setting::kMachineName));
    members["machineID"] = vnxml::EscapeItemText(settings.ReadText(setting::kMachineId));
    members["mxproClient"] = kReportClientVersion;
    members["reason"] = vnxml::EscapeItemText(reason);
    members["comments"] = vnxml::EscapeItemText(comments);
    AddItemMembers(item, members);
    // Set last: they replace any member of the same name the item added.
    members["programName"] = vnxml::EscapeItemText(item.GetDisplayName(false));
    members["executableName"] = vnxml::EscapeItemText(item.GetExecutableName());
    return members;
}

bool CSubmitter::Execute(VN_UpdatedItem& item, const std::string& reason, const std::string& comments) {
    XmlRpc::XmlRpcValue reply;
    if (!catalog::Call(catalog::CatalogueEndpoint(), catalog::kSubmitMethod,
                       catalog::SubmitParams(ReportMembers(item, reason, comments)), reply))
        return false;
    item.reportReason = 0;
    item.reportComments.clear();
    return true;
}

}  // namespace Submit
