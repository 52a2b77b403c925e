#include "FakeEncoderEngine.h"

#include "batch/BatchList.h"
#include "batch/OutputNaming.h"
#include "session/ListPopulator.h"
#include "session/ProgressFigures.h"
#include "session/RunTally.h"
#include "session/TimeLeft.h"

#include "FakeClock.h"

#include <QtTest>

using namespace joblet;

namespace {

// `streams`: one 'a' or 'v' per stream; `failure`: "create", "open" or none;
// `stored`: empty when no row is added.
struct NamingRow { QString input, output, streams, failure, stored, profile; };

// Times left in ms, -1 unknown, within `within` percent of the truth.
struct TimeLeftRow { QList<QPoint> readings; qint64 durationMs; QList<qint64> laterMs; qint64 jobLeftMs, batchLeftMs; int within; };

} // namespace

class Tst_SessionRules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Output "None" names the output from the input's streams: for an ASF
    // profile or an unknown one .wma for audio alone, else .wmv, after the
    // last dot anywhere; for another its own type, never the input's name.
    // Any other text is kept.
    void naming_data()
    {
        QTest::addColumn<NamingRow>("row");
        QTest::newRow("last of two dots, two audio streams")
            << NamingRow {"/a/b.c.mp3", "None", "aa", "", "/a/b.c.wma", "Qimto Audio 64K Stereo"};
        QTest::newRow("audio and video") << NamingRow {"/clips/intro.avi", "None", "av", "", "/clips/intro.wmv", "P"};
        QTest::newRow("no dot") << NamingRow {"/media/talk", "None", "v", "", "/media/talk.wmv", "P"};
        QTest::newRow("dot only in folder") << NamingRow {"/take.2/clip", "None", "v", "", "/take.wmv", "P"};
        QTest::newRow("'none' is a path") << NamingRow {"/a/b.avi", "none", "av", "", "none", "P"};
        QTest::newRow("no engine") << NamingRow {"/a/b.avi", "None", "av", "create", "", "P"};
        QTest::newRow("unreadable input") << NamingRow {"/a/b.avi", "None", "av", "open", "", "P"};
        const QString mp4 = "MP4 H.264 720p";
        QTest::newRow("a profile's own type") << NamingRow {"/m/talk.v1.avi", "None", "av", "", "/m/talk.v1.mp4", mp4};
        QTest::newRow("never the input's name") << NamingRow {"/m/talk.MP4", "None", "av", "", "/m/talk_1.mp4", mp4};
        QTest::newRow("audio alone") << NamingRow {"/m/talk.avi", "None", "a", "", "/m/talk.m4a", "Audio AAC 192 kbps"};
    }
    void naming()
    {
        QFETCH(NamingRow, row);
        const auto &[input, output, streams, failure, stored, profile] = row;
        FakeEngines fakes;
        fakes->setSource(input, streams.count('a'), streams.count('v'));
        if (failure == "create")
            fakes->creationFailure = EngineError::NoEncoder;
        if (failure == "open")
            fakes->setSourceFailure(input, EngineError::UnrecognisedMedia);

        BatchList list;
        QString outputFile = output;
        QCOMPARE(Populate_List(list, fakes, input, outputFile, profile), stored.isEmpty() ? 1 : 0);
        // Only "None" opens the input, and only once.
        QCOMPARE(fakes->log.filter("AutoSetFileSource").size(), output == "None" && failure != "create" ? 1 : 0);
        QCOMPARE(outputFile, stored.isEmpty() ? output : stored); // left alone unless added
        QCOMPARE(list.count(), stored.isEmpty() ? 0 : 1);
        if (!stored.isEmpty())
            QCOMPARE(QStringList({list.item(1).inputFile, list.item(1).outputFile, list.item(1).profile}),
                     QStringList({input, stored, profile}));
    }

    // The new row goes last, duplicates included, yet row 1 gets the marks;
    // a full list takes nothing and leaves the output text alone.
    void addingMarksRowOne()
    {
        FakeEngines fakes;
        BatchList list;
        for (int i = 1; i <= 5; ++i)
            QVERIFY(list.append(BatchItem {QString("/in/%1.avi").arg(i), "/out.wmv", "P", {}, {}}));
        list.setSelectedRow(3);
        list.setHighlightedRow(4);
        QString output = "None";
        QCOMPARE(Populate_List(list, fakes, "/in/1.avi", output, "P"), 0);
        QCOMPARE(list.item(6).inputFile, QStringLiteral("/in/1.avi"));
        QCOMPARE(list.selectedRow(), 1);
        QCOMPARE(list.highlightedRow(), 1);

        QVERIFY(list.append(QList<BatchItem>(BatchList::MaxRows - 6, list.item(1))));
        output = "None";
        QCOMPARE(Populate_List(list, fakes, "/in/more.avi", output, "P"), 1);
        QCOMPARE(output, QStringLiteral("None"));
        QCOMPARE(list.count(), BatchList::MaxRows);
    }

    // The browse rule cuts the last three characters whatever they are; the
    // hand-off rule keeps a .wma input's name whole.
    void nameRules_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("browse");
        QTest::addColumn<QString>("handOff");
        QTest::newRow("mpeg") << "x.mpeg" << "x.mwmv" << "x.mwmv";
        QTest::newRow("wma, upper case") << "/m/Song.WMA" << "/m/Song.wmv" << "/m/Song.WMA_1.wma";
        QTest::newRow("three characters") << "abc" << "wmv" << "wmv";
        QTest::newRow("two characters") << "ab" << "" << "wmv";
    }
    void nameRules()
    {
        QFETCH(QString, input);
        QTEST(OutputNaming::fromBrowse(input), "browse");
        QTEST(OutputNaming::fromHandOff(input), "handOff");
    }

    // Percent clamped to 0..100, none without a length; hours unpadded, seconds cut.
    void progressFigures()
    {
        QCOMPARE(ProgressFigures::percentDone(15'000'000, 60'000'000).value_or(-1), 25);
        QCOMPARE(ProgressFigures::percentDone(61'000'000, 60'000'000).value_or(-1), 100);
        QCOMPARE(ProgressFigures::percentDone(5'000'000, 0).value_or(-1), -1);
        QCOMPARE(ProgressFigures::clockText(3'723'999), QString("1:02:03"));
    }

    // Readings of one job as (wall ms, encoded media ms); a negative media
    // time starts the next job at that wall time. The job is 60 s of media.
    void timeLeft_data()
    {
        QTest::addColumn<TimeLeftRow>("row");
        const auto steady = [](int fromMs, int toMs, double speed, int mediaMs = 0) {
            QList<QPoint> points;
            for (int t = fromMs; t <= toMs; t += 500)
                points << QPoint(t, mediaMs + int((t - fromMs) * speed));
            return points;
        };
        QTest::newRow("steady half speed, two later rows")
            << TimeLeftRow {steady(0, 10'000, 0.5), 60'000, {30'000, 30'000}, 110'000, 230'000, 0};
        // Nothing comes out while the input opens, or audio rushes ahead while
        // the video encoder fills its look-ahead; only the speed after counts.
        QTest::newRow("slow start-up second")
            << TimeLeftRow {QList<QPoint>{{0, 0}, {500, 0}, {1000, 0}} + steady(1000, 10'000, 0.5), 60'000, {}, 111'000, 111'000, 0};
        // From 1× to a quarter: 30 s later the estimate has followed (the
        // mean since the start would say 97 s).
        QTest::newRow("speed drops")
            << TimeLeftRow {steady(0, 10'000, 1.0) + steady(10'500, 40'000, 0.25, 10'125), 60'000, {}, 170'000, 170'000, 10};
        QTest::newRow("later row of unknown length counts at the average")
            << TimeLeftRow {steady(0, 10'000, 0.5), 60'000, {0, 30'000}, 110'000, 260'000, 0};
        QTest::newRow("job of unknown length") << TimeLeftRow {steady(0, 10'000, 0.5), 0, {30'000}, -1, 110'000, 0};
        QTest::newRow("no length known") << TimeLeftRow {steady(0, 10'000, 0.5), 0, {0}, -1, -1, 0};
        QTest::newRow("no speed before start-up is over") << TimeLeftRow {steady(0, 2'000, 0.5), 60'000, {}, -1, -1, 0};
        // A new job's start-up does not wipe out what the last one showed.
        QTest::newRow("next job starts at the last speed")
            << TimeLeftRow {steady(0, 10'000, 0.5) + QList<QPoint>{{10'000, -1}, {10'500, 0}}, 60'000, {}, 120'000, 120'000, 0};
    }
    void timeLeft()
    {
        QFETCH(TimeLeftRow, row);
        const auto &[readings, durationMs, laterMs, jobLeftMs, batchLeftMs, within] = row;
        FakeClock clock;
        const QDateTime start(QDate(2024, 3, 1), QTime(12, 0));
        clock.fixed = start;
        SpeedEstimate speed(clock);
        speed.beginJob();
        qint64 encodedUs = 0;
        for (const QPoint &p : std::as_const(readings)) {
            clock.fixed = start.addMSecs(p.x());
            if (p.y() < 0) {
                speed.beginJob();
                continue;
            }
            encodedUs = p.y() * 1000LL;
            speed.sample(encodedUs);
        }
        QList<qint64> laterUs;
        for (const qint64 ms : std::as_const(laterMs))
            laterUs << ms * 1000;
        const auto check = [within](std::optional<qint64> shown, qint64 truth) {
            if (truth < 0 || !shown)
                return shown.value_or(-1) == truth;
            return std::abs(*shown - truth) <= truth * within / 100;
        };
        const auto job = TimeLeft::wallMs(TimeLeft::mediaLeftUs(encodedUs, durationMs * 1000, {}), speed.speed());
        const auto batch = TimeLeft::wallMs(TimeLeft::mediaLeftUs(encodedUs, durationMs * 1000, laterUs), speed.speed());
        QVERIFY2(check(job, jobLeftMs), qPrintable(QString::number(job.value_or(-1))));
        QVERIFY2(check(batch, batchLeftMs), qPrintable(QString::number(batch.value_or(-1))));
    }

    // How each row ended, counted and named by file; stopped is not failed,
    // and the rest are not reached.
    void endSummary()
    {
        using End = RunTally::End;
        const auto text = [](int rows, const QList<End> &ends) {
            RunTally tally(rows);
            for (int i = 0; i < ends.size(); ++i)
                tally.add(i + 1, QString("/media/f%1.mp4").arg(i + 1), ends.at(i));
            return tally.text();
        };
        QCOMPARE(text(5, {End::DoneNow, End::Skipped, End::DoneNow, End::Failed, End::DoneNow}),
                 QString("5 rows: 3 Done now, 1 already Done (skipped), 1 failed (row 4 f4.mp4)"));
        QCOMPARE(text(4, {End::DoneNow, End::Stopped}), QString("4 rows: 1 Done now, 1 stopped (row 2 f2.mp4), 2 not reached"));
    }
};

QTEST_GUILESS_MAIN(Tst_SessionRules)
#include "tst_sessionrules.moc"
