// Item icons on Windows: a program's first large icon through the shell, a
// device class's icon from SetupAPI's class image list, set into a dialog's
// static control (SS_ICON) and repainted.
#include <climits>
#include <map>
#include <mutex>
#include <utility>

#include "inventory/item_services.h"
#include "platform/win/handles.h"
#include "platform/win/win.h"
#include "platform/win/wide.h"

#include <commctrl.h>
#include <setupapi.h>
#include <shellapi.h>

namespace inventory {
namespace {

class WinItemIcons final : public IItemIcons {
public:
    void ShowFileIcon(platform::WindowHandle control, const std::string& filePath) override {
        platform::UniqueIcon icon;
        if (!filePath.empty()) {
            const std::wstring path = platform::Widen(filePath);
            // Only a count of extracted icons makes the handle trustworthy: for a
            // missing file the call answers UINT_MAX and may leave garbage behind.
            HICON extracted = nullptr;
            const UINT got = ::ExtractIconExW(path.c_str(), 0, &extracted, nullptr, 1);
            if (got != 0 && got != UINT_MAX) icon.reset(extracted);
        }
        if (icon) {
            const HICON shown = icon.get();
            SetIcon(static_cast<HWND>(control), shown, std::move(icon));
        } else {
            SetIcon(static_cast<HWND>(control), ::LoadIconW(nullptr, MAKEINTRESOURCEW(32512)));  // IDI_APPLICATION
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
        platform::UniqueIcon icon;
        if (::SetupDiGetClassImageIndex(&images, &guid, &index))
            icon.reset(::ImageList_GetIcon(images.ImageList, index, ILD_NORMAL));
        ::SetupDiDestroyClassImageList(&images);
        if (icon) {
            const HICON shown = icon.get();
            SetIcon(static_cast<HWND>(control), shown, std::move(icon));
        }
    }

private:
    // Sets the icon and repaints; `owned` is the icon when this painter made
    // it. An icon made for the control earlier is destroyed once replaced.
    void SetIcon(HWND control, HICON icon, platform::UniqueIcon owned = {}) {
        if (!control) return;
        ::SendMessageW(control, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        ::InvalidateRect(control, nullptr, TRUE);
        ::UpdateWindow(control);
        std::lock_guard<std::mutex> lock(mutex_);
        const auto previous = owned_.find(control);
        if (previous != owned_.end()) {
            if (previous->second.get() == icon) (void)previous->second.release();  // still shown
            owned_.erase(previous);
        }
        if (owned) owned_[control] = std::move(owned);
    }

    std::mutex mutex_;
    std::map<HWND, platform::UniqueIcon> owned_;
};

}  // namespace

std::unique_ptr<IItemIcons> MakePlatformItemIcons() { return std::make_unique<WinItemIcons>(); }

}  // namespace inventory
