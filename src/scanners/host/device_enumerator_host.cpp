// The host has no Setup API and no device list: its enumerator reports that
// the list cannot be read, so a driver search on the host leaves the driver
// list as it is.
#include "scanners/driver_search.h"

namespace scanners {

namespace {

class NoDeviceList final : public IDeviceEnumerator {
public:
    int EnumerateDevices(bool, DriverRecords&) override { return -1; }
};

}  // namespace

std::unique_ptr<IDeviceEnumerator> MakeSystemDeviceEnumerator() { return std::make_unique<NoDeviceList>(); }

}  // namespace scanners
