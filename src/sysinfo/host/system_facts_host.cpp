// The host has no Windows facts to give: what POSIX can tell (processor count
// and physical memory) is filled in, the rest stays unknown, and there is no
// WMI. The agent never runs here; vntool and the tests give their own facts.
#include <unistd.h>

#include "sysinfo/profile.h"

namespace sysinfo {

SystemFacts ReadSystemFacts() {
    SystemFacts facts;
    const long processors = ::sysconf(_SC_NPROCESSORS_ONLN);
    if (processors > 0) facts.processorCount = static_cast<uint32_t>(processors);
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) facts.physicalMemory = static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
    return facts;
}

VN_ProfileMfg VN_ProfileMfg::ReadFromWmi() { return VN_ProfileMfg(); }

}  // namespace sysinfo
