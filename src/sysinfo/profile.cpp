#include "sysinfo/profile.h"

#include <cinttypes>
#include <mutex>

#include "platform/client_version.h"
#include "platform/text.h"
#include "platform/xml_writer.h"

namespace sysinfo {

namespace {
constexpr char kMicrosoftPrefix[] = "Microsoft ";
constexpr size_t kMicrosoftPrefixLength = sizeof(kMicrosoftPrefix) - 1;
}  // namespace

// ------------------------------------------------------------ VN_ProfileMfg

std::string VN_ProfileMfg::OsNameFromCaption(const std::string& caption) {
    // The prefix is compared as WMI writes it; "microsoft" in other cases is
    // part of a name we have no reason to shorten.
    if (caption.compare(0, kMicrosoftPrefixLength, kMicrosoftPrefix) == 0) return caption.substr(kMicrosoftPrefixLength);
    return caption;
}

VN_ProfileMfg VN_ProfileMfg::Current() {
    // WMI is slow to start; the values cannot change while the agent runs.
    // A read that found nothing (WMI not ready yet at logon) is not kept, so
    // the next document tries again.
    static std::mutex mutex;
    static VN_ProfileMfg values;
    static bool kept = false;
    std::lock_guard<std::mutex> lock(mutex);
    if (!kept) {
        values = ReadFromWmi();
        kept = !values.manufacturer.empty() || !values.model.empty() || !values.osName.empty();
    }
    return values;
}

// --------------------------------------------------------------- VN_Profile

VN_Profile::VN_Profile() = default;

VN_Profile::VN_Profile(SystemFacts facts, VN_ProfileMfg mfg) : facts_(std::move(facts)), mfg_(std::move(mfg)) {}

const SystemFacts& VN_Profile::Facts() const {
    if (!facts_) facts_ = ReadSystemFacts();
    return *facts_;
}

VN_ProfileMfg VN_Profile::Mfg() const { return mfg_ ? *mfg_ : VN_ProfileMfg::Current(); }

std::string VN_Profile::GetOsVersion() const {
    if (!collect_) return std::string();
    const auto& version = Facts().osVersion;
    if (!version) return std::string();
    return textutil::Format("%u.%u %s (Build %u)", version->major, version->minor, version->servicePack.c_str(),
                            version->build & 0xFFFFu);
}

std::string VN_Profile::GetProcessorType() const {
    if (!collect_) return std::string();
    return Facts().processorIdentifier;
}

std::string VN_Profile::GetProcessorInfo() const {
    if (!collect_) return std::string();
    const SystemFacts& facts = Facts();
    std::string info;
    if (facts.processorType == kProcessorPentium)
        info = textutil::Format("Level %u, Revision %u", facts.processorLevel, facts.processorRevision);
    if (facts.processorMhz) info += textutil::Format(", ~%u MHZ", *facts.processorMhz);
    return info;
}

std::string VN_Profile::GetProcessorCount() const {
    if (!collect_) return std::string();
    return textutil::Format("%u", Facts().processorCount);
}

std::string VN_Profile::GetPhysicalMemory() const {
    if (!collect_) return std::string();
    // The whole 64-bit count: machines have more than the 2 GB a 32-bit
    // signed number could say.
    return textutil::Format("%" PRIu64, Facts().physicalMemory);
}

std::string VN_Profile::GetDisplay() const {
    if (!collect_) return std::string();
    const SystemFacts& facts = Facts();
    return textutil::Format("%dx%d", facts.screenWidth, facts.screenHeight);
}

std::string VN_Profile::GetWindowsFolder() const {
    if (!collect_) return std::string();
    return Facts().windowsFolder;
}

std::string VN_Profile::WriteProfile() const {
    vnxml::CXMLMemorySink sink;
    {
        vnxml::CXMLWriter doc(sink);
        vnxml::CXMLElement profile = doc.AddElement("systemProfile");
        profile.AddTextElement("platform", "Windows");
        const VN_ProfileMfg& mfg = Mfg();
        profile.AddTextElement("manufacturer", mfg.manufacturer);
        profile.AddTextElement("model", mfg.model);

        vnxml::CXMLElement os = profile.AddElement("operatingSystem");
        os.AddTextElement("name", mfg.osName);
        os.AddTextElement("version", GetOsVersion());
        os.AddTextElement("location", GetWindowsFolder());

        vnxml::CXMLElement architecture = profile.AddElement("architecture");
        architecture.AddTextElement("type", GetProcessorType());
        architecture.AddTextElement("info", GetProcessorInfo());
        architecture.AddTextElement("processors", GetProcessorCount());

        profile.AddTextElement("physicalRam", GetPhysicalMemory());

        vnxml::CXMLElement client = profile.AddElement("clientinfo");
        client.AddTextElement("version", vnxml::ClientVersion());
        vnxml::CXMLElement matchdata = client.AddElement("matchdata");
        matchdata.SetAttribute("type", "MD5");
        matchdata.SetText(matchData);

        vnxml::CXMLElement display = profile.AddElement("display");
        display.AddTextElement("resolution", GetDisplay());

        if (nextScheduledScan > 0) profile.AddTextElement("nextScheduledScan", clock.Text(nextScheduledScan));
        profile.AddTextElement("timestamp", clock.Text(clock.Now()));
    }
    return sink.Str();
}

}  // namespace sysinfo
