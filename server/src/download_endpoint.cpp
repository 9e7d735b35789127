#include "download_endpoint.h"

#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <memory>

namespace vnservice {
namespace {

std::string ContentTypeOf(const std::string& path) {
    const size_t dot = path.find_last_of("./");
    const std::string ext = dot == std::string::npos || path[dot] != '.' ? "" : path.substr(dot + 1);
    if (ext == "msi") return "application/x-msi";
    if (ext == "exe") return "application/vnd.microsoft.portable-executable";
    if (ext == "zip") return "application/zip";
    return "application/octet-stream";
}

}  // namespace

DownloadEndpoint::DownloadEndpoint(std::string root, Logger log) : root_(std::move(root)), log_(std::move(log)) {}

std::optional<std::string> DownloadEndpoint::FileFor(const std::string& relative) const {
    if (root_.empty() || relative.empty() || relative.size() > 512) return std::nullopt;
    size_t start = 0;
    for (;;) {
        const size_t slash = relative.find('/', start);
        const std::string part = relative.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (part.empty() || part == "." || part == "..") return std::nullopt;
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    for (unsigned char c : relative)
        if (c < 32 || c == 127 || c == '\\') return std::nullopt;
    const std::string path = root_ + "/" + relative;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return path;
}

void DownloadEndpoint::Mount(httplib::Server& server) {
    server.Get(R"(/downloads/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
        const auto path = FileFor(req.matches[1]);
        auto file = path ? std::make_unique<std::ifstream>(*path, std::ios::binary) : nullptr;
        if (!file || !*file) {
            res.status = 404;
            res.set_content("no such download\n", "text/plain");
            return;
        }
        std::string body((std::istreambuf_iterator<char>(*file)), std::istreambuf_iterator<char>());
        if (log_) log_("download " + req.path + " (" + std::to_string(body.size()) + " bytes)");
        // httplib answers a single Range with 206 and that part of the body.
        res.set_content(std::move(body), ContentTypeOf(*path).c_str());
    });
}

}  // namespace vnservice
