// transport-responder: a tiny HTTP server on 127.0.0.1 for the transport's
// Windows tests. It answers what the reference update service never sends:
//
//   /echo                 200 text/plain: the request as received (below)
//   /status/404           404 Not Found with a short text
//   /unframed-compressed  200 text/xml-compressed whose body is plain XML, not a frame
//   /unframed-status      the same with a successful status that issues the
//                         machine identifier "unframed-reply"
//   /implausible-frame    200 text/xml-compressed: a frame stating a 4 GB body
//   /oversize             200 text/xml: one byte more than the agent accepts
//   /first-bytes          200 text/plain: in hexadecimal, the first bytes of the
//                         last connection to the raw listener
//   /report-api/rest/v1.0/getScanReport?scanId=ID
//   /report-api/rest/v1.0/installed/outOfDateReport?machineId=ID
//                         canned REST reports chosen by ID (see Reports below);
//                         an unknown ID is a 404
//                         (the replies allow caching for an hour, as a service
//                         might: the agent must ask afresh all the same)
//   /report-api/hits/ID   200 text/plain: how many report requests named ID
//   /report-api/uncached-hits/ID
//                         200 text/plain: how many of them asked past caches
//                         ("Cache-Control: no-cache")
//
// The raw listener, on a second port, reads the first bytes a client sends
// on each connection and closes it: a TLS client starts with a handshake
// record (0x16), a plain HTTP client with its request line.
//
// /echo answers with lines "method M", "target T" (the request target as
// sent, with any query), "header NAME: VALUE" for each header, "body-length
// N", then an empty line and the body exactly as received.
//
// Usage: transport-responder --port-file FILE   (it runs until it is killed)
// The port file gets the HTTP port on its first line, the raw listener's on
// its second.
#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace {

constexpr size_t kOversizeBytes = 64u * 1024u * 1024u + 1u;

const char kPlainReply[] =
    "<?xml version=\"1.0\"?>\r\n<meridox><status code=\"0\"/><note>sent unframed</note></meridox>\r\n";

const char kPlainStatusReply[] =
    "<?xml version=\"1.0\"?>\r\n<meridox><status><code>0</code><set-machine-id>unframed-reply</set-machine-id>"
    "</status></meridox>\r\n";

void Echo(const httplib::Request& req, httplib::Response& res) {
    std::string out = "method " + req.method + "\n";
    out += "target " + req.target + "\n";
    for (const auto& header : req.headers) out += "header " + header.first + ": " + header.second + "\n";
    out += "body-length " + std::to_string(req.body.size()) + "\n\n";
    out += req.body;
    res.set_content(out, "text/plain");
}

// The raw listener: the first bytes of the latest connection.
class RawListener {
public:
    // The port listened on, or 0 when no socket could be had.
    int Start() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd_, 8) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            return 0;
        std::thread([this] { Serve(); }).detach();
        return ntohs(address.sin_port);
    }
    std::string LastHex() {
        std::lock_guard<std::mutex> lock(mutex_);
        static const char digits[] = "0123456789abcdef";
        std::string hex;
        for (unsigned char c : last_) {
            hex += digits[c >> 4];
            hex += digits[c & 15];
        }
        return hex;
    }

private:
    void Serve() {
        for (;;) {
            const int client = accept(fd_, nullptr, nullptr);
            if (client < 0) continue;
            char buffer[16];
            const ssize_t n = recv(client, buffer, sizeof buffer, 0);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                last_.assign(buffer, n > 0 ? static_cast<size_t>(n) : 0);
            }
            // Read whatever else the client sends until it pauses, so the
            // close below is an orderly end of stream: closing with unread
            // bytes would reset the connection instead, and the client's
            // error would then depend on how fast it wrote.
            timeval pause{0, 200 * 1000};
            setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &pause, sizeof pause);
            char rest[4096];
            while (recv(client, rest, sizeof rest, 0) > 0) {
            }
            shutdown(client, SHUT_WR);
            close(client);
        }
    }
    int fd_ = -1;
    std::mutex mutex_;
    std::string last_;
};

