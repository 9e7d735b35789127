// Random identifiers from the operating system's random source. Machine
// identifiers are the only credential a machine has, and page tokens grant
// access to a machine's pages, so they must not be guessable: never derive
// them from a seeded generator.
#pragma once

#include <cstddef>
#include <string>

namespace vnservice {

// `bytes` bytes from getrandom(2) (or /dev/urandom where that is missing), as
// lower-case hexadecimal text of twice that length. Throws std::runtime_error
// when the random source cannot be read.
std::string RandomHex(size_t bytes);

}  // namespace vnservice
