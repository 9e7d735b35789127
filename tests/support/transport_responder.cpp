// transport-responder: a tiny HTTP server on 127.0.0.1 for the transport's
// Windows tests. It answers what the reference update service never sends:
//
//   /echo                 200 text/plain: the request as received (below)
//   /status/404           404 Not Found with a short text
//   /unframed-compressed  200 text/xml-compressed whose body is plain XML, not a frame
//   /implausible-frame    200 text/xml-compressed: a frame stating a 4 GB body
//   /oversize             200 text/xml: one byte more than the agent accepts
//
// /echo answers with lines "method M", "target T" (the request target as
// sent, with any query), "header NAME: VALUE" for each header, "body-length
// N", then an empty line and the body exactly as received.
//
// Usage: transport-responder --port-file FILE   (it runs until it is killed)
#include <httplib.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

namespace {

constexpr size_t kOversizeBytes = 64u * 1024u * 1024u + 1u;

const char kPlainReply[] =
    "<?xml version=\"1.0\"?>\r\n<meridox><status code=\"0\"/><note>sent unframed</note></meridox>\r\n";

void Echo(const httplib::Request& req, httplib::Response& res) {
    std::string out = "method " + req.method + "\n";
    out += "target " + req.target + "\n";
    for (const auto& header : req.headers) out += "header " + header.first + ": " + header.second + "\n";
    out += "body-length " + std::to_string(req.body.size()) + "\n\n";
    out += req.body;
    res.set_content(out, "text/plain");
}

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
    const auto implausible = [](const httplib::Request&, httplib::Response& res) {
        // Checksum 0, stated length 0xFFFFFFF0, zeros, then a few stream bytes.
        std::string frame(16, '\0');
        frame[4] = frame[5] = frame[6] = static_cast<char>(0xFF);
        frame[7] = static_cast<char>(0xF0);
        frame += "\x78\x9c\x03\x00\x00\x00\x00\x01";
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

    const int port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0) {
        std::cerr << "transport-responder: cannot listen on 127.0.0.1\n";
        return 1;
    }
    {
        // Written whole, then renamed, so a reader never sees half a number.
        const std::string temp = portFile + ".tmp";
        std::ofstream out(temp, std::ios::trunc);
        out << port << "\n";
        out.close();
        if (!out || std::rename(temp.c_str(), portFile.c_str()) != 0) {
            std::cerr << "transport-responder: cannot write " << portFile << "\n";
            return 1;
        }
    }
    std::cout << "transport-responder listening on 127.0.0.1:" << port << std::endl;
    return server.listen_after_bind() ? 0 : 1;
}
