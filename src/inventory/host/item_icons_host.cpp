// The host has no windows to draw into.
#include "inventory/item_services.h"

namespace inventory {
namespace {

class NoIcons final : public IItemIcons {
public:
    void ShowFileIcon(platform::WindowHandle, const std::string&) override {}
    void ShowDeviceClassIcon(platform::WindowHandle, const std::string&) override {}
};

}  // namespace

std::unique_ptr<IItemIcons> MakePlatformItemIcons() { return std::make_unique<NoIcons>(); }

}  // namespace inventory
