#include "common/temp_folder.h"

#include <atomic>
#include <fstream>
#include <stdexcept>
#include <system_error>

#if defined(_WIN32)
#include <process.h>
#define VARNEL_GETPID _getpid
#else
#include <unistd.h>
#define VARNEL_GETPID getpid
#endif

namespace testing_support {

TempFolder::TempFolder(const std::string& prefix) {
    static std::atomic<unsigned> counter{0};
    const std::filesystem::path temp = std::filesystem::temp_directory_path();
    // A folder left by an earlier run under the same name is taken over
    // empty; one that cannot be made moves on to the next number.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path candidate =
            temp / (prefix + "-" + std::to_string(VARNEL_GETPID()) + "-" + std::to_string(++counter));
        std::error_code ec;
        std::filesystem::remove_all(candidate, ec);
        if (std::filesystem::create_directory(candidate, ec)) {
            path_ = std::move(candidate);
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary folder under " + temp.string());
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::Write(const std::string& name, const std::string& content) const {
    const std::filesystem::path file = path_ / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
    return file.string();
}

}  // namespace testing_support
