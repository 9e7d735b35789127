// The service's connection layer: it accepts connections itself, reads each
// request whole (head and body) under firm limits before any worker sees it,
// and only then hands it to the HTTP server's routing and handlers.
//
// Why not the HTTP library's own loop: its workers block on a connection
// from the first byte, with a time-out per read but none per request, and
// its queue is unbounded, so a few clients sending one byte a second (or
// many sending nothing) occupy every worker. Here one event thread reads all
// connections without blocking; a worker only runs for a request that has
// fully arrived, so slow and idle clients cost a connection slot and nothing
// else, and every request has one deadline from its first byte to its last.
//
// What the layer enforces, for every route:
// - a deadline for the whole request (head and body): past it the client gets
//   408 and the connection is closed;
// - the head's size and number of lines (431), the body's size whatever its
//   encoding, chunked included (413), and a body framing it can trust
//   (both Content-Length and Transfer-Encoding, or any encoding other than
//   chunked, get 400);
// - the number of connections in all and per client address, the number of
//   complete requests waiting for a worker, and the bytes held for requests
//   in all (503 past any of them; at the total, the oldest connection still
//   sending its request is dropped to make room);
// - one request per connection: the reply says "Connection: close", and a
//   client that half-closes after sending still gets it.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

namespace vnservice {

struct ConnectionLimits {
    // From a connection's acceptance to the last byte of its request.
    std::chrono::milliseconds requestDeadline{10000};
    // For each write of the reply: a reply that stops moving for this long is
    // dropped (a long download that keeps moving is not).
    std::chrono::milliseconds writeDeadline{10000};
    size_t maxHeadBytes = 32 * 1024;  // request line, headers and chunked trailers
    size_t maxHeadLines = 100;
    size_t maxBodyBytes = 16u * 1024u * 1024u;  // after removing any chunked framing
    size_t maxConnections = 512;
    size_t maxConnectionsPerAddress = 64;
    size_t maxQueuedRequests = 64;
    size_t maxBufferedBytes = 256u * 1024u * 1024u;
    size_t workers = 4;
    // Replies are sent at most this fast (bytes per second; 0 no limit): a
    // slow service, for tests and screenshots of long transfers.
    uint64_t replyBytesPerSecond = 0;
};

// The HTTP server whose routes and handlers answer the requests the front has
// read: endpoints mount their routes on it as on any httplib::Server.
class RoutedServer : public httplib::Server {
public:
    // Parses one request from `stream`, runs its route and writes the reply
    // with "Connection: close".
    bool Process(httplib::Stream& stream);
};

using FrontLogger = std::function<void(const std::string& line)>;

class HttpFront {
public:
    // `server` holds the routes and handlers; it must outlive the front.
    HttpFront(RoutedServer& server, ConnectionLimits limits, FrontLogger log = {});
    ~HttpFront();
    HttpFront(const HttpFront&) = delete;
    HttpFront& operator=(const HttpFront&) = delete;

    // Listens on address:port (0 picks a free port); the port bound. Throws
    // std::runtime_error when the address cannot be bound.
    int Bind(const std::string& address, int port);
    // Serves until Stop(); false when the loop failed. A Stop() asked for
    // before Run() makes Run() return at once.
    bool Run();
    void Stop();
    bool IsRunning() const { return running_; }

    struct Connection;

private:
    void Accept();
    void ReadFrom(Connection& c);
    void Advance(Connection& c);
    void Reply(Connection& c, int status, const std::string& text);
    void Drain(Connection& c);
    void Enqueue(std::unique_ptr<Connection> c);
    void Work();
    void Serve(Connection& c);
    void Close(int fd);
    void Release(const std::string& address);
    void ExpireDeadlines();
    void TakeReturned();
    void Log(const std::string& line) const;

    RoutedServer& server_;
    ConnectionLimits limits_;
    FrontLogger log_;
    int listenFd_ = -1;
    int epollFd_ = -1;
    int wakeFd_ = -1;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    std::atomic<size_t> buffered_{0};

    // Connections the event thread reads or drains, by socket.
    std::map<int, std::unique_ptr<Connection>> reading_;

    // Open connections per client address (event thread and workers).
    std::mutex addressesMutex_;
    std::map<std::string, size_t> addresses_;
    size_t open_ = 0;

    // Complete requests waiting for a worker.
    std::mutex queueMutex_;
    std::condition_variable queueReady_;
    std::deque<std::unique_ptr<Connection>> queue_;
    bool queueClosed_ = false;
    std::vector<std::thread> workers_;

    // Answered connections handed back to the event thread for a graceful close.
    std::mutex returnedMutex_;
    std::vector<std::unique_ptr<Connection>> returned_;
};

}  // namespace vnservice
