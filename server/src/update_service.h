// The reference update service as an HTTP server on the loopback interface:
// the database, the endpoints mounted on one cpp-httplib server, and the
// command line of the varnel-service program.
//
// Each endpoint is an Endpoint that mounts its routes; the scan service is
// the first. The report, catalogue, feed and installer endpoints are added
// the same way.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
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
    // Checked scans stay IN_PROGRESS this long before their report is ready.
    int64_t reportDelayMs = 0;
    // The reply to a check is held back this long (a slow service, for tests).
    int64_t replyDelayMs = 0;
    // The folder served under /downloads/ (agent releases in agent/, product
    // installers); empty serves none.
    std::string downloadsFolder;
    // Replies, downloads among them, are sent at most this fast (bytes per
    // second; 0 no limit).
    uint64_t downloadBytesPerSecond = 0;
    // Operator commands that run instead of serving: link machines to users
    // ("MACHINE_ID=USER_ID"; an empty user removes the link).
    std::vector<std::string> userLinks;
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

// Applies the operator's user links to the database; one line per link on
// `out`. False when a link is malformed or names an unknown machine.
bool ApplyUserLinks(ServiceStore& store, const std::vector<std::string>& links, std::string& out);

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
    // Called with "machine page: <address>" and the counts when a check from a
    // machine has been answered.
    void SetNotice(Logger notice) { notice_ = std::move(notice); }
    // True once Run is accepting connections.
    bool IsRunning() const;

    int Port() const { return port_; }
    const std::string& PublicUrl() const { return publicUrl_; }
    ServiceStore& Store() { return *store_; }
    // The server holding the routes (after Bind), for a request read whole elsewhere.
    RoutedServer& Routes() { return *server_; }

private:
    // Waits for `ms` or until Stop, whichever comes first.
    void Pause(int64_t ms);

    ServiceOptions options_;
    Logger log_, notice_;
    std::mutex stopMutex_;
    std::condition_variable stopSignal_;
    bool stopping_ = false;
    std::unique_ptr<ServiceStore> store_;
    std::unique_ptr<RoutedServer> server_;
    std::unique_ptr<HttpFront> front_;
    std::unique_ptr<ScanService> scans_;
    std::vector<std::unique_ptr<Endpoint>> endpoints_;
    int port_ = 0;
    std::string publicUrl_;
};

}  // namespace vnservice
