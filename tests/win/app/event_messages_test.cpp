// varnel.exe as the event source's message file: the event viewer formats
// each of our events with the message of its id from the program's message
// table, and each must come out as the event's one string, unchanged.
#include <gtest/gtest.h>

#include <string>

#include "platform/event_log.h"
#include "platform/win/wide.h"
#include "platform/win/win.h"
#include "registry_guard.h"

namespace {

TEST(EventMessages, EveryEventIdFormatsAsItsTextAlone) {
    const std::string exe = testing_app::BuildPath("src/app/varnel.exe");
    HMODULE module = LoadLibraryExW(platform::Widen(exe).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << exe;
    // A line break, a percent sign and an insert of its own: the text is
    // inserted as it is, never formatted again.
    const std::string text = "Cannot reach the server.\r\nDownloaded 100% of setup.exe; %1 and %n stay as typed.";
    const DWORD_PTR args[] = {reinterpret_cast<DWORD_PTR>(text.c_str())};
    for (const uint32_t id : {platform::kEventIdError, platform::kEventIdCheckSummary, platform::kEventIdInformation}) {
        char* formatted = nullptr;
        const DWORD n = FormatMessageA(
            FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_ALLOCATE_BUFFER, module, id,
            0, reinterpret_cast<char*>(&formatted), 0, reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(args)));
        const DWORD error = GetLastError();
        EXPECT_EQ(n > 0 ? std::string(formatted, n) : std::string(), text)
            << "event id 0x" << std::hex << id << ", error " << std::dec << (n > 0 ? 0 : error);
        LocalFree(formatted);
    }
    FreeLibrary(module);
}

}  // namespace
