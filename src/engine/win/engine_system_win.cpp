// The engine's Windows calls: WinInet's connection state, COM for the worker
// thread and the shell's "open" of a web page.
#include <objbase.h>
#include <shellapi.h>
#include <wininet.h>

#include "engine/engine_system.h"
#include "platform/web_address.h"
#include "platform/win/win.h"

namespace engine {
namespace {

class WinEngineSystem final : public IEngineSystem {
public:
    bool IsConnected() override {
        DWORD flags = 0;
        return InternetGetConnectedState(&flags, 0) == 1;
    }
    bool BeginThreadCom() override { return SUCCEEDED(CoInitialize(nullptr)); }
    void EndThreadCom() override { CoUninitialize(); }
    void OpenUrl(const std::string& url) override {
        if (platform::AcceptWebPage(url)) ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
};

}  // namespace

std::unique_ptr<IEngineSystem> MakeDefaultEngineSystem() { return std::make_unique<WinEngineSystem>(); }

}  // namespace engine
