#include "FakeClock.h"
#include "FileHelpers.h"
#include "FileSizeCap.h"

#include "schedule/SessionReportFile.h"
#include "schedule/TimedSchedule.h"

#include <QtTest>

#include <ctime>

using namespace joblet;
using joblet::test::readAll;
using Check = TimedSchedule::StartCheck;

namespace {

// "[+days ]HH:mm:ss[.zzz]" on 2026-06-10, far from any daylight-saving change.
QDateTime at(const QString &text)
{
    QStringList parts = text.split(u' ');
    const int days = parts.size() > 1 ? parts.takeFirst().toInt() : 0;
    return QDateTime(QDate(2026, 6, 10).addDays(days), QTime::fromString(parts[0], Qt::ISODateWithMs));
}

struct FutureRow { QString now; QTime chosen; Check::Verdict verdict; int hourToSelect, dayOffset; };

} // namespace

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
        QTest::addColumn<FutureRow>("row");
        QTest::newRow("same minute") << FutureRow{"14:30:40", {14, 30}, Check::Refused, 15, 0};
        QTest::newRow("early hour, not 23") << FutureRow{"14:30:40", {0, 10}, Check::Refused, 15, 0};
        QTest::newRow("next minute") << FutureRow{"14:30:40", {14, 31}, Check::Today, -1, 0};
        QTest::newRow("hour 23 from 22") << FutureRow{"22:59:00", {23, 0}, Check::Today, -1, 0};
        QTest::newRow("23 during 23") << FutureRow{"23:10:05", {23, 50}, Check::Refused, 0, 0};
        QTest::newRow("1:00 during 23") << FutureRow{"23:10:05", {1, 0}, Check::NextDay, -1, 1};
    }
    void futureCheck()
    {
        QFETCH(FutureRow, row);
        const auto &[now, chosen, verdict, hourToSelect, dayOffset] = row;
        FakeClock clock;
        clock.fixed = at(now);
        TimedSchedule schedule(clock);
        const Check check = schedule.check(chosen.hour(), chosen.minute());
        QCOMPARE(check.verdict, verdict);
        QCOMPARE(check.hourToSelect, hourToSelect);
        if (check.accepted())
            QCOMPARE(check.day, clock.fixed->date().addDays(dayOffset));
        QCOMPARE(schedule.arm(check), check.accepted());
        schedule.cancel();
        QVERIFY(schedule.tick(chosen.hour(), chosen.minute()).countdown.isEmpty());
    }

    void countdown_data()
    {
        QTest::addColumn<QString>("armedAt");
        QTest::addColumn<QString>("start");
        // Each tick: "clock selection shown", "fire" after it when the run starts
        // then; "-" shown: no longer armed.
        QTest::addColumn<QStringList>("ticks");
        QTest::newRow("as before") << "14:20:15" << "16:05"
                                   << QStringList {"14:20:15 16:05 01:44:45", "15:30:10 16:05 00:34:50"};
        QTest::newRow("no 60 minutes") << "14:59:30" << "16:00" << QStringList {"14:59:30 16:00 01:00:30"};
        QTest::newRow("one second left") << "16:00:00" << "16:05"
            << QStringList {"16:04:58.999 16:05 00:00:02", "16:04:59.100 16:05 00:00:01 fire", "16:05:00 16:05 -"};
        QTest::newRow("next day waits") << "23:10:00" << "1:00"
            << QStringList {"23:10:00 1:00 01:50:00", "23:10:59 1:00 01:49:01", "+1 00:59:58 1:00 00:00:02",
                            "+1 00:59:59 1:00 00:00:01 fire"};
        QTest::newRow("missed tick") << "16:00:00" << "16:05"
                                     << QStringList {"16:04:58 16:05 00:00:02", "16:05:07 16:05 00:00:00 fire"};
        QTest::newRow("clock set back, then forward") << "14:00:00" << "16:05"
            << QStringList {"14:00:00 16:05 02:05:00", "12:00:00 16:05 04:05:00", "17:30:00 16:05 00:00:00 fire"};
        // 2026-03-29 02:00 CET becomes 03:00 CEST.
        QTest::newRow("daylight saving starts")
            << "-73 01:30:00" << "4:00" << QStringList {"-73 01:30:00 4:00 01:30:00", "-73 03:59:59 4:00 00:00:01 fire"};
        QTest::newRow("start in the skipped hour")
            << "-73 01:00:00" << "2:30" << QStringList {"-73 01:00:00 2:30 01:00:00", "-73 01:59:59 2:30 00:00:01 fire"};
        QTest::newRow("selection moved while armed") << "14:00:00" << "16:05"
            << QStringList {"14:00:00 15:10 01:10:00", "14:00:01 13:00 22:59:59", "14:00:02 16:05 02:04:58"};
    }
    void countdown()
    {
        QFETCH(QString, armedAt);
        QFETCH(QString, start);
        QFETCH(QStringList, ticks);
        FakeClock clock;
        clock.fixed = at(armedAt);
        TimedSchedule schedule(clock);
        const QTime first = QTime::fromString(start, QStringLiteral("H:mm"));
        QVERIFY(schedule.arm(schedule.check(first.hour(), first.minute())));
        for (const QString &step : ticks) {
            QStringList parts = step.split(u' ');
            const bool fire = parts.last() == QLatin1String("fire");
            if (fire)
                parts.removeLast();
            const QString shown = parts.takeLast();
            const QTime selected = QTime::fromString(parts.takeLast(), QStringLiteral("H:mm"));
            clock.fixed = at(parts.join(u' '));
            const TimedSchedule::Tick tick = schedule.tick(selected.hour(), selected.minute());
            QCOMPARE(tick.countdown, shown == QLatin1String("-") ? QString() : shown);
            QVERIFY2(tick.fire == fire, qPrintable(step));
        }
    }

    // A session's report: its lines in order, a file of its own even when
    // started within the same second; a failed line is returned, and written
    // with the next.
    void sessionReport()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/joblet/reports"); // made on demand
        FakeClock clock;
        clock.fixed = QDateTime(QDate(2026, 12, 6), QTime(16, 5));
        SessionReportFile report(folder, clock);
        QVERIFY(report.begin(SessionReportFile::startCaption(QStringLiteral("16:05:00"))));
        QVERIFY(report.addLine(SessionReportFile::resultLine(QStringLiteral("/v/a.wmv"), QStringLiteral("Done"))));
        QVERIFY(report.addLine(SessionReportFile::endCaption(QStringLiteral("16:40:12"))));
        QCOMPARE(report.path(), folder + QStringLiteral("/2026-12-06 16-05-00.txt"));
        QCOMPARE(readAll(report.path()), QByteArray("Session start time: 16:05:00\r\n"
                                                    "File: /v/a.wmv Result: Done\r\n"
                                                    "Session end time: 16:40:12\r\n"));

        QVERIFY(report.begin(QStringLiteral("start")));
        QCOMPARE(report.path(), folder + QStringLiteral("/2026-12-06 16-05-00 (2).txt"));
        {
            const FileSizeCap cap(16);
            QVERIFY(!report.addLine(QStringLiteral("a line longer than the cap allows")));
            QVERIFY(!report.errorString().isEmpty());
        }
        QCOMPARE(readAll(report.path()), QByteArray("start\r\n"));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 2); // no stray temporary
        QVERIFY(report.addLine(QStringLiteral("next")));
        QCOMPARE(readAll(report.path()), QByteArray("start\r\na line longer than the cap allows\r\nnext\r\n"));
    }
};

QTEST_GUILESS_MAIN(Tst_TimedSchedule)
#include "tst_timedschedule.moc"
