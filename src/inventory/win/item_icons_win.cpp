// Item icons on Windows: a program's first large icon through the shell, a
// device class's icon from SetupAPI's class image list, set into a dialog's
// static control (SS_ICON) and repainted.
#include <climits>
#include <map>
#include <mutex>

#include "inventory/item_services.h"
#include "platform/win/win.h"
#include "platform/win/wide.h"

#include <commctrl.h>
#include <setupapi.h>
#include <shellapi.h>

namespace inventory {
namespace {

class WinItemIcons final : public IItemIcons {
public:
    ~WinItemIcons() override {
        for (auto& entry : owned_) ::DestroyIcon(entry.second);
    }

    void ShowFileIcon(platform::WindowHandle control, const std::string& filePath) override {
        HICON icon = nullptr;
        if (!filePath.empty()) {
            const std::wstring path = platform::Widen(filePath);
            // Only a count of extracted icons makes the handle trustworthy: for a
            // missing file the call answers UINT_MAX and may leave garbage behind.
            const UINT got = ::ExtractIconExW(path.c_str(), 0, &icon, nullptr, 1);
            if (got == 0 || got == UINT_MAX) icon = nullptr;
        }
        if (icon) {
            SetIcon(static_cast<HWND>(control), icon, true);
        } else {
            SetIcon(static_cast<HWND>(control), ::LoadIconW(nullptr, MAKEINTRESOURCEW(32512)), false);  // IDI_APPLICATION
        }
    }

    void ShowDeviceClassIcon(platform::WindowHandle control, const std::string& deviceClass) override {
        GUID guid{};
        DWORD found = 0;
        const std::wstring name = platform::Widen(deviceClass);
        if (!::SetupDiClassGuidsFromNameW(name.c_str(), &guid, 1, &found) || found == 0) return;
        SP_CLASSIMAGELIST_DATA images{};
        images.cbSize = sizeof images;
        if (!::SetupDiGetClassImageList(&images)) return;
        int index = 0;
        HICON icon = nullptr;
        if (::SetupDiGetClassImageIndex(&images, &guid, &index)) icon = ::ImageList_GetIcon(images.ImageList, index, ILD_NORMAL);
        ::SetupDiDestroyClassImageList(&images);
        if (icon) SetIcon(static_cast<HWND>(control), icon, true);
    }

private:
    // Sets the icon and repaints; an icon this painter made for the control
    // earlier is destroyed once it is replaced.
    void SetIcon(HWND control, HICON icon, bool owned) {
        if (!control) {
            if (owned) ::DestroyIcon(icon);
            return;
        }
        ::SendMessageW(control, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        ::InvalidateRect(control, nullptr, TRUE);
        ::UpdateWindow(control);
        std::lock_guard<std::mutex> lock(mutex_);
        const auto previous = owned_.find(control);
        if (previous != owned_.end()) {
            if (previous->second != icon) ::DestroyIcon(previous->second);
            owned_.erase(previous);
        }
        if (owned) owned_[control] = icon;
    }

    std::mutex mutex_;
    std::map<HWND, HICON> owned_;
};

}  // namespace

std::unique_ptr<IItemIcons> MakePlatformItemIcons() { return std::make_unique<WinItemIcons>(); }

}  // namespace inventory
