#include "Clock.h"

#include <QLocale>

namespace joblet {

namespace {
class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

const Clock *&installed()
{
    static const Clock *clock = nullptr;
    return clock;
}
} // namespace

QString Clock::timeText() const
{
    // The locale's long format may carry a time zone; keep hours to seconds.
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t')).replace(QLatin1String("  "), QLatin1String(" "));
    return QLocale::system().toString(currentTime(), format.trimmed());
}

const Clock &Clock::instance()
{
    static const SystemClock system;
    return installed() ? *installed() : system;
}

void Clock::setInstance(const Clock *clock)
{
    installed() = clock;
}

} // namespace joblet
