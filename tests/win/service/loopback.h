// The loopback servers of the transport tests (started by CTest, see
// loopback_servers.sh): their ports, addresses on them, a closed port, and
// the documents of the service's own tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "common/wine.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/win/win.h"
// Winsock 2 after windows.h, which (lean) does not bring in the old winsock.h.
#include <winsock2.h>

namespace testing_transport {

// A Linux path as Wine's Z: drive shows it.
using testing_wine::WindowsPathOf;

// The port on the given line of the file that the environment variable
// names, or nothing when the variable is not set (no host build, so no servers).
inline std::optional<int> PortFrom(const char* variable, int line = 0) {
    const char* file = std::getenv(variable);
    if (!file || !*file) return std::nullopt;
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (std::optional<std::string> text = platform::ReadWholeFile(WindowsPathOf(file))) {
            size_t at = 0;
            for (int i = 0; i < line && at != std::string::npos; ++i) {
                at = text->find('\n', at);
                if (at != std::string::npos) ++at;
            }
            const int port = at == std::string::npos ? 0 : std::atoi(text->c_str() + at);
            if (port > 0) return port;
        }
        Sleep(100);
    }
    return std::nullopt;
}

inline std::optional<int> ServicePort() { return PortFrom("VARNEL_SERVICE_PORT_FILE"); }
inline std::optional<int> ResponderPort() { return PortFrom("VARNEL_RESPONDER_PORT_FILE"); }
// The responder's raw listener, which keeps the first bytes of a connection
// and closes it (the second line of its port file).
inline std::optional<int> RawListenerPort() { return PortFrom("VARNEL_RESPONDER_PORT_FILE", 1); }

inline std::string Url(int port, const std::string& path, const char* scheme = "http") {
    return textutil::Format("%s://127.0.0.1:%d%s", scheme, port, path.c_str());
}

// A loopback port that nothing listens on: one the system just handed out
// and that was closed again at once.
inline int ClosedPort() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return 1;
    int port = 1;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s != INVALID_SOCKET) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        int size = sizeof address;
        if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port = ntohs(address.sin_port);
        closesocket(s);
    }
    WSACleanup();
    return port;
}

// A document of the reference service's tests.
inline std::string ServiceDocument(const std::string& name) {
    return platform::ReadWholeFile(WindowsPathOf(std::string(VARNEL_SOURCE_DIR) + "/server/tests/data/" + name))
        .value_or(std::string());
}

}  // namespace testing_transport

#define VARNEL_REQUIRE_PORT(var, expr)                                                      \
    const std::optional<int> var##Opt = (expr);                                            \
    if (!var##Opt) GTEST_SKIP() << "the loopback servers run only with a host build";      \
    const int var = *var##Opt
