#include "update_service.h"

#include <httplib.h>

#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

#include "catalogue_endpoint.h"
#include "download_endpoint.h"
#include "page_endpoint.h"
#include "platform/text.h"
#include "report_endpoint.h"
#include "scan_request.h"
#include "scan_service.h"
#include "service/frame.h"

namespace vnservice {

const char kUsage[] =
    "usage: varnel-service [options]\n"
    "The reference update service: answers the agent's scan requests on 127.0.0.1.\n"
    "\n"
    "  --port N          TCP port (default 8080; 0 picks a free one)\n"
    "  --db FILE         SQLite database (default varnel-service.db; \":memory:\" keeps nothing)\n"
    "  --seed FILE       SQL seed of the catalogue; may be repeated. Given seeds replace the\n"
    "                    catalogue (products, match rules, agent releases, exclusions, page\n"
    "                    addresses); what machines sent is kept. Without --seed the built-in\n"
    "                    seed is loaded into an empty catalogue.\n"
    "  --scan-path PATH  path of the scan service (default /cgi-bin/vncheck.fcgi)\n"
    "  --public-url URL  base of the addresses in replies (default http://127.0.0.1:PORT)\n"
    "  --port-file FILE  write the port number to FILE once listening\n"
    "  --quiet           do not log requests to standard error\n"
    "  --report-delay-ms N  keep each checked scan IN_PROGRESS for N ms before its report is ready\n"
    "  --reply-delay-ms N   hold back the reply to each check for N ms (a slow service)\n"
    "  --downloads DIR   serve the files under DIR at /downloads/ (agent releases in DIR/agent/,\n"
    "                    installers of products whose download_url starts with /downloads/)\n"
    "  --throttle N      send every reply at most N bytes per second (a slow transfer)\n"
    "  --link-user MACHINE_ID=USER_ID\n"
    "                    link a machine to a user of the service (reported as its ursId; an\n"
    "                    empty USER_ID removes the link), then exit without serving; may be repeated\n"
    "  --help            this text\n"
    "\n"
    "Once listening it prints \"listening on http://127.0.0.1:PORT\" on standard output, and\n"
    "\"machine page: URL\" whenever it has answered a check from a machine.\n"
    "Pages: /my/MACHINE_ID?token=TOKEN (the address a check reply gives), /welcome/, /help/.\n"
    "Reports: /rest/v1.0/getScanReport?scanId=ID, /rest/v1.0/installed/outOfDateReport?machineId=ID.\n"
    "SIGINT or SIGTERM stops it. Exit code 0 after a stop, 1 when it cannot start,\n"
    "2 for a wrong command line.\n";

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine cl;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        const auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) return inlineValue;
            if (i + 1 < args.size()) return args[++i];
            return std::nullopt;
        };
        if (name == "--help" || name == "-h") {
            cl.help = true;
            cl.ok = true;
            return cl;
        }
        if (name == "--quiet") {
            cl.options.quiet = true;
            continue;
        }
        if (name != "--port" && name != "--db" && name != "--seed" && name != "--scan-path" && name != "--public-url" &&
            name != "--port-file" && name != "--report-delay-ms" && name != "--reply-delay-ms" &&
            name != "--link-user" && name != "--downloads" && name != "--throttle") {
            cl.error = "unknown option " + args[i];
            return cl;
        }
        const auto v = value();
        if (name == "--link-user") {
            if (!v || v->find('=') == std::string::npos || v->front() == '=') {
                cl.error = "--link-user takes MACHINE_ID=USER_ID";
                return cl;
            }
            cl.options.userLinks.push_back(*v);
            continue;
        }
        if (!v || v->empty()) {
            cl.error = name + " needs a value";
            return cl;
        }
        if (name == "--port") {
            char* end = nullptr;
            const long port = std::strtol(v->c_str(), &end, 10);
            if (*end || port < 0 || port > 65535) {
                cl.error = "--port takes a number from 0 to 65535";
                return cl;
            }
            cl.options.port = static_cast<int>(port);
        } else if (name == "--db") {
            cl.options.database = *v;
        } else if (name == "--seed") {
            cl.options.seeds.push_back(*v);
        } else if (name == "--scan-path") {
            if ((*v)[0] != '/') {
                cl.error = "--scan-path must start with /";
                return cl;
            }
            cl.options.scanPath = *v;
        } else if (name == "--report-delay-ms" || name == "--reply-delay-ms") {
            char* end = nullptr;
            const long long ms = std::strtoll(v->c_str(), &end, 10);
            if (*end || ms < 0 || ms > 3600 * 1000) {
                cl.error = name + " takes a number of milliseconds from 0 to 3600000";
                return cl;
            }
            (name == "--report-delay-ms" ? cl.options.reportDelayMs : cl.options.replyDelayMs) = ms;
        } else if (name == "--downloads") {
            cl.options.downloadsFolder = *v;
        } else if (name == "--throttle") {
            char* end = nullptr;
            const unsigned long long rate = std::strtoull(v->c_str(), &end, 10);
            if (*end || (*v)[0] == '-' || rate > (1ull << 40)) {
                cl.error = "--throttle takes a number of bytes per second";
                return cl;
            }
            cl.options.downloadBytesPerSecond = rate;
        } else if (name == "--public-url") {
            cl.options.publicUrl = *v;
        } else {
            cl.options.portFile = *v;
        }
    }
    cl.ok = true;
    return cl;
}

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read seed file " + path);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void Refuse(httplib::Response& res, int status, const std::string& text) {
    res.status = status;
    res.set_content(text + "\n", "text/plain");
}

