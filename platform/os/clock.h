#pragma once

// The local wall-clock time to the millisecond, for log lines.

namespace tovani::os {

struct LocalTime {
    int year, month, day, hour, minute, second, millisecond;
};

LocalTime localTimeNow();

}  // namespace tovani::os
