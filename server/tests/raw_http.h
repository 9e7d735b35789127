// A bare TCP client for tests that must send what no HTTP library would:
// requests byte by byte, half-closed connections, endless headers.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace rawhttp {

// A connection to 127.0.0.1:port from the loopback address `from` (any
// 127.x.y.z), so that tests can act as several client addresses.
class Socket {
public:
    Socket(int port, const char* from = "127.0.0.1") {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        inet_pton(AF_INET, from, &local.sin_addr);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(static_cast<uint16_t>(port));
        inet_pton(AF_INET, "127.0.0.1", &sa.sin_addr);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
    }
    ~Socket() {
        if (fd_ >= 0) ::close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool Connected() const { return connected_; }

    // False once the peer no longer takes data.
    bool Send(const std::string& data) {
        size_t sent = 0;
        while (sent < data.size()) {
            const ssize_t n = ::send(fd_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return false;
            sent += static_cast<size_t>(n);
        }
        return true;
    }
    void HalfClose() { ::shutdown(fd_, SHUT_WR); }

    // What arrives until the peer closes or `wait` passes.
    std::string Receive(std::chrono::milliseconds wait) {
        std::string out;
        const auto until = std::chrono::steady_clock::now() + wait;
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            char buf[16384];
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0) break;
            out.append(buf, static_cast<size_t>(n));
        }
        return out;
    }

private:
    int fd_ = -1;
    bool connected_ = false;
};

// The status code of a reply ("HTTP/1.1 413 ..."), or 0.
inline int StatusOf(const std::string& reply) {
    if (reply.compare(0, 5, "HTTP/") != 0) return 0;
    const size_t space = reply.find(' ');
    return space == std::string::npos ? 0 : std::atoi(reply.c_str() + space + 1);
}

inline std::string BodyOf(const std::string& reply) {
    const size_t end = reply.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : reply.substr(end + 4);
}

// A POST head for the scan path on `port`, with the given extra header lines.
inline std::string PostHead(int port, const std::string& path, const std::string& extra) {
    return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n" + extra + "\r\n";
}

}  // namespace rawhttp