// The media type of a Content-Type value, lower-cased, without parameters.
std::string MediaType(const std::string& contentType) {
    return textutil::ToLowerAscii(textutil::Trim(contentType.substr(0, contentType.find(';'))));
}

// The names a request may address the service by, lower-cased: the
// loopback address and localhost with the port, and the public URL's host
// (with and without its default port). Web pages reach the service through
// other names only by DNS rebinding, and with an Origin of their own.
struct OwnAddresses {
    std::set<std::string> hosts;
    std::set<std::string> origins;
};

OwnAddresses OwnAddressesFor(int port, const std::string& publicUrl) {
    OwnAddresses own;
    for (const char* name : {"127.0.0.1", "localhost"}) {
        const std::string host = textutil::Format("%s:%d", name, port);
        own.hosts.insert(host);
        own.origins.insert("http://" + host);
        if (port == 80) {
            own.hosts.insert(name);
            own.origins.insert(std::string("http://") + name);
        }
    }
    const std::string url = textutil::ToLowerAscii(publicUrl);
    const size_t schemeEnd = url.find("://");
    if (schemeEnd != std::string::npos) {
        const std::string scheme = url.substr(0, schemeEnd);
        const size_t start = schemeEnd + 3;
        const std::string authority = url.substr(start, url.find_first_of("/?#", start) - start);
        const std::string defaultPort = scheme == "https" ? "443" : "80";
        if (!authority.empty()) {
            own.hosts.insert(authority);
            own.origins.insert(scheme + "://" + authority);
            const size_t colon = authority.rfind(':');
            const bool bracketed = authority.find(']') != std::string::npos;
            const bool hasPort = colon != std::string::npos && (!bracketed || colon > authority.find(']'));
            if (!hasPort) {
                own.hosts.insert(authority + ":" + defaultPort);
                own.origins.insert(scheme + "://" + authority + ":" + defaultPort);
            } else if (authority.substr(colon + 1) == defaultPort) {
                own.hosts.insert(authority.substr(0, colon));
                own.origins.insert(scheme + "://" + authority.substr(0, colon));
            }
        }
    }
    return own;
}

// POST <scan path>: the framed or plain scan document in, the XML reply out,
// framed when the request was.
class ScanEndpoint : public Endpoint {
public:
    using Answered = std::function<void(const ScanOutcome&)>;
    ScanEndpoint(std::string path, ScanService& service, Logger log, Answered answered)
        : path_(std::move(path)), service_(service), log_(std::move(log)), answered_(std::move(answered)) {}

    void Mount(httplib::Server& server) override {
        server.Post(path_, [this](const httplib::Request& req, httplib::Response& res) { Handle(req, res); });
        server.Get(path_, [](const httplib::Request&, httplib::Response& res) {
            res.set_header("Allow", "POST");
            Refuse(res, 405, "the scan service takes a POST of a scan document");
        });
    }

private:
    void Log(const std::string& line) const {
        if (log_) log_(line);
    }

