// Base64 (RFC 4648, standard alphabet, "=" padding) in one line, without
// line breaks: the form in which icons travel in the scan document.
#pragma once

#include <string>
#include <string_view>

namespace fileid {

std::string Base64Encode(std::string_view bytes);

}  // namespace fileid
