// The system's answers for the profile: the version query, the processor's
// registry key, GetSystemInfo, the memory status, the screen metrics and the
// Windows folder.
#include "platform/win/win.h"

#include <cstring>

#include "platform/text.h"
#include "platform/win/handles.h"
#include "sysinfo/profile.h"

namespace sysinfo {

namespace {

constexpr char kProcessorKey[] = "Hardware\\Description\\System\\CentralProcessor\\0";
constexpr DWORD kIdentifierBytes = 256;

std::optional<SystemFacts::OsVersion> ReadOsVersion() {
    // GetVersionEx is deprecated because it reports what the program's
    // manifest allows; that is still the version the service wants to see.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    OSVERSIONINFOEXA extended{};
    extended.dwOSVersionInfoSize = sizeof(extended);
    BOOL ok = ::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended));
    if (!ok) {
        // Systems that know only the basic structure.
        OSVERSIONINFOA basic{};
        basic.dwOSVersionInfoSize = sizeof(basic);
        ok = ::GetVersionExA(&basic);
        if (ok) {
            extended.dwMajorVersion = basic.dwMajorVersion;
            extended.dwMinorVersion = basic.dwMinorVersion;
            extended.dwBuildNumber = basic.dwBuildNumber;
            memcpy(extended.szCSDVersion, basic.szCSDVersion, sizeof(basic.szCSDVersion));
        }
    }
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    if (!ok) return std::nullopt;
    SystemFacts::OsVersion version;
    version.major = extended.dwMajorVersion;
    version.minor = extended.dwMinorVersion;
    version.build = extended.dwBuildNumber;
    extended.szCSDVersion[sizeof(extended.szCSDVersion) - 1] = '\0';
    version.servicePack = extended.szCSDVersion;
    return version;
}

void ReadProcessorKey(SystemFacts& facts) {
    HKEY raw = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProcessorKey, 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) return;
    platform::UniqueKey key(raw);

    char identifier[kIdentifierBytes + 1] = {};
    DWORD size = kIdentifierBytes;  // one byte more for a terminator the value may lack
    DWORD type = 0;
    if (::RegQueryValueExA(key.get(), "Identifier", nullptr, &type, reinterpret_cast<BYTE*>(identifier), &size) ==
            ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        identifier[size < sizeof(identifier) ? size : sizeof(identifier) - 1] = '\0';
        facts.processorIdentifier = identifier;
    }

    DWORD mhz = 0;
    size = sizeof(mhz);
    if (::RegQueryValueExA(key.get(), "~MHZ", nullptr, &type, reinterpret_cast<BYTE*>(&mhz), &size) == ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof(mhz))
        facts.processorMhz = mhz;
}

}  // namespace

SystemFacts ReadSystemFacts() {
    SystemFacts facts;
    facts.osVersion = ReadOsVersion();
    ReadProcessorKey(facts);

    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    facts.processorType = info.dwProcessorType;
    facts.processorLevel = info.wProcessorLevel;
    facts.processorRevision = info.wProcessorRevision;
    facts.processorCount = info.dwNumberOfProcessors;

    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof(memory);
    if (::GlobalMemoryStatusEx(&memory)) facts.physicalMemory = memory.ullTotalPhys;

    facts.screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
    facts.screenHeight = ::GetSystemMetrics(SM_CYSCREEN);

    char folder[MAX_PATH + 1] = {};
    const UINT length = ::GetWindowsDirectoryA(folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH) facts.windowsFolder.assign(folder, length);
    return facts;
}

}  // namespace sysinfo