// The REST reports: a scan report per status word, out-of-date lists with
// and without a linked user, and replies that must fail: a 404, a body that
// is no XML, a document type, and a list that comes only after a pause.
class Reports {
public:
    void Register(httplib::Server& server) {
        server.Get("/report-api/rest/v1.0/getScanReport", [this](const httplib::Request& req, httplib::Response& res) {
            Answer(ScanReport(Count(req.get_param_value("scanId"), req)), res);
        });
        server.Get("/report-api/rest/v1.0/installed/outOfDateReport",
                   [this](const httplib::Request& req, httplib::Response& res) {
                       Answer(OutOfDateList(Count(req.get_param_value("machineId"), req)), res);
                   });
        server.Get("/report-api/hits/(.*)", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard<std::mutex> lock(mutex_);
            res.set_content(std::to_string(hits_[req.matches[1].str()]), "text/plain");
        });
        server.Get("/report-api/uncached-hits/(.*)", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard<std::mutex> lock(mutex_);
            res.set_content(std::to_string(uncachedHits_[req.matches[1].str()]), "text/plain");
        });
    }

private:
    static constexpr char kHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<ZeltoResponse>";

    const std::string& Count(const std::string& id, const httplib::Request& req) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++hits_[id];
        if (req.get_header_value("Cache-Control").find("no-cache") != std::string::npos) ++uncachedHits_[id];
        return id;
    }
    static void Answer(const std::string& body, httplib::Response& res) {
        if (body.empty()) {
            res.status = 404;
            res.set_content("no such report\n", "text/plain");
        } else {
            res.set_content(body, "text/xml; charset=UTF-8");
            res.set_header("Cache-Control", "max-age=3600");
        }
    }
    static std::string ScanReport(const std::string& id) {
        const auto report = [](const char* status, const char* ursId) {
            return std::string(kHead) + "<ScanReport><Status>" + status + "</Status><Machine><UrsId>" + ursId +
                   "</UrsId></Machine></ScanReport></ZeltoResponse>\r\n";
        };
        if (id == "progress") return report("IN_PROGRESS", "");
        if (id == "failed") return report("FAILED", "");
        if (id == "complete") return report("COMPLETE", "u-42");
        if (id == "paused") return report("PAUSED", "u-42");
        if (id == "malformed") return std::string(kHead) + "<ScanReport><Status>COMPLETE</Status>";
        return std::string();
    }
    static std::string OutOfDateList(const std::string& id) {
        const auto list = [](const char* ursId) {
            // "Caf\xC3\xA9" is UTF-8 for an e with an acute accent.
            return std::string(kHead) + "<InstalledProductReport><machineId>m</machineId><ursId>" + ursId +
                   "</ursId><Software>"
                   "<Product outOfDate=\"true\"><Current><Name>Zip Tool 9</Name></Current></Product>"
                   "<Product outOfDate=\"false\"><Current><Name>Fresh Player</Name></Current></Product>"
                   "<Product outOfDate=\"true\"><Current><Name></Name></Current></Product>"
                   "<Product outOfDate=\"true\"><Current><Name>Caf\xC3\xA9 Editor 2</Name></Current></Product>"
                   "</Software></InstalledProductReport></ZeltoResponse>\r\n";
        };
        if (id == "linked") return list("u-42");
        if (id == "unlinked" || id == "unlinked-2") return list("");
        if (id == "empty")
            return std::string(kHead) + "<InstalledProductReport><Software/></InstalledProductReport></ZeltoResponse>";
        if (id == "no-report") return std::string(kHead) + "<Error>busy</Error></ZeltoResponse>";
        if (id == "slow") {
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            return list("");
        }
        if (id == "malformed") return std::string(kHead) + "<InstalledProductReport><Software>";
        if (id == "doctype")
            return "<?xml version=\"1.0\"?>\r\n<!DOCTYPE ZeltoResponse [<!ENTITY n \"Zip Tool 9\">]>"
                   "<ZeltoResponse><InstalledProductReport><Software><Product outOfDate=\"true\"><Current><Name>&n;"
                   "</Name></Current></Product></Software></InstalledProductReport></ZeltoResponse>";
        return std::string();
    }

    std::mutex mutex_;
    std::map<std::string, int> hits_;
    std::map<std::string, int> uncachedHits_;
};

}  // namespace

