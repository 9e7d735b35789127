// vntool fileid: what the agent reads from a Windows program's version
// resource, and the identity element it sends for it.
#include <cstdio>
#include <string>

#include "command.h"
#include "platform/codepage.h"
#include "platform/text.h"
#include "scanners/file_identity.h"
#include "scanners/md5.h"

namespace vntool {
namespace {

void Line(const char* label, const std::string& ansi) {
    std::printf("%s: %s\n", label, platform::AnsiToUtf8(ansi).c_str());
}

int Run(const Args& args) {
    if (args.empty()) return UsageError("fileid: give FILE...");
    int status = 0;
    for (const std::string& path : args) {
        fileid::VersionNames names;
        fileid::VersionNumbers numbers;
        const fileid::HResult namesResult = fileid::GetVersionNames(path, names);
        const fileid::HResult numbersResult = fileid::GetVersionNumbers(path, numbers);
        std::printf("file: %s\n", path.c_str());
        std::printf("names result: 0x%08x\n", static_cast<unsigned>(namesResult));
        Line("product name", names.productName);
        Line("company name", names.companyName);
        Line("file description", names.fileDescription);
        std::printf("numbers result: 0x%08x\n", static_cast<unsigned>(numbersResult));
        Line("fixed file version", numbers.fixedFileVersion);
        Line("file version", numbers.fileVersion);
        Line("product version", numbers.productVersion);
        const std::string identity = fileid::FileIdentityXml(fileid::kProcessIdentity, textutil::FileNameOf(path),
                                                             path, digest::FileMd5Hex(path));
        std::printf("%s\n\n", identity.c_str());
        if (namesResult != fileid::kOk) status = 1;
    }
    return status;
}

const Registrar registrar({
    "fileid",
    "version names, version texts and the identity element of program files",
    "vntool fileid FILE...\n"
    "    For each file, what the agent reads from a Windows program's version\n"
    "    resource (the file is read as a PE image), one \"label: value\" line each:\n"
    "      file, names result, product name, company name, file description,\n"
    "      numbers result, fixed file version, file version, product version\n"
    "    The results are 0x00000000 for success, else the agent's failure code\n"
    "    (0x8000ffff: no readable version resource). The names come from the first\n"
    "    translation's string table, each empty one from 040904e4; a product\n"
    "    version whose leading number is above 50 is replaced by the fixed file\n"
    "    version. Texts are printed in UTF-8. Then the file's identity element as\n"
    "    the scan document writes it (ProcessIdentity, with the file name as\n"
    "    BaseName and the file's MD5 as CheckSum), and a blank line.\n"
    "    Exit code 1 when any file has no readable version resource; every file is\n"
    "    still printed.\n",
    &Run,
});

}  // namespace
}  // namespace vntool
