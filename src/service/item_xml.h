// The `item` elements of the scan document, the escaping of item texts, and
// what writing them needs from Windows: file digests, icon images and
// string-table texts. The Windows build answers those through CryptoAPI,
// the icon encoder and the string table; the host through the portable MD5
// (and it has no icons). Tests and vntool install their own answers.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

class VN_DriverItem;
class VN_GuidItem;
class VN_WatchItem;

namespace vnxml {

// Asked during long work (a file's digest) whether to give it up: true ends it.
using StopTest = std::function<bool()>;

// The item's `item` element of the scan request. Numbers the item (see
// VN_GuidItem::GetSequence) and may clear serverNeedsIcon once the icons are
// written, hence not const. Items of any other kind have none (empty text).
std::string ItemXml(VN_WatchItem& item);
std::string ItemXml(VN_DriverItem& item);
std::string ItemXml(VN_GuidItem& item);
// The same appended to `out`.
// `stopped` is handed to the item's file digest, so that a stop need not wait
// for a large file to be read to its end (the item then has no digest).
void AppendItemXml(std::string& out, VN_WatchItem& item, const StopTest& stopped = {});
void AppendItemXml(std::string& out, VN_DriverItem& item);
void AppendItemXml(std::string& out, VN_GuidItem& item);

// The item-text escape: "&", "<" and ">" become "&amp;", "&lt;" and "&gt;";
// tab, line feed and carriage return pass; every other byte below 32 and
// every byte of 128 or above is dropped (the service reads item texts as
// ASCII); quotes and apostrophes pass unchanged.
std::string EscapeItemText(std::string_view text);
// The same, appended to `out`.
void AppendEscapedItemText(std::string& out, std::string_view text);

class IScanDocumentServices {
public:
    virtual ~IScanDocumentServices() = default;
    // The MD5 of the file's bytes as 32 lower-case hexadecimal digits, or an
    // empty text when the file cannot be read or `stopped` (when given)
    // answered true while it was read.
    virtual std::string FileDigest(const std::string& path, const StopTest& stopped) = 0;
    // The digest of the agent's own program file.
    virtual std::string ProgramDigest() = 0;
    // The program's large and small icon elements (each with its line feed),
    // or an empty text when it has no icons.
    virtual std::string IconElements(const std::string& productId, const std::string& path) = 0;
    // The text of a string-table entry.
    virtual std::string LoadText(int id) = 0;
};

// The process's services: the platform's unless others were installed.
// Install at start-up or in a test's set-up, before a document is written;
// nullptr restores the platform's. Returns the services it replaced.
IScanDocumentServices& ScanDocumentServices();
std::unique_ptr<IScanDocumentServices> InstallScanDocumentServices(std::unique_ptr<IScanDocumentServices> services);
std::unique_ptr<IScanDocumentServices> MakePlatformScanDocumentServices();

}  // namespace vnxml
