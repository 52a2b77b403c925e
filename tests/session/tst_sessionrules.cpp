#include "FakeEncoderEngine.h"

#include "batch/BatchList.h"
#include "batch/OutputNaming.h"
#include "session/ListPopulator.h"
#include "session/ProgressFigures.h"

#include <QtTest>

using namespace joblet;

class Tst_SessionRules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Output "None" names the output from the input's streams (.wma for audio
    // alone, else .wmv, after the last dot anywhere); any other text is kept.
    void naming_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("streams"); // one 'a' or 'v' per stream
        QTest::addColumn<QString>("failure"); // "create", "open" or none
        QTest::addColumn<QString>("stored");  // empty: no row added
        QTest::newRow("last of two dots, two audio streams") << "/a/b.c.mp3" << "None" << "aa" << "" << "/a/b.c.wma";
        QTest::newRow("audio and video") << "/clips/intro.avi" << "None" << "av" << "" << "/clips/intro.wmv";
        QTest::newRow("neither") << "/clips/x.dat" << "None" << "" << "" << "/clips/x.wmv";
        QTest::newRow("no dot") << "/media/talk" << "None" << "v" << "" << "/media/talk.wmv";
        QTest::newRow("dot only in folder") << "/take.2/clip" << "None" << "v" << "" << "/take.wmv";
        QTest::newRow("'none' is a path") << "/a/b.avi" << "none" << "av" << "" << "none";
        QTest::newRow("no engine") << "/a/b.avi" << "None" << "av" << "create" << "";
        QTest::newRow("unreadable input") << "/a/b.avi" << "None" << "av" << "open" << "";
    }
    void naming()
    {
        QFETCH(QString, input);
        QFETCH(QString, output);
        QFETCH(QString, streams);
        QFETCH(QString, failure);
        QFETCH(QString, stored);
        FakeEngines fakes;
        fakes->setSource(input, streams.count('a'), streams.count('v'));
        if (failure == "create")
            fakes->creationFailure = EngineError::NoEncoder;
        if (failure == "open")
            fakes->setSourceFailure(input, EngineError::UnrecognisedMedia);

        BatchList list;
        QString outputFile = output;
        QCOMPARE(Populate_List(list, fakes, input, outputFile, "P"), stored.isEmpty() ? 1 : 0);
        QCOMPARE(fakes->created, output == "None" && failure != "create" ? 1 : 0); // only "None" opens the input
        QCOMPARE(fakes->alive, 0);
        QCOMPARE(outputFile, stored.isEmpty() ? output : stored); // left alone unless added
        QCOMPARE(list.count(), stored.isEmpty() ? 0 : 1);
        if (!stored.isEmpty())
            QCOMPARE(QStringList({list.item(1).inputFile, list.item(1).outputFile, list.item(1).profile}),
                     QStringList({input, stored, "P"}));
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
        QSignalSpy selected(&list, &BatchList::selectedRowChanged);
        QSignalSpy highlighted(&list, &BatchList::highlightedRowChanged);
        QString output = "None";
        QCOMPARE(Populate_List(list, fakes, "/in/1.avi", output, "P"), 0);
        QCOMPARE(list.item(6).inputFile, QStringLiteral("/in/1.avi"));
        QCOMPARE(list.selectedRow(), 1);
        QCOMPARE(list.highlightedRow(), 1);
        QCOMPARE(selected.size() + highlighted.size(), 2);
        QVERIFY(list.index(0, 2).data(BatchList::HighlightRole).toBool());
        QVERIFY(!list.index(3, 2).data(BatchList::HighlightRole).toBool());

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

    // Percent clamped to 0..100; time left from the rate so far; -1: unknown.
    void progress_figures_data()
    {
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<qint64>("encodedUs");
        QTest::addColumn<qint64>("durationUs");
        QTest::addColumn<int>("percent");
        QTest::addColumn<qint64>("leftMs");
        QTest::newRow("quarter") << 10'000LL << 15'000'000LL << 60'000'000LL << 25 << 30'000LL;
        QTest::newRow("overshoot") << 8'000LL << 61'000'000LL << 60'000'000LL << 100 << 0LL;
        QTest::newRow("no duration") << 8'000LL << 5'000'000LL << 0LL << -1 << -1LL;
        QTest::newRow("nothing yet") << 8'000LL << 0LL << 60'000'000LL << 0 << -1LL;
        // Ten hours of media after one: no overflow on the way.
        QTest::newRow("long") << 3'600'000LL << 3'600'000'000LL << 36'000'000'000LL << 10 << 32'400'000LL;
    }
    void progress_figures()
    {
        QFETCH(qint64, elapsedMs);
        QFETCH(qint64, encodedUs);
        QFETCH(qint64, durationUs);
        QTEST(ProgressFigures::percentDone(encodedUs, durationUs).value_or(-1), "percent");
        QTEST(ProgressFigures::remainingMs(elapsedMs, encodedUs, durationUs).value_or(-1), "leftMs");
        QCOMPARE(ProgressFigures::clockText(3'723'999), QString("1:02:03")); // hours unpadded, seconds cut
    }
};

QTEST_GUILESS_MAIN(Tst_SessionRules)
#include "tst_sessionrules.moc"
