// What the scan engine needs from the operating system beyond the scanners
// and the exchange: whether the computer is connected, COM for the worker
// thread, and the shell opening a web page. Windows answers with
// InternetGetConnectedState, CoInitialize and ShellExecute; the host stand-in
// is always connected and opens nothing. Tests install their own.
#pragma once

#include <memory>
#include <string>

namespace engine {

class IEngineSystem {
public:
    virtual ~IEngineSystem() = default;
    // Connected means InternetGetConnectedState answered exactly 1.
    virtual bool IsConnected() = 0;
    // COM for the calling thread (apartment model). True when it must be
    // released with EndThreadCom on the same thread.
    virtual bool BeginThreadCom() = 0;
    virtual void EndThreadCom() = 0;
    // Opens the address in the user's browser.
    virtual void OpenUrl(const std::string& url) = 0;
};

// The process's engine system (the platform's unless another was installed).
IEngineSystem& EngineSystem();
// Replaces it (nullptr restores the platform's) and hands back the one it
// replaced. For tests.
std::unique_ptr<IEngineSystem> InstallEngineSystem(std::unique_ptr<IEngineSystem> system);
std::unique_ptr<IEngineSystem> MakeDefaultEngineSystem();

// COM for the lifetime of a scope on the calling thread.
class ThreadCom {
public:
    explicit ThreadCom(IEngineSystem& system) : system_(system), held_(system.BeginThreadCom()) {}
    ~ThreadCom() {
        if (held_) system_.EndThreadCom();
    }
    ThreadCom(const ThreadCom&) = delete;
    ThreadCom& operator=(const ThreadCom&) = delete;

private:
    IEngineSystem& system_;
    bool held_;
};

}  // namespace engine
