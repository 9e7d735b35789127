#include "scanners/win/device_search.h"

#include <algorithm>
#include <utility>

#include "platform/text.h"
#include "platform/win/wide.h"
#include "scanners/win/registry_value.h"

namespace scanners {

namespace {

constexpr DWORD kTextPropertyBytes = 512;
// An identifier list larger than this is not believed; the list stays empty.
constexpr DWORD kMaxIdListBytes = 1u << 20;
// Value names of up to 260 characters are looked at for the driver file.
constexpr DWORD kValueNameChars = 260;

template <typename Fn>
bool Find(HMODULE library, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    return fn != nullptr;
}

// UTF-16 text of at most `chars` characters, up to its first terminator.
std::string NarrowUpToTerminator(const wchar_t* text, size_t chars) {
    const size_t length = static_cast<size_t>(std::find(text, text + chars, L'\0') - text);
    return platform::Narrow(std::wstring_view(text, length));
}

std::string JoinPath(const RegistryRoot& root, const std::string& sub) { return root.path + "\\" + sub; }

// Opens root + "\" + sub for reading; false (and no key) when `sub` is empty
// or the key cannot be opened.
bool OpenBelow(const RegistryRoot& root, const std::string& sub, platform::UniqueKey& key) {
    if (!root.IsSet() || sub.empty()) return false;
    return RegOpenKeyExA(root.hive, JoinPath(root, sub).c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

// The first text value whose name ends in "driver", read by the registry
// value rule; empty when there is none.
std::string FirstDriverNamedValue(HKEY key) {
    for (DWORD index = 0;; ++index) {
        char name[kValueNameChars + 1] = {};
        DWORD nameChars = kValueNameChars + 1;
        DWORD type = REG_NONE;
        const LONG result = RegEnumValueA(key, index, name, &nameChars, nullptr, &type, nullptr, nullptr);
        if (result == ERROR_MORE_DATA) continue;  // a longer name: not one of ours
        if (result != ERROR_SUCCESS) return std::string();
        if (type == REG_SZ && textutil::EndsWithNoCase(std::string_view(name, nameChars), "driver"))
            return ReadRegistryValue(key, std::string(name, nameChars));
    }
}

std::string WindowsFolder() {
    char folder[MAX_PATH + 1] = {};
    const UINT length = GetWindowsDirectoryA(folder, MAX_PATH + 1);
    return length > 0 && length <= MAX_PATH ? std::string(folder, length) : std::string();
}

}  // namespace

// ---------------------------------------------------------------- roots

DriverRegistryRoots DriverRootsFor(DWORD platformId, DWORD majorVersion) {
    DriverRegistryRoots roots;
    if (platformId == VER_PLATFORM_WIN32_WINDOWS && majorVersion == 4) {
        roots.classRoot = {HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\Class"};
    } else if (platformId == VER_PLATFORM_WIN32_NT && majorVersion >= 4) {
        roots.classRoot = {HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Class"};
        roots.servicesRoot = {HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services"};
    }
    return roots;
}

DriverRegistryRoots DriverRootsOfThisSystem() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) return DriverRegistryRoots();
    return DriverRootsFor(info.dwPlatformId, info.dwMajorVersion);
}

// ---------------------------------------------------------------- Setup API

CSetupApi::CSetupApi() : library_(LoadLibraryA("setupapi.dll")) {
    if (!library_) return;
    HMODULE lib = library_.get();
    loaded_ = Find(lib, "SetupDiGetClassDevsW", GetClassDevs) && Find(lib, "SetupDiEnumDeviceInfo", EnumDeviceInfo) &&
              Find(lib, "SetupDiGetDeviceRegistryPropertyW", GetDeviceRegistryProperty) &&
              Find(lib, "SetupDiDestroyDeviceInfoList", DestroyDeviceInfoList) &&
              Find(lib, "SetupDiGetDriverInfoDetailW", GetDriverInfoDetail);
}

CDeviceInfoSet::CDeviceInfoSet(const CSetupApi& api, bool presentOnly) : api_(api) {
    if (!api_.Loaded()) return;
    const DWORD flags = DIGCF_ALLCLASSES | (presentOnly ? DIGCF_PRESENT : 0);
    set_ = api_.GetClassDevs(nullptr, nullptr, nullptr, flags);
}

CDeviceInfoSet::~CDeviceInfoSet() {
    if (IsOpen()) api_.DestroyDeviceInfoList(set_);
}

bool CDeviceInfoSet::Device(DWORD index, SP_DEVINFO_DATA& device) const {
    device = SP_DEVINFO_DATA{};
    device.cbSize = sizeof device;
    return IsOpen() && api_.EnumDeviceInfo(set_, index, &device);
}

std::string ReadDeviceTextProperty(const CSetupApi& api, HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    wchar_t buffer[kTextPropertyBytes / sizeof(wchar_t)] = {};
    DWORD type = 0;
    DWORD size = 0;
    if (!api.GetDeviceRegistryProperty(set, &device, property, &type, reinterpret_cast<BYTE*>(buffer),
                                       kTextPropertyBytes, &size))
        return std::string();
    // The data need not end in a terminator: never look past what was returned.
    const DWORD bytes = (size == 0 || size > kTextPropertyBytes) ? kTextPropertyBytes : size;
    return NarrowUpToTerminator(buffer, bytes / sizeof(wchar_t));
}

std::vector<std::string> ReadDeviceIdList(const CSetupApi& api, HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property,
                                          DWORD firstTryBytes) {
    // Two terminating characters beyond what the call may fill.
    std::vector<wchar_t> buffer(firstTryBytes / sizeof(wchar_t) + 2, L'\0');
    DWORD capacity = firstTryBytes;
    DWORD type = 0;
    DWORD size = 0;
    BOOL ok = api.GetDeviceRegistryProperty(set, &device, property, &type, reinterpret_cast<BYTE*>(buffer.data()),
                                            capacity, &size);
    if (!ok && GetLastError() == ERROR_INSUFFICIENT_BUFFER && type == REG_MULTI_SZ && size > capacity &&
        size <= kMaxIdListBytes) {
        capacity = size;
        buffer.assign(capacity / sizeof(wchar_t) + 2, L'\0');
        ok = api.GetDeviceRegistryProperty(set, &device, property, &type, reinterpret_cast<BYTE*>(buffer.data()),
                                           capacity, &size);
    }
    std::vector<std::string> ids;
    if (!ok) return ids;
    const size_t chars = std::min<size_t>(size, capacity) / sizeof(wchar_t);
    buffer[chars] = L'\0';
    buffer[chars + 1] = L'\0';
    for (size_t pos = 0; pos < chars && buffer[pos] != L'\0';) {
        const size_t end = static_cast<size_t>(std::find(buffer.begin() + static_cast<std::ptrdiff_t>(pos),
                                                         buffer.end(), L'\0') -
                                               buffer.begin());
        ids.push_back(platform::Narrow(std::wstring_view(buffer.data() + pos, end - pos)));
        pos = end + 1;
    }
    return ids;
}

// ---------------------------------------------------------------- enumerator

CSetupDeviceEnumerator::CSetupDeviceEnumerator() : CSetupDeviceEnumerator(DriverRootsOfThisSystem(), WindowsFolder()) {}

CSetupDeviceEnumerator::CSetupDeviceEnumerator(DriverRegistryRoots roots, std::string windowsFolder)
    : roots_(std::move(roots)), windowsFolder_(std::move(windowsFolder)) {}

int CSetupDeviceEnumerator::EnumerateDevices(bool presentOnly, DriverRecords& records) {
    const CSetupApi api;
    if (!api.Loaded()) return -1;
    const CDeviceInfoSet devices(api, presentOnly);
    if (!devices.IsOpen()) return -1;

    int added = 0;
    SP_DEVINFO_DATA device;
    for (DWORD index = 0; devices.Device(index, device); ++index) {
        auto record = std::make_unique<VN_DriverItem>();
        const auto text = [&](DWORD property) { return ReadDeviceTextProperty(api, devices.get(), device, property); };
        record->deviceDesc = text(SPDRP_DEVICEDESC);
        record->friendlyName = text(SPDRP_FRIENDLYNAME);
        record->enumeratorName = text(SPDRP_ENUMERATOR_NAME);
        record->deviceClass = text(SPDRP_CLASS);
        record->classGuid = text(SPDRP_CLASSGUID);
        record->driverKey = text(SPDRP_DRIVER);
        record->deviceMfg = text(SPDRP_MFG);
        record->service = text(SPDRP_SERVICE);
        record->hardwareIds = ReadDeviceIdList(api, devices.get(), device, SPDRP_HARDWAREID);
        record->compatibleIds = ReadDeviceIdList(api, devices.get(), device, SPDRP_COMPATIBLEIDS);
        record->driverDesc = record->deviceDesc;
        ReadClassKey(*record);
        ReadServiceKey(*record);
        record->driverFlag = true;
        if (record->deviceDesc.empty() || record->deviceClass.empty()) continue;
        records.push_back(std::move(record));
        ++added;
    }
    return added;
}

void CSetupDeviceEnumerator::ReadClassKey(VN_DriverItem& record) const {
    platform::UniqueKey key;
    if (!OpenBelow(roots_.classRoot, record.driverKey, key)) {
        record.driverKeyPath.clear();
        return;
    }
    record.driverKeyPath = JoinPath(roots_.classRoot, record.driverKey);
    record.driverDate = ReadRegistryValue(key.get(), "DriverDate");
    record.driverDesc = ReadRegistryValue(key.get(), "DriverDesc");
    record.driverVersion = ReadRegistryValue(key.get(), "DriverVersion");
    record.driverProvider = ReadRegistryValue(key.get(), "ProviderName");
    record.files = ReadRegistryValue(key.get(), "DeviceDriver");
    record.infPath = ReadRegistryValue(key.get(), "InfPath");
    record.infSection = ReadRegistryValue(key.get(), "infSection");
    record.matchingDeviceId = ReadRegistryValue(key.get(), "MatchingDeviceId");
    if (record.files.empty()) record.files = FirstDriverNamedValue(key.get());
}

void CSetupDeviceEnumerator::ReadServiceKey(VN_DriverItem& record) const {
    platform::UniqueKey key;
    if (!OpenBelow(roots_.servicesRoot, record.service, key)) {
        record.serviceKeyPath.clear();
        return;
    }
    record.serviceKeyPath = JoinPath(roots_.servicesRoot, record.service);
    const std::string imagePath = ReadRegistryValue(key.get(), "ImagePath");
    if (!imagePath.empty()) record.files = DriverFileFromImagePath(windowsFolder_, imagePath);
    record.serviceGroup = ReadRegistryValue(key.get(), "Group");
}

std::unique_ptr<IDeviceEnumerator> MakeSystemDeviceEnumerator() { return std::make_unique<CSetupDeviceEnumerator>(); }

}  // namespace scanners
