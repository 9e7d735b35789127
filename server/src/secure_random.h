// Unguessable identifiers for the service: bytes from the operating system's
// random source, written as lower-case hexadecimal.
#pragma once

#include <cstddef>
#include <string>

namespace vnservice {

// `bytes` random bytes from getrandom(2) as 2 * bytes lower-case hex digits.
// Throws std::runtime_error when the system cannot supply them.
std::string RandomHex(size_t bytes);

}  // namespace vnservice
