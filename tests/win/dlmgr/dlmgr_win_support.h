// Paths of the signing fixtures as the Windows calls under test take them,
// and a temporary folder removed with its files.
#pragma once

#include <string>

#include "platform/win/win.h"

namespace dlmgr_test {

// A Linux path of the build tree as Wine's Z: drive shows it.
inline std::string WinePath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

inline std::string SigningFixture(const std::string& name) {
    return WinePath(std::string(VARNEL_SIGNING_FIXTURES) + "/" + name);
}

class TempFolder {
public:
    TempFolder() {
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        path_ = std::string(base) + "varnel-dlmgr-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~TempFolder() {
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((path_ + "\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                DeleteFileA((path_ + "\\" + data.cFileName).c_str());
            } while (FindNextFileA(find, &data));
            FindClose(find);
        }
        RemoveDirectoryA(path_.c_str());
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string File(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

}  // namespace dlmgr_test