    void Handle(const httplib::Request& req, httplib::Response& res) {
        // The agent sends its frame as "text/xml-compressed" and a plain
        // document with no content type; other types a web page could send
        // without the browser asking first (forms, text) are refused.
        const std::string type = MediaType(req.get_header_value("Content-Type"));
        const bool compressed = type == "text/xml-compressed";
        if (!compressed && !type.empty() && type != "text/xml" && type != "application/xml") {
            Log("scan: refused a request of type " + type);
            return Refuse(res, 415, "content type " + type + " is not accepted");
        }
        if (req.body.empty()) {
            Log("scan: refused an empty request");
            return Refuse(res, 400, "empty request");
        }
        std::string unpackedDocument;
        std::string_view document = req.body;
        if (compressed) {
            vnxml::UnpackedFrame unpacked = vnxml::UnpackFrame(req.body);
            if (!unpacked.ok()) {
                Log(std::string("scan: refused a frame: ") + vnxml::FrameErrorText(unpacked.error));
                return Refuse(res, 400, std::string("request frame cannot be unpacked: ") +
                                            vnxml::FrameErrorText(unpacked.error));
            }
            unpackedDocument = std::move(unpacked.body);
            document = unpackedDocument;
        }
        const ParsedRequest parsed = ParseScanRequest(document);
        if (!parsed.ok) {
            Log("scan: refused a document: " + parsed.error);
            return Refuse(res, parsed.tooLarge ? 413 : 400, "not a scan document: " + parsed.error);
        }
        const ScanOutcome outcome = service_.Handle(parsed.request);

        std::optional<std::string> frame;
        if (compressed) frame = vnxml::PackFrame(outcome.reply);
        if (frame) res.set_content(*frame, "text/xml-compressed");
        else res.set_content(outcome.reply, "text/xml");

        std::string line = textutil::Format("scan: %s machine=%s%s scan=%s", outcome.check ? "check" : "pre-scan",
                                            outcome.machineId.c_str(), outcome.newMachine ? " (new)" : "",
                                            outcome.scanId.c_str());
        if (outcome.check)
            line += textutil::Format(" items=%lld recognised=%lld outdated=%lld",
                                     static_cast<long long>(outcome.counts.items),
                                     static_cast<long long>(outcome.counts.recognised),
                                     static_cast<long long>(outcome.counts.outdated));
        if (outcome.refused) line += " refused";
        if (frame) line += " compressed";
        Log(line);
        if (answered_) answered_(outcome);
    }

    std::string path_;
    ScanService& service_;
    Logger log_;
    Answered answered_;
};

}  // namespace

UpdateService::UpdateService(ServiceOptions options, Logger log)
    : options_(std::move(options)), log_(std::move(log)) {
    store_ = std::make_unique<ServiceStore>(options_.database);
    std::vector<std::string> seeds;
    for (const std::string& path : options_.seeds) seeds.push_back(ReadFile(path));
    auto lock = store_->Lock();
    if (seeds.empty() && store_->ProductCount() == 0 && !options_.defaultSeed.empty())
        seeds.push_back(ReadFile(options_.defaultSeed));
    if (!seeds.empty()) store_->ReplaceCatalogue(seeds);
}

UpdateService::~UpdateService() { Stop(); }

