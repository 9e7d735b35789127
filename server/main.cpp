// varnel-service: the reference update service that the agent talks to in
// development and in tests. See "varnel-service --help".
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <thread>

#include "update_service.h"

int main(int argc, char** argv) {
    using namespace vnservice;
    const CommandLine cl = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!cl.ok) {
        std::cerr << "varnel-service: " << cl.error << "\n" << kUsage;
        return 2;
    }
    if (cl.help) {
        std::cout << kUsage;
        return 0;
    }
    ServiceOptions options = cl.options;
    options.defaultSeed = VARNEL_SERVICE_DEFAULT_SEED;

    if (!options.userLinks.empty()) {
        // An operator's command on the database; no serving.
        try {
            ServiceStore store(options.database);
            std::string out;
            const bool ok = ApplyUserLinks(store, options.userLinks, out);
            (ok ? std::cout : std::cerr) << out;
            return ok ? 0 : 1;
        } catch (const std::exception& e) {
            std::cerr << "varnel-service: " << e.what() << "\n";
            return 1;
        }
    }

    // SIGINT and SIGTERM are taken by one waiting thread, which stops the
    // server; no handler runs inside the server's threads.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    Logger log;
    if (!options.quiet) log = [](const std::string& line) { std::cerr << "varnel-service: " << line << std::endl; };

    try {
        UpdateService service(options, log);
        service.SetNotice([](const std::string& line) { std::cout << line << std::endl; });
        const int port = service.Bind();
        {
            auto lock = service.Store().Lock();
            std::cout << "listening on " << service.PublicUrl() << " (scan service " << options.scanPath << ", "
                      << service.Store().ProductCount() << " products, database " << options.database << ")"
                      << std::endl;
        }
        if (!options.portFile.empty()) {
            std::ofstream out(options.portFile, std::ios::trunc);
            out << port << "\n";
            if (!out) throw std::runtime_error("cannot write " + options.portFile);
        }
        // A stop asked for before the server is listening would be lost (the
        // server ignores a stop until it runs), so the waiter repeats it until
        // the server has ended.
        std::atomic<bool> ended{false};
        std::thread waiter([&] {
            int signal = 0;
            sigwait(&stopSignals, &signal);
            while (!ended) {
                service.Stop();
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
        const bool ok = service.Run();
        ended = true;
        // Wakes the waiter when the server ended without a signal; a waiter
        // that has already returned ignores it.
        pthread_kill(waiter.native_handle(), SIGTERM);
        waiter.join();
        return ok ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "varnel-service: " << e.what() << "\n";
        return 1;
    }
}
