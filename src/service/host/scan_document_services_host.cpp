// The host's answers for the scan document: the portable MD5 of files
// (through the file cache), the
// string table, and no icons (there is no shell to take them from).
#include "platform/files.h"
#include "platform/string_table.h"
#include "scanners/file_cache.h"
#include "scanners/md5.h"
#include "service/item_xml.h"

namespace vnxml {

namespace {

class HostServices final : public IScanDocumentServices {
public:
    // The host reads its (test) files whole: it does not ask `stopped`.
    std::string FileDigest(const std::string& path, const StopTest&) override {
        return fileid::ProcessFileCache().Digest(path, [&] { return digest::FileMd5Hex(path); });
    }
    std::string ProgramDigest() override { return digest::FileMd5Hex(platform::ProgramPath()); }
    std::string IconElements(const std::string&, const std::string&) override { return std::string(); }
    std::string LoadText(int id) override { return platform::LoadText(id); }
};

}  // namespace

std::unique_ptr<IScanDocumentServices> MakePlatformScanDocumentServices() { return std::make_unique<HostServices>(); }

}  // namespace vnxml
