// Puts one of the process-wide hooks (settings store, notifier, event log,
// talker factory, ...) in place for the life of the guard and, at its end,
// puts back whatever was there before, so that no test leaves its fakes to the
// next one. Every Install* function hands back what it replaced:
//
//     testing_support::ScopedHook<platform::InstallSettingsStore> settings_{platform::MakeMemorySettingsStore()};
#pragma once

#include <type_traits>
#include <utility>

namespace testing_support {

template <typename F>
struct HookTraits;
template <typename T>
struct HookTraits<T (*)(T)> {
    using Hook = T;
};

template <auto Install>
class ScopedHook {
public:
    using Hook = typename HookTraits<decltype(Install)>::Hook;

    explicit ScopedHook(Hook hook) : previous_(Install(std::move(hook))) {}
    ~ScopedHook() { Install(std::move(previous_)); }
    ScopedHook(const ScopedHook&) = delete;
    ScopedHook& operator=(const ScopedHook&) = delete;

    // Replaces the hook again while the guard lives; the first one's
    // predecessor is still the one put back.
    void Replace(Hook hook) { Install(std::move(hook)); }

private:
    Hook previous_;
};

}  // namespace testing_support
