// The WMI values of the profile: Win32_ComputerSystem's Manufacturer and
// Model and Win32_OperatingSystem's Caption, through the WMI locator of
// "ROOT\CIMV2". Every step that fails writes one line to the debug stream and
// leaves its values empty.
#include "platform/win/win.h"

#include <wbemidl.h>

#include <string>

#include "platform/log.h"
#include "platform/text.h"
#include "platform/win/com.h"
#include "platform/win/wide.h"
#include "sysinfo/profile.h"

namespace sysinfo {

namespace {

using platform::ComPtr;
using platform::MakeBstr;

void Fail(const char* what, HRESULT hr) {
    vnlog::Debug(std::string(what) + textutil::Format("%lx", static_cast<unsigned long>(hr)));
}

// The first object of "SELECT * FROM <className>", or null.
ComPtr<IWbemClassObject> FirstObject(IWbemServices* services, const wchar_t* className) {
    const std::wstring query = std::wstring(L"SELECT * FROM ") + className;
    const platform::UniqueBstr language = MakeBstr(L"WQL");
    const platform::UniqueBstr text = MakeBstr(query);
    ComPtr<IEnumWbemClassObject> found;
    HRESULT hr = services->ExecQuery(language.get(), text.get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                     nullptr, found.GetAddressOf());
    if (FAILED(hr)) {
        Fail("Query for operating system name failed. Error code = 0x", hr);
        return nullptr;
    }
    ComPtr<IWbemClassObject> object;
    ULONG returned = 0;
    hr = found->Next(WBEM_INFINITE, 1, object.GetAddressOf(), &returned);
    if (FAILED(hr) || returned == 0) {
        Fail("IEnumWbemClassObject Next failed for Manufacturer and model. Error code = 0x", hr);
        return nullptr;
    }
    return object;
}

std::string Property(IWbemClassObject* object, const wchar_t* name) {
    platform::UniqueVariant value;
    if (FAILED(object->Get(name, 0, value.put(), nullptr, nullptr))) return std::string();
    return value.Text();
}

}  // namespace

VN_ProfileMfg VN_ProfileMfg::ReadFromWmi() {
    VN_ProfileMfg mfg;
    platform::ComInit com(COINIT_MULTITHREADED);
    if (!com.ok()) {
        Fail("Failed to initialize COM library. Error code = 0x", com.result());
        return mfg;
    }
    ComPtr<IWbemLocator> locator;
    HRESULT hr = ::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                    reinterpret_cast<void**>(locator.GetAddressOf()));
    if (FAILED(hr)) {
        Fail("Failed to create IWbemLocator object. Err code = 0x", hr);
        return mfg;
    }
    ComPtr<IWbemServices> services;
    const platform::UniqueBstr ns = MakeBstr(L"ROOT\\CIMV2");
    hr = locator->ConnectServer(ns.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.GetAddressOf());
    if (FAILED(hr)) {
        Fail("Could not connect. Error code = 0x", hr);
        return mfg;
    }
    hr = ::CoSetProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                             RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    if (FAILED(hr)) {
        Fail("Could not set proxy blanket. Error code = 0x", hr);
        return mfg;
    }
    if (ComPtr<IWbemClassObject> system = FirstObject(services.Get(), L"Win32_ComputerSystem")) {
        mfg.manufacturer = textutil::Trim(Property(system.Get(), L"Manufacturer"));
        mfg.model = textutil::Trim(Property(system.Get(), L"Model"));
    }
    if (ComPtr<IWbemClassObject> os = FirstObject(services.Get(), L"Win32_OperatingSystem"))
        mfg.osName = OsNameFromCaption(Property(os.Get(), L"Caption"));
    return mfg;
}

}  // namespace sysinfo
