#include "scanners/win/remote_data.h"

#include <map>
#include <mutex>
#include <utility>

namespace fileid {

namespace {

std::mutex g_extraMutex;
std::map<std::wstring, DWORD>& ExtraAttributes() {
    static std::map<std::wstring, DWORD> extra;
    return extra;
}

}  // namespace

bool IsDataElsewhere(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_OFFLINE | kAttributeRecallOnOpen | kAttributeRecallOnDataAccess)) != 0;
}

DWORD ScannedFileAttributes(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return attributes;
    std::lock_guard<std::mutex> lock(g_extraMutex);
    const auto extra = ExtraAttributes().find(path);
    return extra == ExtraAttributes().end() ? attributes : attributes | extra->second;
}

bool IsDataElsewhere(const std::wstring& path) { return IsDataElsewhere(ScannedFileAttributes(path)); }

ScopedExtraAttributes::ScopedExtraAttributes(std::wstring path, DWORD bits) : path_(std::move(path)) {
    std::lock_guard<std::mutex> lock(g_extraMutex);
    ExtraAttributes()[path_] = bits;
}

ScopedExtraAttributes::~ScopedExtraAttributes() {
    std::lock_guard<std::mutex> lock(g_extraMutex);
    ExtraAttributes().erase(path_);
}

}  // namespace fileid
