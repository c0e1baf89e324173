#include "platform/os/clock.h"

#include <windows.h>

namespace tovani::os {

LocalTime localTimeNow() {
    SYSTEMTIME t{};
    ::GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

}  // namespace tovani::os
