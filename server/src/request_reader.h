// Follows one HTTP request's framing over the bytes received so far, without
// a socket: the head, then a body of Content-Length bytes or of chunks and
// trailers, each under the connection layer's limits. The connection layer
// feeds it what each read brings; the fuzz target feeds it in pieces.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

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

class RequestReader {
public:
    explicit RequestReader(const ConnectionLimits& limits = ConnectionLimits()) : limits_(limits) {}

    enum class Step {
        kMore,     // the request is not whole yet
        kWhole,    // the request is whole: `data` has been cut to it
        kRefused,  // Status() and Refusal() say why
    };
    // Reads on in `data`, every byte received so far (the same string each
    // time, grown by what came since).
    Step Advance(std::string& data);

    int Status() const { return status_; }
    const std::string& Refusal() const { return refusal_; }
    // True once, when the head asked for "100-continue" and no byte of the
    // body had come with it: the client waits for the interim reply.
    bool TakeContinue() {
        const bool send = sendContinue_;
        sendContinue_ = false;
        return send;
    }

private:
    enum class State { Head, Length, Chunked, Trailers };
    Step Refuse(int status, const char* text);

    ConnectionLimits limits_;
    State state_ = State::Head;
    size_t scan_ = 0;       // where parsing goes on in the data
    size_t headStart_ = 0;  // where the head (or the trailers) began
    size_t headLines_ = 0;  // lines of the head (or the trailers) so far
    size_t bodyStart_ = 0;
    size_t bodyLength_ = 0;   // Content-Length
    size_t bodyDecoded_ = 0;  // chunked: payload bytes so far
    bool sendContinue_ = false;
    int status_ = 0;
    std::string refusal_;
};

}  // namespace vnservice
