#include "platform/client_version.h"

// The build passes the project's version (CMakeLists.txt), which is also the
// version resource's.
#ifndef VARNEL_VERSION_TEXT
#error "VARNEL_VERSION_TEXT must be defined by the build"
#endif

namespace vnxml {

const char* ClientVersion() { return VARNEL_VERSION_TEXT; }

}  // namespace vnxml
