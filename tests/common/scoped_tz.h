// Sets the TZ variable (a POSIX zone such as "UTC-13") for the host's C
// library for one scope, and puts the previous value back at its end.
#pragma once

#include <stdlib.h>
#include <time.h>

#include <optional>
#include <string>

namespace testing_support {

class ScopedTz {
public:
    explicit ScopedTz(const char* tz) {
        if (const char* old = getenv("TZ")) old_ = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTz() {
        if (old_) setenv("TZ", old_->c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }
    ScopedTz(const ScopedTz&) = delete;
    ScopedTz& operator=(const ScopedTz&) = delete;

private:
    std::optional<std::string> old_;
};

}  // namespace testing_support
