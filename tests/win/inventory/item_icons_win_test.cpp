// Item icons drawn into a real static control (needs a display).
#include <gtest/gtest.h>

#include "inventory/driver_item.h"
#include "inventory/item_services.h"
#include "inventory/watch_item.h"
#include "platform/win/win.h"

#include <setupapi.h>

namespace {

class StaticControl {
public:
    StaticControl() {
        hwnd_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | SS_ICON, 0, 0, 32, 32, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    }
    ~StaticControl() {
        if (hwnd_) DestroyWindow(hwnd_);
    }
    HWND get() const { return hwnd_; }
    HICON Icon() const { return reinterpret_cast<HICON>(SendMessageW(hwnd_, STM_GETICON, 0, 0)); }

private:
    HWND hwnd_ = nullptr;
};

std::string SystemFile(const char* name) {
    char folder[MAX_PATH];
    GetSystemDirectoryA(folder, MAX_PATH);
    return std::string(folder) + "\\" + name;
}

}  // namespace

TEST(ItemIconsWin, ProgramIconOrTheDefaultApplicationIcon) {
    StaticControl control;
    if (!control.get()) GTEST_SKIP() << "no display";
    const HICON defaultIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));

    VN_WatchItem missing;
    missing.targetName = "C:\\does\\not\\exist.exe";
    missing.ShowIcon(control.get());
    EXPECT_EQ(control.Icon(), defaultIcon);

    VN_WatchItem notepad;
    notepad.targetName = SystemFile("notepad.exe");
    notepad.ShowIcon(control.get());
    EXPECT_NE(control.Icon(), nullptr);
    EXPECT_NE(control.Icon(), defaultIcon);
    notepad.ShowIcon(control.get());  // replaces (and frees) the icon made before
    EXPECT_NE(control.Icon(), nullptr);
}

TEST(ItemIconsWin, DeviceClassIconWhenTheClassIsKnown) {
    StaticControl control;
    if (!control.get()) GTEST_SKIP() << "no display";
    VN_DriverItem unknown;
    unknown.deviceClass = "NoSuchDeviceClass";
    unknown.ShowIcon(control.get());
    EXPECT_EQ(control.Icon(), nullptr);  // nothing to show: the control is left as it was

    VN_DriverItem display;
    display.deviceClass = "Display";
    display.ShowIcon(control.get());
    SP_CLASSIMAGELIST_DATA images{};
    images.cbSize = sizeof images;
    if (SetupDiGetClassImageList(&images)) {
        SetupDiDestroyClassImageList(&images);
        EXPECT_NE(control.Icon(), nullptr);
    }
}
