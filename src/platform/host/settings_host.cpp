#include "platform/settings.h"

namespace platform {

std::unique_ptr<ISettingsStore> MakeDefaultSettingsStore() { return MakeMemorySettingsStore(); }

}  // namespace platform
