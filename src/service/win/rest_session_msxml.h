// REST requests over MSXML: a synchronous GET through the XMLHTTP 3.0 request
// object, the reply loaded into a DOM document and queried with XPath.
#pragma once

#include <memory>

#include "service/rest_session.h"

namespace vnxml {

// Sessions that initialise COM for their thread and keep one request object,
// created on first use and dropped after any COM error so that the next
// request creates a new one.
std::shared_ptr<IRestSessionFactory> MakeMsxmlRestSessions();

}  // namespace vnxml
