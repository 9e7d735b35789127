#include "http_front.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace vnservice {

using Clock = std::chrono::steady_clock;

namespace {

// How long an answered or refused connection is kept open to read what the
// client still sends, so that closing it does not reset the connection
// before the client has read its reply.
constexpr std::chrono::milliseconds kLinger{1000};
constexpr size_t kReadBlock = 64 * 1024;
const char* Reason(int status) {
    switch (status) {
        case 400: return "Bad Request";
        case 408: return "Request Timeout";
        case 413: return "Payload Too Large";
        case 431: return "Request Header Fields Too Large";
        case 503: return "Service Unavailable";
        default: return "Error";
    }
}

void AddressOf(const sockaddr_storage& sa, std::string& ip, int& port) {
    char buf[INET6_ADDRSTRLEN] = {};
    if (sa.ss_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(&sa);
        inet_ntop(AF_INET, &in->sin_addr, buf, sizeof buf);
        port = ntohs(in->sin_port);
    } else if (sa.ss_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&sa);
        inet_ntop(AF_INET6, &in6->sin6_addr, buf, sizeof buf);
        port = ntohs(in6->sin6_port);
    }
    ip = buf;
}

// Sends what it can without waiting: for the short refusals written by the
// event thread, which fit in any socket buffer.
void SendNow(int fd, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

}  // namespace

struct HttpFront::Connection {
    int fd = -1;
    std::string address;
    int port = 0;
    std::string localAddress;
    int localPort = 0;
    Clock::time_point accepted;
    Clock::time_point deadline;
    std::string data;  // the request's bytes as received
    size_t counted = 0;  // bytes of `data` counted against the shared budget
    RequestReader reader;
    bool draining = false;  // answered or refused: read only to close gracefully
    HttpFront* front = nullptr;

    ~Connection() {
        if (front) front->buffered_ -= counted;
    }
};

bool RoutedServer::Process(httplib::Stream& stream) {
    bool closed = false;
    return process_request(stream, true, closed, nullptr);
}

namespace {

// A request read whole by the front: httplib reads it from memory and writes
// its reply to the socket, within the write deadline.
class BufferedStream : public httplib::Stream {
public:
    // The reply must make progress: each write has `writeLimit` to go out,
    // and the time left restarts after every write that went out whole, so a
    // long download runs as long as the client keeps reading.
    // With `bytesPerSecond` the reply goes out in small pieces at that rate.
    BufferedStream(const HttpFront::Connection& c, std::chrono::milliseconds writeLimit, uint64_t bytesPerSecond)
        : c_(c), writeLimit_(writeLimit), writeDeadline_(Clock::now() + writeLimit), bytesPerSecond_(bytesPerSecond) {}

    bool is_readable() const override { return at_ < c_.data.size(); }
    bool is_writable() const override { return Clock::now() < writeDeadline_; }

    ssize_t read(char* ptr, size_t size) override {
        const size_t n = std::min(size, c_.data.size() - at_);
        std::memcpy(ptr, c_.data.data() + at_, n);
        at_ += n;
        return static_cast<ssize_t>(n);
    }

    ssize_t write(const char* ptr, size_t size) override {
        size_t sent = 0;
        while (sent < size) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(writeDeadline_ - Clock::now());
            if (left.count() <= 0) return -1;
            pollfd p{c_.fd, POLLOUT, 0};
            const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) return -1;
            const size_t piece = bytesPerSecond_ ? std::min<size_t>(size - sent, kThrottlePiece) : size - sent;
            const ssize_t n = ::send(c_.fd, ptr + sent, piece, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
            if (n <= 0) return -1;
            sent += static_cast<size_t>(n);
            if (bytesPerSecond_) {
                std::this_thread::sleep_for(
                    std::chrono::microseconds(static_cast<uint64_t>(n) * 1000000 / bytesPerSecond_));
                writeDeadline_ = Clock::now() + writeLimit_;
            }
        }
        writeDeadline_ = Clock::now() + writeLimit_;
        return static_cast<ssize_t>(size);
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        ip = c_.address;
        port = c_.port;
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        ip = c_.localAddress;
        port = c_.localPort;
    }
    socket_t socket() const override { return c_.fd; }

private:
    const HttpFront::Connection& c_;
    static constexpr size_t kThrottlePiece = 4096;
    std::chrono::milliseconds writeLimit_;
    Clock::time_point writeDeadline_;
    uint64_t bytesPerSecond_;
    size_t at_ = 0;
};

}  // namespace

HttpFront::HttpFront(RoutedServer& server, ConnectionLimits limits, FrontLogger log)
    : server_(server), limits_(limits), log_(std::move(log)) {}

HttpFront::~HttpFront() {
    Stop();
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        queueClosed_ = true;
    }
    queueReady_.notify_all();
    for (std::thread& t : workers_)
        if (t.joinable()) t.join();
    reading_.clear();
    returned_.clear();
    queue_.clear();
    if (listenFd_ >= 0) ::close(listenFd_);
    if (epollFd_ >= 0) ::close(epollFd_);
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

