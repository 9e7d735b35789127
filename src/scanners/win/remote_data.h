// Files whose data is not on this computer: cloud-storage placeholders (a
// synced folder's file kept online only, its data fetched when it is opened or
// read) and files moved to offline storage. Reading one makes the provider
// download it, which for a Desktop kept in the cloud would mean every program
// file a scan meets; the scanners leave such files unread until they are local
// (a version, digest or icon that cannot be read now, not a lasting answer).
#pragma once

#include <string>

#include "platform/win/win.h"

namespace fileid {

// The recall attributes of cloud placeholders, which MinGW's headers lack.
inline constexpr DWORD kAttributeRecallOnOpen = 0x00040000;        // FILE_ATTRIBUTE_RECALL_ON_OPEN
inline constexpr DWORD kAttributeRecallOnDataAccess = 0x00400000;  // FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS

// Whether the attributes mark a file whose data is elsewhere.
bool IsDataElsewhere(DWORD attributes);

// The file's attributes as the scanners judge it: GetFileAttributesW's answer
// (INVALID_FILE_ATTRIBUTES and the thread's last error when it fails) with the
// bits a test added (see ScopedExtraAttributes).
DWORD ScannedFileAttributes(const std::wstring& path);
// Whether the file's data is elsewhere; false when its attributes cannot be read.
bool IsDataElsewhere(const std::wstring& path);

// Adds attribute bits to one path's, as ScannedFileAttributes reports them,
// until it is destroyed. Wine keeps only a file's read-only, hidden and system
// attributes, so its tests give a file the attributes of a placeholder this
// way; the path is compared as given.
class ScopedExtraAttributes {
public:
    ScopedExtraAttributes(std::wstring path, DWORD bits);
    ~ScopedExtraAttributes();
    ScopedExtraAttributes(const ScopedExtraAttributes&) = delete;
    ScopedExtraAttributes& operator=(const ScopedExtraAttributes&) = delete;

private:
    std::wstring path_;
};

}  // namespace fileid
