// Thread settings the portable code asks of the platform.
#pragma once

namespace platform {

// Runs the calling thread at the lowest priority, as the scan worker runs:
// for helpers of the pass that should not take time from the user's programs.
// Nothing on the host.
void LowerCurrentThreadPriority();

}  // namespace platform
