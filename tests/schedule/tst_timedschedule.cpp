#include "schedule/Clock.h"
#include "schedule/TimedSchedule.h"

#include <QtTest>

#include <ctime>

using namespace joblet;
using Check = TimedSchedule::StartCheck;

namespace {

class FakeClock : public Clock {
public:
    QDateTime at;
    QDateTime now() const override { return at; }
};

const QDate day0(2026, 6, 10); // no daylight-saving change near it

QDateTime at(const char *time, int days = 0)
{
    const QTime t = QTime::fromString(QLatin1String(time), QStringLiteral("H:mm:ss.zzz"));
    return QDateTime(day0.addDays(days), t.isValid() ? t : QTime::fromString(QLatin1String(time), QStringLiteral("H:mm:ss")));
}

// One tick: the clock, the lists' selection, and what it must show and do.
struct Step {
    QDateTime clock;
    QTime selection;
    QString shown; // empty: the schedule is no longer armed
    bool fire = false;
};
using Steps = QList<Step>;

} // namespace

Q_DECLARE_METATYPE(Step)

class Tst_TimedSchedule : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // Local time with daylight saving, whatever zone the machine is in.
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }

    void futureCheck_data()
    {
        QTest::addColumn<QTime>("now");
        QTest::addColumn<QTime>("chosen");
        QTest::addColumn<int>("verdict");
        QTest::addColumn<int>("hourToSelect");
        QTest::addColumn<int>("dayOffset");
        const QTime t1430(14, 30, 40), t2310(23, 10, 5);
        QTest::newRow("earlier hour") << t1430 << QTime(13, 45) << int(Check::Refused) << 15 << 0;
        QTest::newRow("same minute") << t1430 << QTime(14, 30) << int(Check::Refused) << 15 << 0;
        QTest::newRow("after midnight, before hour 23") << t1430 << QTime(0, 10) << int(Check::Refused) << 15 << 0;
        QTest::newRow("next minute") << t1430 << QTime(14, 31) << int(Check::Today) << -1 << 0;
        QTest::newRow("later hour") << t1430 << QTime(15, 10) << int(Check::Today) << -1 << 0;
        QTest::newRow("hour 23 from 22") << QTime(22, 59) << QTime(23, 0) << int(Check::Today) << -1 << 0;
        QTest::newRow("23 during 23, later") << t2310 << QTime(23, 50) << int(Check::Refused) << 0 << 0;
        QTest::newRow("23 during 23, earlier") << t2310 << QTime(23, 5) << int(Check::Refused) << 0 << 0;
        QTest::newRow("1:00 during 23") << t2310 << QTime(1, 0) << int(Check::NextDay) << -1 << 1;
        QTest::newRow("0:00 during 23") << t2310 << QTime(0, 0) << int(Check::NextDay) << -1 << 1;
    }
    void futureCheck()
    {
        QFETCH(QTime, now);
        QFETCH(QTime, chosen);
        QFETCH(int, verdict);
        QFETCH(int, hourToSelect);
        QFETCH(int, dayOffset);
        FakeClock clock;
        clock.at = QDateTime(day0, now);
        TimedSchedule schedule(clock);
        const Check check = schedule.check(chosen.hour(), chosen.minute());
        QCOMPARE(int(check.verdict), verdict);
        QCOMPARE(check.hourToSelect, hourToSelect);
        if (check.accepted())
            QCOMPARE(check.day, day0.addDays(dayOffset));
        QCOMPARE(schedule.arm(check), check.accepted());
        QCOMPARE(schedule.isArmed(), check.accepted());
        schedule.cancel();
        QVERIFY(schedule.tick(chosen.hour(), chosen.minute()).countdown.isEmpty());
    }

    void countdown_data()
    {
        QTest::addColumn<QDateTime>("armedAt");
        QTest::addColumn<QTime>("start");
        QTest::addColumn<Steps>("steps");
        const QTime s1605(16, 5);
        auto rightExample = [&](const char *clock, const char *shown) {
            QTest::addRow("as before: %s", clock) << at(clock) << s1605 << Steps {{at(clock), s1605, shown}};
        };
        rightExample("14:20:15", "01:44:45");
        rightExample("15:30:10", "00:34:50");
        QTest::newRow("no 60 seconds") << at("14:20:00") << s1605 << Steps {{at("14:20:00"), s1605, "01:45:00"}};
        QTest::newRow("no 60 minutes")
            << at("14:59:30") << QTime(16, 0) << Steps {{at("14:59:30"), QTime(16, 0), "01:00:30"}};
        QTest::newRow("no hour short")
            << at("14:10:00") << QTime(16, 50) << Steps {{at("14:10:00"), QTime(16, 50), "02:40:00"}};
        QTest::newRow("fires with one second left")
            << at("16:00:00") << s1605
            << Steps {{at("16:04:58.999"), s1605, "00:00:02"},
                      {at("16:04:59.100"), s1605, "00:00:01", true},
                      {at("16:05:00"), s1605, ""}};
        QTest::newRow("next day waits")
            << at("23:10:00") << QTime(1, 0)
            << Steps {{at("23:10:00"), QTime(1, 0), "01:50:00"},
                      {at("23:10:59"), QTime(1, 0), "01:49:01"},
                      {at("0:59:58", 1), QTime(1, 0), "00:00:02"},
                      {at("0:59:59", 1), QTime(1, 0), "00:00:01", true}};
        QTest::newRow("missed tick")
            << at("16:00:00") << s1605
            << Steps {{at("16:04:58"), s1605, "00:00:02"}, {at("16:05:07"), s1605, "00:00:00", true}};
        QTest::newRow("suspended overnight")
            << at("16:00:00") << s1605 << Steps {{at("9:00:00", 1), s1605, "00:00:00", true}};
        QTest::newRow("question answered late")
            << at("14:30:50") << QTime(14, 31) << Steps {{at("14:31:20"), QTime(14, 31), "00:00:00", true}};
        QTest::newRow("clock set back, then forward")
            << at("14:00:00") << s1605
            << Steps {{at("14:00:00"), s1605, "02:05:00"},
                      {at("12:00:00"), s1605, "04:05:00"},
                      {at("17:30:00"), s1605, "00:00:00", true}};
        // In the local zone initTestCase sets: 2026-03-29 02:00 CET becomes 03:00 CEST.
        const int spring = int(day0.daysTo(QDate(2026, 3, 29)));
        QTest::newRow("daylight saving starts")
            << at("1:30:00", spring) << QTime(4, 0)
            << Steps {{at("1:30:00", spring), QTime(4, 0), "01:30:00"},
                      {at("3:59:59", spring), QTime(4, 0), "00:00:01", true}};
        QTest::newRow("start in the skipped hour")
            << at("1:00:00", spring) << QTime(2, 30)
            << Steps {{at("1:00:00", spring), QTime(2, 30), "01:00:00"},
                      {at("1:59:59", spring), QTime(2, 30), "00:00:01", true}};
        QTest::newRow("selection moved while armed")
            << at("14:00:00") << s1605
            << Steps {{at("14:00:00"), QTime(15, 10), "01:10:00"},
                      {at("14:00:01"), QTime(13, 0), "22:59:59"}, // past today: tomorrow
                      {at("14:00:02"), s1605, "02:04:58"}};
    }
    void countdown()
    {
        QFETCH(QDateTime, armedAt);
        QFETCH(QTime, start);
        QFETCH(Steps, steps);
        FakeClock clock;
        clock.at = armedAt;
        TimedSchedule schedule(clock);
        QVERIFY(schedule.arm(schedule.check(start.hour(), start.minute())));
        for (const Step &step : steps) {
            clock.at = step.clock;
            const TimedSchedule::Tick tick = schedule.tick(step.selection.hour(), step.selection.minute());
            const QString at = step.clock.toString(Qt::ISODateWithMs);
            QVERIFY2(tick.countdown == step.shown, qPrintable(at + u' ' + tick.countdown));
            QVERIFY2(tick.fire == step.fire, qPrintable(at));
        }
    }
};

QTEST_GUILESS_MAIN(Tst_TimedSchedule)
#include "tst_timedschedule.moc"
