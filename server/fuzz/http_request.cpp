// The service's handling of a request as a whole, as a client's bytes come
// in: the connection layer's reader (head, Content-Length or chunked body,
// trailers, its limits), then the routes (Host and Origin checks, content
// types, the frame, the scan document, the store) and the reply. Whatever
// the bytes, the reader must end in a whole request or a refusal it can
// explain, and a whole request must get an HTTP reply.
//
// The first byte of an input sets the size of the pieces the rest arrives
// in, so that the reader is driven across every boundary.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "request_reader.h"
#include "update_service.h"

namespace {

// A request held in memory, its reply gathered in memory.
class MemoryStream : public httplib::Stream {
public:
    explicit MemoryStream(const std::string& request) : in_(request) {}

    bool is_readable() const override { return at_ < in_.size(); }
    bool is_writable() const override { return true; }
    ssize_t read(char* ptr, size_t size) override {
        const size_t n = std::min(size, in_.size() - at_);
        std::memcpy(ptr, in_.data() + at_, n);
        at_ += n;
        return static_cast<ssize_t>(n);
    }
    ssize_t write(const char* ptr, size_t size) override {
        out.append(ptr, size);
        return static_cast<ssize_t>(size);
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        ip = "127.0.0.1";
        port = 50000;
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        ip = "127.0.0.1";
        port = 8080;
    }
    socket_t socket() const override { return INVALID_SOCKET; }

    std::string out;

private:
    const std::string& in_;
    size_t at_ = 0;
};

std::unique_ptr<vnservice::UpdateService> service;
size_t runs = 0;

// A fresh service on an in-memory store with the seed catalogue. Renewed now
// and then, so that the machines the fuzzer's checks add do not pile up.
void StartService() {
    service.reset();
    vnservice::ServiceOptions options;
    options.port = 0;
    options.database = ":memory:";
    options.defaultSeed = VARNEL_SERVICE_SEED;
    options.publicUrl = "http://varnel.test";
    options.quiet = true;
    service = std::make_unique<vnservice::UpdateService>(options);
    service->Bind();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartService();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if (++runs % 20000 == 0) StartService();
    const size_t piece = 1 + data[0] % 128;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    vnservice::RequestReader reader;
    std::string received;
    vnservice::RequestReader::Step step = vnservice::RequestReader::Step::kMore;
    for (size_t at = 0; at < bytes.size() && step == vnservice::RequestReader::Step::kMore; at += piece) {
        received.append(bytes.substr(at, piece));
        step = reader.Advance(received);
        reader.TakeContinue();
    }
    switch (step) {
        case vnservice::RequestReader::Step::kMore: return 0;  // the client would still be sending
        case vnservice::RequestReader::Step::kRefused: {
            const int status = reader.Status();
            if ((status != 400 && status != 413 && status != 431) || reader.Refusal().empty()) std::abort();
            return 0;
        }
        case vnservice::RequestReader::Step::kWhole: break;
    }
    if (received.size() > bytes.size()) std::abort();
    MemoryStream stream(received);
    service->Routes().Process(stream);
    if (stream.out.compare(0, 9, "HTTP/1.1 ") != 0) std::abort();
    return 0;
}
