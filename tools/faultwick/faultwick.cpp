// Faultwick.exe: installed beside the agent, which starts it with "/on" or
// "/off" when the user changes "Collect application usage and crash data".
// It records that choice as the value "Collect Usage Data" (1 or 0) under
// HKEY_CURRENT_USER\Software\Harbinel\Faultwick and does nothing more. Any
// other argument changes nothing and ends with exit code 2.
#include <windows.h>

#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    // The command line without surrounding blanks.
    const char* begin = commandLine ? commandLine : "";
    while (*begin == ' ' || *begin == '\t') ++begin;
    size_t length = std::strlen(begin);
    while (length && (begin[length - 1] == ' ' || begin[length - 1] == '\t')) --length;
    DWORD value;
    if (length == 3 && _strnicmp(begin, "/on", 3) == 0)
        value = 1;
    else if (length == 4 && _strnicmp(begin, "/off", 4) == 0)
        value = 0;
    else
        return 2;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Harbinel\\Faultwick", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return 1;
    const LONG stored =
        RegSetValueExA(key, "Collect Usage Data", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
    return stored == ERROR_SUCCESS ? 0 : 1;
}
