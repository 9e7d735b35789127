// An update service for the tests that talk to it over loopback HTTP: serving
// on a free port on a thread of its own, stopped and joined when destroyed.
#pragma once

#include <chrono>
#include <string>
#include <thread>

#include "update_service.h"

namespace vnservice {

// Options for a test service: a free port, a database in memory and the
// seed catalogue.
inline ServiceOptions TestServiceOptions() {
    ServiceOptions options;
    options.port = 0;
    options.database = ":memory:";
    options.seeds = {std::string(VARNEL_SOURCE_DIR) + "/server/seed/catalog.sql"};
    return options;
}

class RunningService {
public:
    explicit RunningService(const ServiceOptions& options) : service_(options) {}
    ~RunningService() {
        if (!runner_.joinable()) return;
        service_.Stop();
        runner_.join();
    }
    RunningService(const RunningService&) = delete;
    RunningService& operator=(const RunningService&) = delete;

    // Binds and serves; true once the service accepts connections (it is
    // given 5 s). Whatever must be set before it runs, such as its notice
    // sink, is set on Service() first.
    bool Start() {
        service_.Bind();
        runner_ = std::thread([this] { service_.Run(); });
        for (int i = 0; i < 5000 && !service_.IsRunning(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return service_.IsRunning();
    }

    UpdateService& Service() { return service_; }

private:
    UpdateService service_;
    std::thread runner_;
};

}  // namespace vnservice
