// REST requests over MSXML: a GET through the XMLHTTP 3.0 request object,
// given up after a time limit, the reply loaded into a DOM document and
// queried with XPath.
#pragma once

#include <chrono>
#include <memory>

#include "service/rest_session.h"

namespace vnxml {

// Sessions that initialise COM for their thread and keep one request object,
// created on first use and dropped after any COM error or a request given up,
// so that the next request creates a new one. A request without its whole
// reply after `requestLimit` is given up (as having failed).
inline constexpr std::chrono::milliseconds kRestRequestLimit{30'000};
std::shared_ptr<IRestSessionFactory> MakeMsxmlRestSessions(std::chrono::milliseconds requestLimit = kRestRequestLimit);

}  // namespace vnxml
