#include "FakeClock.h"
#include "FileHelpers.h"
#include "FileSizeCap.h"

#include "schedule/SessionReportFile.h"

#include <QtTest>

using namespace joblet;
using joblet::test::readAll;

class Tst_SessionReportFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void linesInOrderOneFilePerSession()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/joblet/reports"); // made on demand
        FakeClock clock;
        clock.fixed = QDateTime(QDate(2026, 12, 6), QTime(16, 5));
        SessionReportFile report(folder, clock);
        QVERIFY(report.begin(SessionReportFile::startCaption(QStringLiteral("16:05:00"))));
        QVERIFY(report.addLine(SessionReportFile::resultLine(QStringLiteral("/v/a.wmv"), QStringLiteral("Done"))));
        QVERIFY(report.addLine(SessionReportFile::resultLine(QStringLiteral("/v/b.wma"), QStringLiteral("Error:1"))));
        QVERIFY(report.addLine(SessionReportFile::endCaption(QStringLiteral("16:40:12"))));
        QCOMPARE(report.path(), folder + QStringLiteral("/2026-12-06 16-05-00.txt"));
        QCOMPARE(readAll(report.path()),
                 QByteArray("Session start time: 16:05:00\r\n"
                            "File: /v/a.wmv Result: Done\r\n"
                            "File: /v/b.wma Result: Error:1\r\n"
                            "Session end time: 16:40:12\r\n"));

        // A second session started within the same second keeps the first file.
        QVERIFY(report.begin(QStringLiteral("again")));
        QCOMPARE(report.path(), folder + QStringLiteral("/2026-12-06 16-05-00 (2).txt"));
        QCOMPARE(readAll(report.path()), QByteArray("again\r\n"));
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 2);
    }

    void failuresAreReturned()
    {
        QTemporaryDir dir;
        FakeClock clock;
        clock.fixed = QDateTime(QDate(2026, 12, 6), QTime(16, 5));
        SessionReportFile report(dir.path(), clock);
        QVERIFY(report.begin(QStringLiteral("start")));
        {
            const FileSizeCap cap(16);
            QVERIFY(!report.addLine(QStringLiteral("a line longer than the cap allows")));
            QVERIFY(!report.errorString().isEmpty());
        }
        QCOMPARE(readAll(report.path()), QByteArray("start\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1); // no stray temporary
        // The next line writes everything again, the failed line included.
        QVERIFY(report.addLine(QStringLiteral("next")));
        QCOMPARE(readAll(report.path()), QByteArray("start\r\na line longer than the cap allows\r\nnext\r\n"));

        // A folder below a file cannot be made, not even by root.
        SessionReportFile blocked(report.path() + QStringLiteral("/reports"), clock);
        QVERIFY(!blocked.begin(QStringLiteral("start")));
        QVERIFY(!blocked.errorString().isEmpty());
    }
};

QTEST_GUILESS_MAIN(Tst_SessionReportFile)
#include "tst_sessionreportfile.moc"
