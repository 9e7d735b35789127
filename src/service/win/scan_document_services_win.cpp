// The Windows answers for the scan document: file digests through CryptoAPI
// (CFileMd5) and the file cache, icons through the icon encoder, texts from the string table.
#include "platform/files.h"
#include "platform/string_table.h"
#include "scanners/file_cache.h"
#include "scanners/win/file_md5.h"
#include "scanners/win/icon_encoder.h"
#include "service/item_xml.h"

namespace vnxml {

namespace {

class WindowsServices final : public IScanDocumentServices {
public:
    std::string FileDigest(const std::string& path, const StopTest& stopped) override {
        return fileid::ProcessFileCache().Digest(path, [&] { return fileid::CFileMd5(path).Digest(stopped); });
    }
    std::string ProgramDigest() override { return fileid::CFileMd5(platform::ProgramPath()).Digest(); }
    std::string IconElements(const std::string& productId, const std::string& path) override {
        return fileid::IconElements(productId, path);
    }
    std::string LoadText(int id) override { return platform::LoadText(id); }
};

}  // namespace

std::unique_ptr<IScanDocumentServices> MakePlatformScanDocumentServices() {
    return std::make_unique<WindowsServices>();
}

}  // namespace vnxml
