#include "service/xml_buffer.h"

#include <optional>
#include <thread>

#include "inventory/guid_item.h"
#include "platform/client_version.h"
#include "platform/setting_names.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "service/item_xml.h"

namespace vnxml {

namespace {

const char* TrueFalse(bool flag) { return flag ? "true" : "false"; }

// Writes fragments until one fails; then everything else is skipped.
class Output {
public:
    explicit Output(CXMLSink& sink) : sink_(sink) {}
    Output& operator<<(std::string_view text) {
        if (!failed_ && !sink_.Write(text)) failed_ = true;
        return *this;
    }
    bool Failed() const { return failed_; }

private:
    CXMLSink& sink_;
    bool failed_ = false;
};

std::string Flag(const char* element, const char* setting) {
    return textutil::Format("<%s>%s</%s>", element, TrueFalse(platform::AppSettings().ReadFlag(setting, true)),
                            element);
}

}  // namespace

CXMLBuffer::CXMLBuffer(VN_ListBaseSync* watch, VN_ListBaseSync* drivers, uint8_t requestMode)
    : watchList(watch), driverList(drivers), mode(requestMode) {
    platform::Settings& settings = platform::AppSettings();
    authentication.machinename = settings.ReadText(setting::kMachineName);
    authentication.machineid = settings.ReadText(setting::kMachineId);
}

bool CXMLBuffer::WriteDocument(std::FILE* out) {
    CXMLFileSink sink(out);
    return WriteDocument(sink);
}

bool CXMLBuffer::WriteDocument(CXMLSink& sink) {
    Output out(sink);
    out << "<?xml version=\"1.0\"?>\n";
    out << "<meridox xmlns=\"" << kRequestNamespace << "\" revision=\"0\" clientPlatform=\"windows\" clientVersion=\""
        << ClientVersion() << "\">\n";
    // The scan identifier is the service's own text, stored from a reply that
    // had its entities decoded: escaped again, or one '&' in it would make
    // every later request unreadable.
    if (!scanId.empty()) out << "<scanid>" << EscapeItemText(scanId) << "</scanid>\n";

    const int64_t now = clock.Now();
    out << "<timestamp>" << clock.Text(now) << "</timestamp>\n";
    if (watchListLink) watchListLink->SetScanTime(now);

    out << authentication.RequestXml();

    profile.clock = clock;
    profile.matchData = ScanDocumentServices().ProgramDigest();
    out << profile.WriteProfile();

    out << "<clientsettings>\n";
    out << Flag("CollectSystemData", setting::kIncludeSysInfo) << "\n";
    out << Flag("ScanDrivers", setting::kScanDevices) << "\n";
    out << Flag("ScanDesktop", setting::kScanDesktop) << "\n";
    out << Flag("ScanOpenApplications", setting::kScanOpenApps) << "\n";
    out << Flag("ScanRecentApplications", setting::kScanRecentApps) << "\n";
    // The service has always read these two from one line.
    out << Flag("ScanStartMenu", setting::kScanStartMenu);
    // Whole minutes; part of a minute is dropped.
    out << textutil::Format("<CheckForUpdatesInterval>%u</CheckForUpdatesInterval>\n", checkIntervalSeconds / 60);
    out << "</clientsettings>\n";
    if (out.Failed()) return true;

    if (mode == kCheckRequest && !WriteItems(sink)) return true;

    out << "</meridox>\n";
    return out.Failed();
}

// The item block. False when a stop was requested or a write failed: the
// document ends there.
bool CXMLBuffer::WriteItems(CXMLSink& sink) {
    // An exchange without lists has no item step at all.
    if (!watchList && !driverList) return true;
    if (progress) progress(5, 0);
    Output out(sink);
    out << "<software.scanned revision=\"0\">\n";
    const VN_ListBaseSync* stopSource = watchList ? watchList : driverList;
    const StopTest stopped = [stopSource] { return stopSource->IsStopRequested(); };
    // One text for every item's element: its storage is reused.
    std::string text;
    text.reserve(4096);
    for (VN_ListBaseSync* list : {watchList, driverList}) {
        if (!list) continue;
        // The window may be changing items (a skip, a removal): they are read
        // under the item lock, which is let go whenever the window waits for it.
        std::optional<inventory::ContentLock::Read> hold;
        for (VN_ItemGrandBase* entry : list->Snapshot()) {
            if (hold && list->ItemLock().WriterWaiting()) {
                hold.reset();
                // The window first: this thread could take the lock again
                // before the waiting writer wakes.
                while (list->ItemLock().WriterWaiting()) std::this_thread::yield();
            }
            if (!hold) hold.emplace(list->ItemLock());
            if (stopSource->IsStopRequested()) return false;
            // A list's walk ends at its first empty slot.
            if (!entry) break;
            if (entry->removed != item_state::kPresent) continue;
            text.clear();
            if (VN_WatchItem* watch = entry->AsWatchItem()) AppendItemXml(text, *watch, stopped);
            else if (VN_DriverItem* driver = entry->AsDriverItem()) AppendItemXml(text, *driver);
            else continue;
            out << text;
            if (out.Failed()) return false;
        }
    }
    out << "</software.scanned>\n";
    return !out.Failed();
}

void CXMLBuffer::PrepareForReply() {
    if (mode != kCheckRequest) return;
    if (watchListLink) {
        watchListLink->ItemFlagsReset();
        return;
    }
    if (!watchList) return;
    for (VN_ItemGrandBase* entry : watchList->Snapshot()) {
        if (auto* item = dynamic_cast<VN_UpdatedItem*>(entry)) {
            item->updateAvailable = false;
            item->outdated = false;
        }
    }
}

}  // namespace vnxml
