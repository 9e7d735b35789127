#include "secure_random.h"

#include <sys/random.h>

#include <cerrno>
#include <stdexcept>
#include <vector>

namespace vnservice {

std::string RandomHex(size_t bytes) {
    std::vector<unsigned char> raw(bytes);
    size_t filled = 0;
    while (filled < bytes) {
        const ssize_t got = getrandom(raw.data() + filled, bytes - filled, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error("the system's random source failed");
        }
        filled += static_cast<size_t>(got);
    }
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