int UpdateService::Bind() {
    server_ = std::make_unique<RoutedServer>();
    server_->set_payload_max_length(kMaxRequestBytes);
    ConnectionLimits limits = options_.connections;
    limits.replyBytesPerSecond = options_.downloadBytesPerSecond;
    limits.maxBodyBytes = std::min(limits.maxBodyBytes, kMaxRequestBytes);
    front_ = std::make_unique<HttpFront>(*server_, limits, log_);
    port_ = front_->Bind(kBindAddress, options_.port);
    publicUrl_ = options_.publicUrl.empty() ? textutil::Format("http://%s:%d", kBindAddress, port_) : options_.publicUrl;

    // Checks that hold for every route, before the body is read.
    server_->set_pre_routing_handler([this, own = OwnAddressesFor(port_, publicUrl_)](const httplib::Request& req,
                                                                                    httplib::Response& res) {
        const std::string host = textutil::ToLowerAscii(req.get_header_value("Host"));
        if (!own.hosts.count(host)) {
            if (log_) log_("refused a request for host " + host);
            Refuse(res, 421, "this service does not answer for host " + host);
            return httplib::Server::HandlerResponse::Handled;
        }
        // Browsers name the page that sends a request; the agent never does.
        if (req.has_header("Origin") && !own.origins.count(textutil::ToLowerAscii(req.get_header_value("Origin")))) {
            if (log_) log_("refused a request from origin " + req.get_header_value("Origin"));
            Refuse(res, 403, "requests from other origins are not accepted");
            return httplib::Server::HandlerResponse::Handled;
        }
        // The size limit applies to the bytes received; a body with a content
        // encoding would be inflated by the HTTP layer before any limit
        // applies. Agents never send one, so it is refused before the body is read.
        const std::string encoding = req.get_header_value("Content-Encoding");
        if (!encoding.empty() && !textutil::EqualsNoCase(encoding, "identity")) {
            Refuse(res, 415, "content encodings are not accepted");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server_->set_exception_handler([this](const httplib::Request& req, httplib::Response& res, std::exception_ptr ep) {
        std::string what = "unknown error";
        try {
            std::rethrow_exception(ep);
        } catch (const std::exception& e) {
            what = e.what();
        } catch (...) {
        }
        if (log_) log_("error: " + req.method + " " + req.path + ": " + what);
        Refuse(res, 500, "internal error");
    });


    scans_ = std::make_unique<ScanService>(*store_, publicUrl_);
    scans_->SetReportDelay(options_.reportDelayMs);
    // After a check: the page's address for whoever runs the service, then,
    // when asked for, a slow reply (outside the store's lock).
    const auto answered = [this](const ScanOutcome& outcome) {
        if (!outcome.check || outcome.refused) return;
        if (notice_ && !outcome.homepage.empty())
            notice_(textutil::Format("machine page: %s (%lld items, %lld out of date)", outcome.homepage.c_str(),
                                     static_cast<long long>(outcome.counts.items),
                                     static_cast<long long>(outcome.counts.outdated)));
        if (options_.replyDelayMs > 0) Pause(options_.replyDelayMs);
    };
    endpoints_.push_back(std::make_unique<ScanEndpoint>(options_.scanPath, *scans_, log_, answered));
    endpoints_.push_back(std::make_unique<ReportEndpoint>(*store_, log_));
    endpoints_.push_back(std::make_unique<PageEndpoint>(*store_, publicUrl_));
    endpoints_.push_back(std::make_unique<DownloadEndpoint>(options_.downloadsFolder, log_));
    endpoints_.push_back(std::make_unique<CatalogueEndpoint>(*store_, publicUrl_, log_));
    for (const auto& endpoint : endpoints_) endpoint->Mount(*server_);
    return port_;
}

bool UpdateService::Run() { return front_ && front_->Run(); }

void UpdateService::Stop() {
    {
        std::lock_guard<std::mutex> guard(stopMutex_);
        stopping_ = true;
    }
    stopSignal_.notify_all();
    if (front_) front_->Stop();
}

void UpdateService::Pause(int64_t ms) {
    std::unique_lock<std::mutex> guard(stopMutex_);
    stopSignal_.wait_for(guard, std::chrono::milliseconds(ms), [this] { return stopping_; });
}

bool ApplyUserLinks(ServiceStore& store, const std::vector<std::string>& links, std::string& out) {
    auto lock = store.Lock();
    Transaction tx(store.Db());
    for (const std::string& link : links) {
        const size_t eq = link.find('=');
        const std::string machine = link.substr(0, eq), user = eq == std::string::npos ? "" : link.substr(eq + 1);
        if (eq == std::string::npos || !store.SetUserLink(machine, user)) {
            out += "no machine " + machine + " in the database\n";
            return false;  // nothing is applied
        }
        out += user.empty() ? "machine " + machine + " is linked to no user\n"
                            : "machine " + machine + " is linked to user " + user + "\n";
    }
    tx.Commit();
    return true;
}

bool UpdateService::IsRunning() const { return front_ && front_->IsRunning(); }

}  // namespace vnservice
