#include "platform/threads.h"

namespace platform {

void LowerCurrentThreadPriority() {}

}  // namespace platform
