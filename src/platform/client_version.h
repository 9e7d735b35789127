// The agent's own version as the service sees it: the root element of every
// scan document and the profile's `clientinfo` carry it.
#pragma once

namespace vnxml {

// "1.3.1.55": the version of this build.
const char* ClientVersion();

}  // namespace vnxml
