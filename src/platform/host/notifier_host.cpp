// On the host there are no windows: messages go nowhere unless a test installs
// a notifier of its own; registered numbers are handed out as Windows does.
#include <map>
#include <mutex>

#include "platform/notifier.h"

namespace platform {
namespace {

class NullNotifier : public INotifier {
public:
    bool Post(WindowHandle, uint32_t, uintptr_t, intptr_t) override { return false; }
    intptr_t Send(WindowHandle, uint32_t, uintptr_t, intptr_t) override { return 0; }
};

}  // namespace

std::unique_ptr<INotifier> MakeDefaultNotifier() { return std::make_unique<NullNotifier>(); }

uint32_t RegisterMessage(const std::string& name) {
    static std::mutex mutex;
    static std::map<std::string, uint32_t> numbers;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = numbers.find(name);
    if (it != numbers.end()) return it->second;
    const uint32_t n = 0xC000u + static_cast<uint32_t>(numbers.size());
    numbers.emplace(name, n);
    return n;
}

}  // namespace platform
