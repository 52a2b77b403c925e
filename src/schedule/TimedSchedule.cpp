#include "TimedSchedule.h"

#include "Clock.h"

namespace joblet {

namespace {

// The labels count whole seconds: at 16:04:59.7 one second is left to 16:05.
QDateTime wholeSecond(const QDateTime &t)
{
    return t.addMSecs(-t.time().msec());
}

// In the clock's own time representation, so that differences are true
// seconds across daylight-saving changes.
QDateTime startOn(const QDateTime &now, QDate day, int hour, int minute)
{
    QDateTime at(now);
    at.setDate(day);
    at.setTime(QTime(hour, minute));
    // A time the clock skips when daylight saving starts does not exist in
    // local time; start when the clock jumps past it, not at once.
    for (int minutes = hour * 60 + minute + 1; !at.isValid() && minutes < 48 * 60; ++minutes) {
        at.setDate(day.addDays(minutes / (24 * 60)));
        at.setTime(QTime(minutes / 60 % 24, minutes % 60));
    }
    return at;
}

} // namespace

TimedSchedule::TimedSchedule(const Clock &clock)
    : m_clock(clock)
{
}

TimedSchedule::StartCheck TimedSchedule::check(int hour, int minute) const
{
    StartCheck result;
    result.hour = hour;
    result.minute = minute;
    if (!QTime::isValid(hour, minute, 0))
        return result;

    const QDateTime now = m_clock.now();
    const int nowHour = now.time().hour();
    if (nowHour < 23) {
        if (hour < nowHour || (hour == nowHour && minute <= now.time().minute())) {
            result.hourToSelect = nowHour + 1;
            return result;
        }
        result.verdict = StartCheck::Today;
        result.day = now.date();
    } else {
        if (hour == 23) {
            result.hourToSelect = 0;
            return result;
        }
        result.verdict = StartCheck::NextDay;
        result.day = now.date().addDays(1);
    }
    return result;
}

bool TimedSchedule::arm(const StartCheck &check)
{
    if (!check.accepted())
        return false;
    m_armed = true;
    m_hour = check.hour;
    m_minute = check.minute;
    m_day = check.day;
    return true;
}

void TimedSchedule::cancel()
{
    m_armed = false;
}

TimedSchedule::Tick TimedSchedule::tick(int hour, int minute)
{
    if (!m_armed)
        return {};
    const QDateTime now = wholeSecond(m_clock.now());

    // A time picked while armed was never asked about; one whose minute has
    // passed is meant for tomorrow, the current minute starts at once.
    if ((hour != m_hour || minute != m_minute) && QTime::isValid(hour, minute, 0)) {
        m_hour = hour;
        m_minute = minute;
        m_day = now.date();
        if (startOn(now, m_day, hour, minute).addSecs(60) <= now)
            m_day = m_day.addDays(1);
    }

    // At or past the start too (a missed tick, a suspended machine, the
    // clock set forward): start at once rather than a day later.
    const qint64 left = now.secsTo(startOn(now, m_day, m_hour, m_minute));
    Tick result {countdownText(left), left <= 1};
    if (result.fire)
        m_armed = false;
    return result;
}

QString TimedSchedule::countdownText(qint64 seconds)
{
    seconds = qMax<qint64>(seconds, 0);
    const QChar zero(u'0');
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, zero)
        .arg(seconds / 60 % 60, 2, 10, zero)
        .arg(seconds % 60, 2, 10, zero);
}

} // namespace joblet