void HttpFront::Log(const std::string& line) const {
    if (log_) log_(line);
}

int HttpFront::Bind(const std::string& address, int port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1)
        throw std::runtime_error("not an IPv4 address: " + address);
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) throw std::runtime_error("cannot open a socket");
    const int yes = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(listenFd_, 128) != 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        throw std::runtime_error("cannot listen on " + address + ":" + std::to_string(port));
    }
    socklen_t len = sizeof sa;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&sa), &len);

    epollFd_ = ::epoll_create1(EPOLL_CLOEXEC);
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (epollFd_ < 0 || wakeFd_ < 0) throw std::runtime_error("cannot create the event loop");
    for (int fd : {listenFd_, wakeFd_}) {
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.fd = fd;
        ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, fd, &ev);
    }
    return ntohs(sa.sin_port);
}

void HttpFront::Stop() {
    stop_ = true;
    if (wakeFd_ >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
    }
}

bool HttpFront::Run() {
    if (listenFd_ < 0) return false;
    for (size_t i = 0; i < std::max<size_t>(1, limits_.workers); ++i) workers_.emplace_back([this] { Work(); });
    running_ = true;
    epoll_event events[64];
    bool ok = true;
    while (!stop_) {
        // Deadlines are checked at least this often.
        const int n = ::epoll_wait(epollFd_, events, 64, 50);
        if (n < 0 && errno != EINTR) {
            ok = false;
            break;
        }
        for (int i = 0; i < n; ++i) {
            const int fd = events[i].data.fd;
            if (fd == wakeFd_) {
                uint64_t count;
                [[maybe_unused]] const ssize_t r = ::read(wakeFd_, &count, sizeof count);
            } else if (fd == listenFd_) {
                Accept();
            } else if (auto it = reading_.find(fd); it != reading_.end()) {
                ReadFrom(*it->second);
            }
        }
        TakeReturned();
        ExpireDeadlines();
    }
    running_ = false;
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        queueClosed_ = true;
    }
    queueReady_.notify_all();
    for (std::thread& t : workers_)
        if (t.joinable()) t.join();
    workers_.clear();
    for (auto& [fd, c] : reading_) Close(fd);
    reading_.clear();
    TakeReturned();
    return ok;
}

void HttpFront::Close(int fd) {
    if (fd < 0) return;
    ::epoll_ctl(epollFd_, EPOLL_CTL_DEL, fd, nullptr);
    ::close(fd);
}

void HttpFront::Release(const std::string& address) {
    std::lock_guard<std::mutex> lock(addressesMutex_);
    if (auto it = addresses_.find(address); it != addresses_.end() && --it->second == 0) addresses_.erase(it);
    --open_;
}

void HttpFront::Accept() {
    for (;;) {
        sockaddr_storage peer{};
        socklen_t len = sizeof peer;
        const int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            // Out of descriptors: wait a little rather than spin on the
            // listening socket, which stays readable until some close.
            if (errno == EMFILE || errno == ENFILE) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            return;
        }
        auto c = std::make_unique<Connection>();
        c->fd = fd;
        c->front = this;
        c->reader = RequestReader(limits_);
        AddressOf(peer, c->address, c->port);
        sockaddr_storage local{};
        len = sizeof local;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &len);
        AddressOf(local, c->localAddress, c->localPort);
        c->accepted = Clock::now();
        c->deadline = c->accepted + limits_.requestDeadline;

        bool full = false, crowded = false;
        {
            std::lock_guard<std::mutex> lock(addressesMutex_);
            full = open_ >= limits_.maxConnections;
            crowded = addresses_[c->address] >= limits_.maxConnectionsPerAddress;
        }
        if (full && !crowded) {
            // Make room by dropping the connection that has been sending its
            // request the longest.
            Connection* oldest = nullptr;
            for (auto& [ofd, o] : reading_)
                if (!o->draining && (!oldest || o->accepted < oldest->accepted)) oldest = o.get();
            if (oldest) {
                Log("connection from " + oldest->address + " dropped to make room");
                const int ofd = oldest->fd;
                const std::string address = oldest->address;
                Close(ofd);
                reading_.erase(ofd);
                Release(address);
                full = false;
            }
        }
        {
            std::lock_guard<std::mutex> lock(addressesMutex_);
            ++addresses_[c->address];
            ++open_;
        }
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLRDHUP;
        ev.data.fd = fd;
        ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, fd, &ev);
        Connection& ref = *c;
        reading_[fd] = std::move(c);
        if (crowded || full) {
            Log("refused a connection from " + ref.address + ": too many connections");
            Reply(ref, 503, "too many connections");
        }
    }
}

