#include "platform/threads.h"

#include "platform/win/win.h"

namespace platform {

void LowerCurrentThreadPriority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST); }

}  // namespace platform
