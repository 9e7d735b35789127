// The system profile every scan document carries: what kind of computer the
// agent runs on (maker and model, operating system, processor, memory,
// display), the digest of the agent's own program file and the time of the
// next scheduled scan.
//
// VN_ProfileMfg holds the values that come from WMI (maker, model and the
// operating system's name); they are read once per process. The other values
// are read from the system each time they are asked for and, when the user
// has turned "Include Sys Info" off, are sent empty. The texts are built here
// from a plain snapshot of the system's answers (SystemFacts), so that the
// rules are the same whether the facts come from Windows or from a test.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/document_clock.h"

namespace sysinfo {

// What the system reports, before any formatting. A value the system could
// not give is left empty (nullopt or an empty text).
struct SystemFacts {
    struct OsVersion {
        uint32_t major = 0;
        uint32_t minor = 0;
        uint32_t build = 0;
        std::string servicePack;  // the service-pack text, often empty
    };
    std::optional<OsVersion> osVersion;
    // The processor key's "Identifier" value.
    std::string processorIdentifier;
    // The processor type, level and revision the system reports, and the
    // processor key's "~MHZ" value.
    uint32_t processorType = 0;
    uint32_t processorLevel = 0;
    uint32_t processorRevision = 0;
    std::optional<uint32_t> processorMhz;
    uint32_t processorCount = 0;
    uint64_t physicalMemory = 0;  // bytes
    int32_t screenWidth = 0;
    int32_t screenHeight = 0;
    std::string windowsFolder;
};

// The processor type the system reports for a Pentium-class processor; only
// such a processor has its level and revision sent.
inline constexpr uint32_t kProcessorPentium = 586;

// The platform's answers: Windows' version query, the processor registry key,
// GetSystemInfo, the memory status, the screen metrics and the Windows folder.
// The host fills what POSIX can tell.
SystemFacts ReadSystemFacts();

// The values read through WMI.
class VN_ProfileMfg {
public:
    std::string manufacturer;  // Win32_ComputerSystem.Manufacturer, trimmed
    std::string model;         // Win32_ComputerSystem.Model, trimmed
    std::string osName;        // Win32_OperatingSystem.Caption without a leading "Microsoft "

    // The operating-system name sent for a WMI caption: a caption that begins
    // with "Microsoft " loses those ten characters.
    static std::string OsNameFromCaption(const std::string& caption);

    // The process's values: read through WMI on first use (every failing
    // step writes its line to the debug stream and leaves its values empty),
    // then kept for the life of the process once a read found any value.
    static VN_ProfileMfg Current();
    // The WMI reading itself, without the cache (the Windows tests call it).
    static VN_ProfileMfg ReadFromWmi();
};

class VN_Profile {
public:
    // Over the platform's facts and the process's WMI values.
    VN_Profile();
    // Over given facts and WMI values (vntool, tests).
    VN_Profile(SystemFacts facts, VN_ProfileMfg mfg);

    // "Include Sys Info": when false the value getters answer empty texts.
    void SetCollect(bool collect) { collect_ = collect; }
    bool GetCollect() const { return collect_; }

    // The operating-system version: "%d.%d %s (Build %d)" of major, minor,
    // service pack and the low 16 bits of the build; empty when unknown.
    std::string GetOsVersion() const;
    std::string GetProcessorType() const;
    // "Level %d, Revision %d" for a Pentium-class processor, then
    // ", ~%d MHZ" when the clock value is known.
    std::string GetProcessorInfo() const;
    std::string GetProcessorCount() const;
    // The total physical memory in bytes, in decimal.
    std::string GetPhysicalMemory() const;
    // "%dx%d" of the primary screen.
    std::string GetDisplay() const;
    std::string GetWindowsFolder() const;

    VN_ProfileMfg Mfg() const;

    // The whole `systemProfile` element, written by the XML writer into memory.
    std::string WriteProfile() const;

    // The MD5 digest of the agent's own program file (set by the document writer).
    std::string matchData;
    // Seconds since 1970 of the next scheduled scan; 0 when none is scheduled.
    int64_t nextScheduledScan = 0;
    // The time the profile's timestamps are taken from.
    vnxml::DocumentClock clock;

private:
    const SystemFacts& Facts() const;

    bool collect_ = true;
    mutable std::optional<SystemFacts> facts_;  // read from the platform on first use
    std::optional<VN_ProfileMfg> mfg_;          // none: the process's WMI values
};

}  // namespace sysinfo

using sysinfo::VN_Profile;
using sysinfo::VN_ProfileMfg;
