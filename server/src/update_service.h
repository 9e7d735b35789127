// The reference update service as an HTTP server on the loopback interface:
// the database, the endpoints mounted on one cpp-httplib server, and the
// command line of the varnel-service program.
//
// Each endpoint is an Endpoint that mounts its routes; the scan service is
// the first. The report, catalogue, feed and installer endpoints are added
// the same way.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "http_front.h"
#include "service_store.h"

namespace vnservice {

class ScanService;

struct ServiceOptions {
    int port = 8080;  // 0 picks a free port
    std::string database = "varnel-service.db";
    std::vector<std::string> seeds;  // replace the catalogue when given
    std::string defaultSeed;         // loaded when no seed is given and the catalogue is empty
    std::string scanPath = "/cgi-bin/vncheck.fcgi";
    std::string publicUrl;  // empty: http://127.0.0.1:<port>
    std::string portFile;   // written with the port once listening
    bool quiet = false;
    ConnectionLimits connections;  // deadlines and bounds of the connection layer
};

// The service listens on this address only.
inline constexpr char kBindAddress[] = "127.0.0.1";
// The largest request body accepted (a framed or plain scan document).
inline constexpr size_t kMaxRequestBytes = 16u * 1024u * 1024u;

struct CommandLine {
    bool ok = false;
    bool help = false;
    std::string error;
    ServiceOptions options;
};
CommandLine ParseCommandLine(const std::vector<std::string>& args);
extern const char kUsage[];

using Logger = std::function<void(const std::string& line)>;

class Endpoint {
public:
    virtual ~Endpoint() = default;
    virtual void Mount(httplib::Server& server) = 0;
};

class UpdateService {
public:
    // Opens the database and loads the catalogue; throws StoreError or
    // std::runtime_error (unreadable seed file) on failure.
    explicit UpdateService(ServiceOptions options, Logger log = {});
    ~UpdateService();
    UpdateService(const UpdateService&) = delete;
    UpdateService& operator=(const UpdateService&) = delete;

    // Binds 127.0.0.1 on the configured port and mounts the endpoints; the
    // port bound (the chosen one for port 0). Throws std::runtime_error when
    // the port cannot be bound. Every route answers only requests addressed
    // to the service itself (Host 127.0.0.1:PORT, localhost:PORT or the
    // public URL's host) and no web page of another origin.
    int Bind();
    // Serves until Stop(); false when the server failed.
    bool Run();
    void Stop();
    // True once Run is accepting connections.
    bool IsRunning() const;

    int Port() const { return port_; }
    const std::string& PublicUrl() const { return publicUrl_; }
    ServiceStore& Store() { return *store_; }

private:
    ServiceOptions options_;
    Logger log_;
    std::unique_ptr<ServiceStore> store_;
    std::unique_ptr<RoutedServer> server_;
    std::unique_ptr<HttpFront> front_;
    std::unique_ptr<ScanService> scans_;
    std::vector<std::unique_ptr<Endpoint>> endpoints_;
    int port_ = 0;
    std::string publicUrl_;
};

}  // namespace vnservice
