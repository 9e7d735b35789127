#include "secure_random.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <vector>

namespace vnservice {
namespace {

bool FillFromUrandom(unsigned char* out, size_t size) {
    const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, out + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    return got == size;
}

void Fill(unsigned char* out, size_t size) {
    size_t got = 0;
    while (got < size) {
        const ssize_t n = ::getrandom(out + got, size - got, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == ENOSYS) {
            if (FillFromUrandom(out + got, size - got)) return;
            break;
        }
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    if (got < size) throw std::runtime_error("the system's random source cannot be read");
}

}  // namespace

std::string RandomHex(size_t bytes) {
    std::vector<unsigned char> raw(bytes);
    if (bytes) Fill(raw.data(), bytes);
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes * 2);
    for (unsigned char b : raw) {
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
    }
    return out;
}

}  // namespace vnservice
