// Helpers of the watch-list tests: scanned programs as the scanners make
// them, a recorder of the list's item notices, an installer double, and a
// capture of the debug stream.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/scoped_hook.h"
#include "inventory/item_services.h"
#include "inventory/watch_item.h"
#include "platform/log.h"
#include "platform/notifier.h"

namespace wltest {

// A program found through a shortcut or a running process.
using Item = std::unique_ptr<VN_WatchItem>;

inline Item Program(const std::string& name, const std::string& path, const std::string& version) {
    auto item = std::make_unique<VN_WatchItem>();
    item->SetProgName(name);
    item->targetName = path;
    item->executableName = path.substr(path.rfind('\\') + 1);
    item->installedVers = version;
    item->installedVers2 = version;
    item->installedVers3 = version;
    item->source = "exe";
    return item;
}

inline Item Copy(const VN_WatchItem& item) {
    auto copy = std::make_unique<VN_WatchItem>();
    copy->CopyFrom(item);
    return copy;
}

// An uninstall entry of the registry.
inline Item UninstallEntry(const std::string& name, const std::string& keyName, const std::string& uninstall) {
    auto item = std::make_unique<VN_WatchItem>();
    item->SetProgName(name);
    item->keyName = keyName;
    item->uninstallString = uninstall;
    item->signature = name + "|" + uninstall;
    item->installedVers = "1.0";
    return item;
}

// An installer suite as the scanners hand it on: the product code alone.
inline Item Suite(const std::string& productGuid) {
    auto item = std::make_unique<VN_WatchItem>();
    item->SetProductGuid(productGuid);
    return item;
}

inline Item Component(const std::string& productGuid, const std::string& componentGuid, const std::string& name,
                      const std::string& path) {
    Item item = Program(name, path, "1.0");
    item->SetProductGuid(productGuid);
    item->componentGuid = componentGuid;
    return item;
}

struct Notice {
    platform::WindowHandle window;
    uint32_t message;
    uintptr_t item;
    intptr_t flag;
};

// A notifier that records what is posted to it.
class NoticeRecorder : public platform::INotifier {
public:
    // Puts a new recorder in the hook's place (the hook puts the earlier
    // notifier back at its end) and answers it.
    static NoticeRecorder* Install(testing_support::ScopedHook<platform::InstallNotifier>& hook) {
        auto owned = std::make_unique<NoticeRecorder>();
        NoticeRecorder* raw = owned.get();
        hook.Replace(std::move(owned));
        return raw;
    }
    bool Post(platform::WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        notices.push_back({window, message, wParam, lParam});
        return true;
    }
    intptr_t Send(platform::WindowHandle, uint32_t, uintptr_t, intptr_t) override { return 0; }
    std::vector<Notice> notices;
};

class FakeInstaller : public inventory::IInstallerQuery {
public:
    std::map<std::pair<std::string, std::string>, std::string> answers;
    std::optional<std::string> ProductInfo(const std::string& code, const std::string& property) override {
        auto it = answers.find({code, property});
        if (it == answers.end()) return std::nullopt;
        return it->second;
    }
};

class DebugCapture {
public:
    DebugCapture() {
        vnlog::SetDebugSink([this](std::string_view t) { text += std::string(t); });
    }
    ~DebugCapture() { vnlog::SetDebugSink(nullptr); }
    std::string text;
};

}  // namespace wltest