void HttpFront::ReadFrom(Connection& c) {
    char block[kReadBlock];
    for (;;) {
        const ssize_t n = ::recv(c.fd, block, sizeof block, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (n <= 0) {
            // The client has gone (or half-closed before its request was whole).
            const int fd = c.fd;
            const std::string address = c.address;
            Close(fd);
            reading_.erase(fd);
            Release(address);
            return;
        }
        if (c.draining) continue;
        c.data.append(block, static_cast<size_t>(n));
        c.counted += static_cast<size_t>(n);
        if ((buffered_ += static_cast<size_t>(n)) > limits_.maxBufferedBytes) {
            Log("refused a request from " + c.address + ": too much held for requests");
            return Reply(c, 503, "the service is busy");
        }
        Advance(c);
        // A complete request has left the reading set, a refused one is draining.
        if (!reading_.count(c.fd) || c.draining) return;
    }
}

// Follows the request's framing over the bytes received so far; a whole
// request goes to the workers' queue.
void HttpFront::Advance(Connection& c) {
    const RequestReader::Step step = c.reader.Advance(c.data);
    if (c.reader.TakeContinue()) SendNow(c.fd, "HTTP/1.1 100 Continue\r\n\r\n");
    if (step == RequestReader::Step::kRefused) return Reply(c, c.reader.Status(), c.reader.Refusal());
    if (step != RequestReader::Step::kWhole) return;
    const int fd = c.fd;
    ::epoll_ctl(epollFd_, EPOLL_CTL_DEL, fd, nullptr);
    auto it = reading_.find(fd);
    std::unique_ptr<Connection> owned = std::move(it->second);
    reading_.erase(it);
    Enqueue(std::move(owned));
}

// Writes a short refusal and keeps the connection only to drain it.
void HttpFront::Reply(Connection& c, int status, const std::string& text) {
    const std::string body = text + "\n";
    SendNow(c.fd, "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) +
                      "\r\nContent-Type: text/plain\r\nConnection: close\r\nContent-Length: " +
                      std::to_string(body.size()) + "\r\n\r\n" + body);
    Drain(c);
}

void HttpFront::Drain(Connection& c) {
    ::shutdown(c.fd, SHUT_WR);
    c.draining = true;
    c.deadline = Clock::now() + kLinger;
    buffered_ -= c.counted;
    c.counted = 0;
    std::string().swap(c.data);
}

void HttpFront::Enqueue(std::unique_ptr<Connection> c) {
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        if (queue_.size() < limits_.maxQueuedRequests && !queueClosed_) {
            queue_.push_back(std::move(c));
            queueReady_.notify_one();
            return;
        }
    }
    Log("refused a request from " + c->address + ": too many requests waiting");
    epoll_event ev{};
    ev.events = EPOLLIN | EPOLLRDHUP;
    ev.data.fd = c->fd;
    ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, c->fd, &ev);
    Connection& ref = *c;
    reading_[c->fd] = std::move(c);
    Reply(ref, 503, "the service is busy");
}

void HttpFront::Work() {
    for (;;) {
        std::unique_ptr<Connection> c;
        {
            std::unique_lock<std::mutex> lock(queueMutex_);
            queueReady_.wait(lock, [&] { return queueClosed_ || !queue_.empty(); });
            if (queue_.empty()) return;
            c = std::move(queue_.front());
            queue_.pop_front();
        }
        Serve(*c);
        {
            std::lock_guard<std::mutex> lock(returnedMutex_);
            returned_.push_back(std::move(c));
        }
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
    }
}

void HttpFront::Serve(Connection& c) {
    BufferedStream stream(c, limits_.writeDeadline, limits_.replyBytesPerSecond);
    try {
        server_.Process(stream);
    } catch (const std::exception& e) {
        Log(std::string("error: ") + e.what());
    }
}

// Answered connections: closed gracefully by the event thread.
void HttpFront::TakeReturned() {
    std::vector<std::unique_ptr<Connection>> done;
    {
        std::lock_guard<std::mutex> lock(returnedMutex_);
        done.swap(returned_);
    }
    for (auto& c : done) {
        if (stop_) {
            Close(c->fd);
            Release(c->address);
            continue;
        }
        Drain(*c);
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLRDHUP;
        ev.data.fd = c->fd;
        ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, c->fd, &ev);
        reading_[c->fd] = std::move(c);
    }
}

void HttpFront::ExpireDeadlines() {
    const Clock::time_point now = Clock::now();
    std::vector<int> expired;
    for (auto& [fd, c] : reading_)
        if (c->deadline <= now) expired.push_back(fd);
    for (int fd : expired) {
        Connection& c = *reading_[fd];
        if (!c.draining) {
            Log("connection from " + c.address + " cut off: request not complete in time");
            Reply(c, 408, "request not complete in time");
            continue;
        }
        const std::string address = c.address;
        Close(fd);
        reading_.erase(fd);
        Release(address);
    }
}

}  // namespace vnservice
