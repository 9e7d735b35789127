// The time a document is stamped with. The agent uses the current time in the
// machine's zone; vntool and tests fix both, so that a document can be
// reproduced byte for byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/clock.h"

namespace vnxml {

struct DocumentClock {
    int64_t fixedTime = 0;                        // seconds since 1970; 0: the current time
    std::optional<platform::TimeZoneState> zone;  // none: the machine's zone

    int64_t Now() const;
    // The timestamp text of `time` (seconds since 1970) in the clock's zone.
    std::string Text(int64_t time) const;
};

}  // namespace vnxml
