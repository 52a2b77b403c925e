#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

namespace joblet {

class Clock;

// The rules of the timed session, free of widgets and timers: whether a
// chosen start time may be armed, and on each one-second tick of the window
// what the countdown reads and whether the run starts now.
//
// The start is a wall-clock time on a remembered day, resolved against the
// clock's local date-time on every tick, so a change of system time or
// daylight saving moves the firing moment with it.
class TimedSchedule {
public:
    struct StartCheck {
        enum Verdict {
            Refused, // not in the future: show the notice, move the hour list
            Today,
            NextDay, // chosen during hour 23 for an hour of the next day
        };
        Verdict verdict = Refused;
        int hourToSelect = -1; // Refused only: the hour the hour list moves to
        int hour = 0;
        int minute = 0;
        QDate day; // accepted only: the day the start falls on

        bool accepted() const { return verdict != Refused; }
    };

    struct Tick {
        QString countdown; // "hh:mm:ss" of the time left; empty when not armed
        bool fire = false; // start the run now; the schedule has disarmed itself
    };

    explicit TimedSchedule(const Clock &clock);

    StartCheck check(int hour, int minute) const;

    // Arms the start `check` accepted, on the day it decided, even if the
    // user took long over the question. False, and nothing armed, if refused.
    bool arm(const StartCheck &check);
    void cancel();
    bool isArmed() const { return m_armed; }

    // One tick with the lists' current selection; a selection other than the
    // last one seen moves the start to that time's next occurrence, where the
    // current minute counts as now.
    Tick tick(int hour, int minute);

    // "hh:mm:ss", each at least two digits; negative counts as zero.
    static QString countdownText(qint64 seconds);

private:
    const Clock &m_clock;
    bool m_armed = false;
    int m_hour = 0;
    int m_minute = 0;
    QDate m_day;
};

} // namespace joblet
