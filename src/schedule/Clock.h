#pragma once

#include <QDateTime>

namespace joblet {

// The one place the program reads the time of day, so tests can set it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;

    QTime currentTime() const { return now().time(); }
    QDate currentDate() const { return now().date(); }
    // The time of day in the locale's format, with seconds.
    QString timeText() const;

    // The clock in use; the system clock unless a test installed another.
    static const Clock &instance();
    // Installs `clock` (not owned); nullptr restores the system clock.
    static void setInstance(const Clock *clock);
};

} // namespace joblet
