// A folder of its own under the system's temporary folder for one test,
// removed with everything in it when the object goes. Host and Windows alike.
#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

class TempFolder {
public:
    // `prefix` starts the folder's name; a counter and the process id make it unique.
    explicit TempFolder(const std::string& prefix = "varnel-test");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The folder itself, or `name` inside it, as a native path string.
    std::string str() const { return path_.string(); }
    std::string Path(const std::string& name) const { return (path_ / name).string(); }
    // Writes `content` byte for byte to `name` inside the folder (its parent
    // folders made as needed) and returns the file's path.
    std::string Write(const std::string& name, const std::string& content) const;

private:
    std::filesystem::path path_;
};

}  // namespace testing_support
