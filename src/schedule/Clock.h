#pragma once

#include <QDateTime>

namespace joblet {

// The time of day, read through one object the program hands to whoever
// needs it, so tests can set it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;

    QTime currentTime() const { return now().time(); }
    QDate currentDate() const { return now().date(); }
    // The time of day in the locale's format, with seconds.
    QString timeText() const;

    // The system's clock; it has no state, so one serves everybody.
    static const Clock &system();
};

} // namespace joblet
