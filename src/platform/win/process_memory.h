// The private bytes of the running process, for the idle measurement
// (`varnelctl memory`) and the benchmark that compares it with a bare program.
#pragma once

#include <cstddef>

namespace platform {

// The process's private bytes as Windows counts them (its commit charge).
// Wine keeps no such counter; there the committed private regions of the
// address space are added up instead, which counts every thread's whole stack
// reserve, as Wine commits stacks in full.
size_t PrivateBytes();

}  // namespace platform
