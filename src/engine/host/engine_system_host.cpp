// On the host there is no connection test, no COM and no browser: the
// computer counts as connected (the reference service runs on loopback).
#include "engine/engine_system.h"

namespace engine {
namespace {

class HostEngineSystem final : public IEngineSystem {
public:
    bool IsConnected() override { return true; }
    bool BeginThreadCom() override { return false; }
    void EndThreadCom() override {}
    void OpenUrl(const std::string&) override {}
};

}  // namespace

std::unique_ptr<IEngineSystem> MakeDefaultEngineSystem() { return std::make_unique<HostEngineSystem>(); }

}  // namespace engine
