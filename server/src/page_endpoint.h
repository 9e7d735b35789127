// The service's web pages, plain HTML and CSS rendered on the server:
//
//   GET /my/<machineId>?token=<token>   the machine's page: its programs from
//                                       the latest processed scan, out of date
//                                       first, then up to date, unrecognised,
//                                       drivers, and its recent scans
//   GET /welcome/[?machineId=&token=]   the first-run page
//   GET /help/                          what the agent does, what it sends,
//                                       how to remove it
//
// A machine page opens only with the token issued with the machine's
// identifier; a missing or wrong token, or an unknown machine, gets the same
// 404. Other query parameters (the agent adds "tag=client") are ignored.
#pragma once

#include <string>

#include "service_store.h"
#include "update_service.h"

namespace vnservice {

class PageEndpoint : public Endpoint {
public:
    PageEndpoint(ServiceStore& store, std::string publicUrl);
    void Mount(httplib::Server& server) override;

    // The pages as text, for the handlers (and for tests that need no server).
    // Nothing when the machine is unknown or the token does not open it.
    std::optional<std::string> MachinePage(const std::string& machineId, const std::string& token);
    std::string WelcomePage(const std::string& machineId, const std::string& token);
    static std::string HelpPage();

private:
    // True when `token` opens the page of `machineId` (a machine that exists).
    bool Opens(const std::string& machineId, const std::string& token);

    ServiceStore& store_;
    std::string publicUrl_;
};

}  // namespace vnservice
