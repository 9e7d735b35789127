#include "platform/document_clock.h"

#include "platform/timestamp.h"

namespace vnxml {

int64_t DocumentClock::Now() const { return fixedTime != 0 ? fixedTime : platform::CurrentTime(); }

std::string DocumentClock::Text(int64_t time) const {
    return TimestampText(time, zone ? *zone : platform::CurrentTimeZone());
}

}  // namespace vnxml
