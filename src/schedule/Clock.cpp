#include "Clock.h"

#include <QLocale>

namespace joblet {

namespace {
class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};
} // namespace

QString Clock::timeText() const
{
    // The locale's long format may carry a time zone; keep hours to seconds.
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t')).replace(QLatin1String("  "), QLatin1String(" "));
    return QLocale::system().toString(currentTime(), format.trimmed());
}

const Clock &Clock::system()
{
    static const SystemClock clock;
    return clock;
}

} // namespace joblet