int main(int argc, char** argv) {
    std::string portFile;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--port-file" && i + 1 < argc) portFile = argv[++i];
        else {
            std::cerr << "usage: transport-responder --port-file FILE\n";
            return 2;
        }
    }
    if (portFile.empty()) {
        std::cerr << "transport-responder: --port-file is required\n";
        return 2;
    }

    httplib::Server server;
    server.set_payload_max_length(80u * 1024u * 1024u);
    for (const char* path : {"/echo", "/echo/.*"}) {
        server.Get(path, Echo);
        server.Post(path, Echo);
    }
    const auto notFound = [](const httplib::Request&, httplib::Response& res) {
        res.status = 404;
        res.set_content("no such page\n", "text/plain");
    };
    server.Get("/status/404", notFound);
    server.Post("/status/404", notFound);
    const auto unframed = [](const httplib::Request&, httplib::Response& res) {
        res.set_content(kPlainReply, "text/xml-compressed");
    };
    server.Get("/unframed-compressed", unframed);
    server.Post("/unframed-compressed", unframed);
    server.Post("/unframed-status", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(kPlainStatusReply, "text/xml-compressed");
    });
    const auto implausible = [](const httplib::Request&, httplib::Response& res) {
        // Checksum 0, stated length 0xFFFFFFF0, zeros, then a few stream bytes.
        std::string frame(16, '\0');
        frame[4] = frame[5] = frame[6] = static_cast<char>(0xFF);
        frame[7] = static_cast<char>(0xF0);
        frame += std::string("\x78\x9c\x03\x00\x00\x00\x00\x01", 8);
        res.set_content(frame, "text/xml-compressed");
    };
    server.Get("/implausible-frame", implausible);
    server.Post("/implausible-frame", implausible);
    const auto oversize = [](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(kOversizeBytes, "text/xml",
                                 [](size_t offset, size_t length, httplib::DataSink& sink) {
                                     static const std::string chunk(64 * 1024, 'x');
                                     (void)offset;
                                     return sink.write(chunk.data(), length < chunk.size() ? length : chunk.size());
                                 });
    };
    server.Get("/oversize", oversize);
    server.Post("/oversize", oversize);

    Reports reports;
    reports.Register(server);

    RawListener raw;
    server.Get("/first-bytes", [&raw](const httplib::Request&, httplib::Response& res) {
        res.set_content(raw.LastHex(), "text/plain");
    });

    const int port = server.bind_to_any_port("127.0.0.1");
    const int rawPort = raw.Start();
    if (port <= 0 || rawPort <= 0) {
        std::cerr << "transport-responder: cannot listen on 127.0.0.1\n";
        return 1;
    }
    {
        // Written whole, then renamed, so a reader never sees half a number.
        const std::string temp = portFile + ".tmp";
        std::ofstream out(temp, std::ios::trunc);
        out << port << "\n" << rawPort << "\n";
        out.close();
        if (!out || std::rename(temp.c_str(), portFile.c_str()) != 0) {
            std::cerr << "transport-responder: cannot write " << portFile << "\n";
            return 1;
        }
    }
    std::cout << "transport-responder listening on 127.0.0.1:" << port << ", raw listener on port " << rawPort
              << std::endl;
    return server.listen_after_bind() ? 0 : 1;
}
