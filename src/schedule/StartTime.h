#pragma once

#include <QTime>

namespace joblet {

// The hour the start-time list offers first: the next full hour, 0 during
// hour 23.
inline int nextFullHour(QTime now)
{
    return now.hour() + 1 < 24 ? now.hour() + 1 : 0;
}

} // namespace joblet
