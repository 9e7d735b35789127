// What the scan-document tests share: fixed answers for the document's
// Windows services (file digests, icons), a fixed installer, fixed machine
// facts and a fixed clock, so that a document is the same on every run.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/scoped_hook.h"
#include "engine/schedule_interval.h"
#include "inventory/item_services.h"
#include "platform/settings.h"
#include "platform/string_table.h"
#include "service/item_xml.h"
#include "service/xml_buffer.h"
#include "sysinfo/profile.h"

namespace scandoc {

class FixedServices : public vnxml::IScanDocumentServices {
public:
    std::map<std::string, std::string> digests;  // path -> digest
    std::string programDigest = "5d41402abc4b2a76b9719d911017c592";
    std::vector<std::pair<std::string, std::string>> iconRequests;  // product id, path
    // Called before every file digest (a test uses it to request a stop mid-document).
    std::function<void()> onFileDigest;
    // Whether each digest was given a stop test, and that test's answer when asked.
    std::vector<std::optional<bool>> digestStops;

    std::string FileDigest(const std::string& path, const vnxml::StopTest& stopped) override {
        if (onFileDigest) onFileDigest();
        digestStops.push_back(stopped ? std::optional<bool>(stopped()) : std::nullopt);
        const auto found = digests.find(path);
        return found == digests.end() ? std::string() : found->second;
    }
    std::string ProgramDigest() override { return programDigest; }
    std::string IconElements(const std::string& productId, const std::string& path) override {
        iconRequests.emplace_back(productId, path);
        return "<icon productID=\"" + productId + "\" from=\"" + path + "\"/>\n";
    }
    std::string LoadText(int id) override { return platform::LoadText(id); }
};

// Installer products by code: property name -> value.
class FixedInstaller : public inventory::IInstallerQuery {
public:
    std::map<std::string, std::map<std::string, std::string>> products;
    std::optional<std::string> ProductInfo(const std::string& code, const std::string& property) override {
        const auto product = products.find(code);
        if (product == products.end()) return std::nullopt;
        const auto value = product->second.find(property);
        if (value == product->second.end()) return std::nullopt;
        return value->second;
    }
};

// 2024-06-28 08:16:42 UTC, on a machine two hours east of UTC in summer time.
inline constexpr int64_t kTime = 1719562602;
inline platform::TimeZoneState SummerZone() {
    platform::TimeZoneState zone;
    zone.bias = -60;
    zone.daylightBias = -60;
    zone.mode = platform::TimeZoneMode::Daylight;
    return zone;
}

inline vnxml::DocumentClock FixedClock() {
    vnxml::DocumentClock clock;
    clock.fixedTime = kTime;
    clock.zone = SummerZone();
    return clock;
}

inline sysinfo::SystemFacts OfficeFacts() {
    sysinfo::SystemFacts facts;
    facts.osVersion = sysinfo::SystemFacts::OsVersion{10, 0, 19045, ""};
    facts.processorIdentifier = "Intel64 Family 6 Model 165 Stepping 5";
    facts.processorType = 8664;
    facts.processorLevel = 6;
    facts.processorRevision = 42245;
    facts.processorMhz = 2904;
    facts.processorCount = 8;
    facts.physicalMemory = 17054822400ull;
    facts.screenWidth = 1920;
    facts.screenHeight = 1080;
    facts.windowsFolder = "C:\\WINDOWS";
    return facts;
}

inline sysinfo::VN_ProfileMfg OfficeMfg() {
    sysinfo::VN_ProfileMfg mfg;
    mfg.manufacturer = "Dell Inc.";
    mfg.model = "OptiPlex 7090";
    mfg.osName = "Windows 10 Pro";
    return mfg;
}

// Installs in-memory settings, the fixed services and installer for the
// test's lifetime, and puts back what was there before afterwards.
class Environment {
public:
    FixedServices& services() { return *services_; }
    FixedInstaller& installer() { return *installer_; }

private:
    testing_support::ScopedHook<platform::InstallSettingsStore> settings_{
        platform::MakeMemorySettingsStore("TESTHOST")};
    FixedServices* services_ = new FixedServices;
    testing_support::ScopedHook<vnxml::InstallScanDocumentServices> servicesHook_{
        std::unique_ptr<vnxml::IScanDocumentServices>(services_)};
    FixedInstaller* installer_ = new FixedInstaller;
    testing_support::ScopedHook<inventory::InstallInstallerQuery> installerHook_{
        std::unique_ptr<inventory::IInstallerQuery>(installer_)};
};

// A buffer over the lists with the fixed clock and machine.
inline std::unique_ptr<vnxml::CXMLBuffer> MakeBuffer(VN_ListBaseSync* watch, VN_ListBaseSync* drivers,
                                                     uint8_t mode) {
    auto buffer = std::make_unique<vnxml::CXMLBuffer>(watch, drivers, mode);
    buffer->clock = FixedClock();
    buffer->checkIntervalSeconds = engine::CheckIntervalSeconds(platform::AppSettings());
    buffer->profile = sysinfo::VN_Profile(OfficeFacts(), OfficeMfg());
    return buffer;
}

// The whole document as WriteDocument writes it, and its result.
inline std::pair<bool, std::string> Write(vnxml::CXMLBuffer& buffer) {
    vnxml::CXMLMemorySink sink;
    const bool failed = buffer.WriteDocument(sink);
    return {failed, sink.Str()};
}

}  // namespace scandoc
