// The resource compiler and the C compiler must read strings.inc alike:
// every entry that varnel.exe carries equals the core's compiled-in text.
#include <gtest/gtest.h>

#include <vector>

#include "platform/string_table.h"
#include "platform/win/win.h"
#include "registry_guard.h"

namespace {

const int kIds[] = {
#define VN_STRING(id, text) id,
#include "strings.inc"
#undef VN_STRING
};

TEST(StringTable, ProgramResourcesMatchTheCoreTable) {
    const std::string exe = testing_app::BuildPath("src/app/varnel.exe");
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << exe;
    std::vector<char> buf(8192);
    for (int id : kIds) {
        const int n = LoadStringA(module, static_cast<UINT>(id), buf.data(), static_cast<int>(buf.size()));
        EXPECT_EQ(std::string(buf.data(), n > 0 ? static_cast<size_t>(n) : 0), platform::LoadText(id)) << "string " << id;
    }
    FreeLibrary(module);
}

TEST(StringTable, ProgramVersionIs_1_3_1_55) {
    const std::string exe = testing_app::BuildPath("src/app/varnel.exe");
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &len));
    EXPECT_EQ(HIWORD(info->dwFileVersionMS), 1);
    EXPECT_EQ(LOWORD(info->dwFileVersionMS), 3);
    EXPECT_EQ(HIWORD(info->dwFileVersionLS), 1);
    EXPECT_EQ(LOWORD(info->dwFileVersionLS), 55);
}

TEST(StringTable, TheProgramRunsAsTheUserAndKnowsTodaysWindows) {
    const std::string exe = testing_app::BuildPath("src/app/varnel.exe");
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << exe;
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // the process manifest
    ASSERT_NE(found, nullptr);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
    const std::string manifest(bytes, SizeofResource(module, found));
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos) << "Windows 10 and 11";
    FreeLibrary(module);
}

}  // namespace
