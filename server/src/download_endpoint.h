// DownloadEndpoint: the files the service hands out, under /downloads/ from
// one folder on disk: agent releases (an operator copies a package into
// <folder>/agent/ and adds its row to agent_releases) and installers of
// catalogue products (a product whose download_url is "/downloads/...").
// Replies carry Content-Length and honour a single byte Range, so a client
// sees real progress and can resume (the service's --throttle slows every
// reply down, for a slow transfer in tests and screenshots).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <httplib.h>

#include "update_service.h"

namespace vnservice {

class DownloadEndpoint : public Endpoint {
public:
    // `root` empty: every download is 404.
    DownloadEndpoint(std::string root, Logger log);
    void Mount(httplib::Server& server) override;

    // The file under the root that a request path names, or nothing when the
    // path is not a plain relative path ("..", empty parts, backslashes,
    // control characters) or names no regular file.
    std::optional<std::string> FileFor(const std::string& relative) const;

private:
    std::string root_;
    Logger log_;
};

}  // namespace vnservice
