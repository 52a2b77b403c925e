#include "batchcli/BatchCommand.h"
#include "batchcli/ListDocument.h"
#include "batchcli/ResultJournal.h"
#include "batchcli/ResultStore.h"

#include "FileHelpers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace joblet;
using namespace joblet::batchcli;

class TestBatchCliRules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void shardRows_data()
    {
        QTest::addColumn<QString>("shard");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QList<int>>("taken");
        QTest::newRow("1/1 takes all") << "1/1" << 5 << QList<int>{1, 2, 3, 4, 5};
        QTest::newRow("1/2 odd") << "1/2" << 5 << QList<int>{1, 3, 5};
        QTest::newRow("2/2 even") << "2/2" << 5 << QList<int>{2, 4};
        QTest::newRow("3/8 one row") << "3/8" << 5 << QList<int>{3};
        QTest::newRow("8/8 past the rows") << "8/8" << 5 << QList<int>{};
        QTest::newRow("2/3 of 7") << "2/3" << 7 << QList<int>{2, 5};
    }
    void shardRows()
    {
        QFETCH(QString, shard);
        QFETCH(int, rows);
        QFETCH(QList<int>, taken);
        QString error;
        const auto parsed = Shard::parse(shard, &error);
        QVERIFY2(parsed, qPrintable(error));
        QList<int> got;
        for (int row = 1; row <= rows; ++row) {
            if (parsed->takes(row))
                got << row;
        }
        QCOMPARE(got, taken);
    }

    void badShard_data()
    {
        QTest::addColumn<QString>("shard");
        for (const char *text : {"0/2", "3/2", "2", "/2", "1/", "a/b", "1/0", "-1/2", "", "1/2/3"})
            QTest::newRow(text) << QString::fromLatin1(text);
    }
    void badShard()
    {
        QFETCH(QString, shard);
        QString error;
        QVERIFY(!Shard::parse(shard, &error));
        QVERIFY(!error.isEmpty());
        RunOptions options;
        QVERIFY(!parseRun({QStringLiteral("--shard"), shard, QStringLiteral("l.jlt")}, &options, &error));
    }

    void mergeConflicts_data()
    {
        QTest::addColumn<QStringList>("results"); // the list's, then each results file's
        QTest::addColumn<QString>("merged");
        QTest::newRow("Done over error") << QStringList{"", "Done", "Error:80070002"} << "Done";
        QTest::newRow("Done over later error") << QStringList{"Done", "Error:1"} << "Done";
        QTest::newRow("error over empty") << QStringList{"Error:1", ""} << "Error:1";
        QTest::newRow("empty gives way") << QStringList{"", "", "Error:A04B000A"} << "Error:A04B000A";
        QTest::newRow("later error wins a tie") << QStringList{"Error:1", "Error:A04B000A"} << "Error:A04B000A";
        QTest::newRow("nothing anywhere") << QStringList{"", ""} << "";
        QTest::newRow("done is exact") << QStringList{"done", "Error:1"} << "Error:1";
    }
    void mergeConflicts()
    {
        QFETCH(QStringList, results);
        QFETCH(QString, merged);
        QList<ListDocument> docs;
        for (const QString &result : results) {
            auto doc = ListDocument::fromBytes("a.avi;a.wmv;P;" + result.toLatin1() + "\r\nb;c;d;\r\n", nullptr);
            QVERIFY(doc);
            docs << *doc;
        }
        ListDocument list = docs.takeFirst();
        QString error;
        QVERIFY(mergeResults(list, docs, {}, &error));
        QCOMPARE(list.result(1), merged);
        QCOMPARE(list.result(2), QString());
    }

    void mergeRefusesOtherJobs()
    {
        auto list = ListDocument::fromBytes("a;b;c;\r\nd;e;f;\r\n", nullptr);
        auto other = ListDocument::fromBytes("a;b;c;Done\r\nd;e;g;Done\r\n", nullptr);
        QVERIFY(list && other);
        QString error;
        QVERIFY(!mergeResults(*list, {*other}, {QStringLiteral("s.jlt")}, &error));
        QCOMPARE(error, QStringLiteral("s.jlt: line 2: not the same job as in the list"));
    }

    // Only the Result field changes: breaks, bytes the locale cannot decode,
    // and a last line without a break stay as they were.
    void resultKeepsBytes_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("CR LF") << QByteArray("a;b;c;\r\nd;e;f;\r\n") << 2 << "Done"
                               << QByteArray("a;b;c;\r\nd;e;f;Done\r\n");
        QTest::newRow("LF only") << QByteArray("a;b;c;\nd;e;f;\n") << 1 << "Error:1"
                                 << QByteArray("a;b;c;Error:1\nd;e;f;\n");
        QTest::newRow("no last break") << QByteArray("a;b;c;\r\nd;e;f;") << 2 << "Done"
                                       << QByteArray("a;b;c;\r\nd;e;f;Done");
        QTest::newRow("8-bit path") << QByteArray("caf\xe9.avi;caf\xe9.wmv;P;\r\n") << 1 << "Done"
                                    << QByteArray("caf\xe9.avi;caf\xe9.wmv;P;Done\r\n");
        QTest::newRow("replaces a Result") << QByteArray("a;b;c;Error:A04B000A\r\n") << 1 << "Done"
                                           << QByteArray("a;b;c;Done\r\n");
        QTest::newRow("clears a Result") << QByteArray("a;b;c;Done\r\n") << 1 << ""
                                         << QByteArray("a;b;c;\r\n");
    }
    void resultKeepsBytes()
    {
        QFETCH(QByteArray, before);
        QFETCH(int, row);
        QFETCH(QString, result);
        QFETCH(QByteArray, after);
        auto doc = ListDocument::fromBytes(before, nullptr);
        QVERIFY(doc);
        QCOMPARE(doc->bytes(), before);
        QVERIFY(doc->setResult(row, result));
        QCOMPARE(doc->bytes(), after);
        // The desktop reader still reads the same jobs.
        QList<BatchItem> items;
        QVERIFY(BatchListFile::parse(after, &items, nullptr));
        QCOMPARE(items.size(), doc->count());
        QCOMPARE(items.at(row - 1).profile, doc->item(row).profile);
    }

    void resultNeverMakesALineTooLong()
    {
        const QByteArray fields = QByteArray(BatchListFile::MaxLineChars - 8, 'x') + ";o;p;";
        auto doc = ListDocument::fromBytes(fields + "\r\n", nullptr);
        QVERIFY(doc);
        QVERIFY(!doc->setResult(1, QStringLiteral("Error:A04B000A")));
        QCOMPARE(doc->bytes(), fields + "\r\n");
    }

    void readFailuresKeepTheirNumbers()
    {
        for (const QByteArray &data : {QByteArray("a;b;c;\r\nd;e\r\n"), QByteArray("a;b;c;\r\n\r\n")}) {
            BatchListFile::Failure failure;
            QVERIFY(!ListDocument::fromBytes(data, &failure));
            QCOMPARE(failure.number, int(BatchListFile::BadLine));
            QCOMPARE(failure.text, QStringLiteral("line 2: fewer than three ';'"));
        }
    }

    // A results file of the same jobs is where a run resumes; another list
    // there is replaced. Results reach the file when the run folds them.
    void resultsFileResumesOrIsReplaced()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("out.jlt"));
        auto list = ListDocument::fromBytes("a;b;c;\r\nd;e;f;\r\n", nullptr);
        QVERIFY(list);
        QVERIFY(test::writeFile(out, "a;b;c;Done\r\nd;e;f;Error:1\r\n"));
        QString error;
        ResultStore resumed(*list, dir.filePath(QStringLiteral("l.jlt")), out);
        QVERIFY2(resumed.open(&error), qPrintable(error));
        QCOMPARE(resumed.start().result(1), QStringLiteral("Done"));
        QVERIFY2(resumed.record(2, QStringLiteral("Done"), &error), qPrintable(error));
        QCOMPARE(test::readAll(out), QByteArray("a;b;c;Done\r\nd;e;f;Error:1\r\n"));
        QVERIFY2(resumed.fold(&error), qPrintable(error));
        QCOMPARE(test::readAll(out), QByteArray("a;b;c;Done\r\nd;e;f;Done\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.jlt"});

        QVERIFY(test::writeFile(out, "x;y;z;Done\r\n"));
        ResultStore replaced(*list, dir.filePath(QStringLiteral("l.jlt")), out);
        QVERIFY(replaced.open(&error));
        QCOMPARE(replaced.start().result(1), QString());
        QVERIFY(replaced.record(1, QStringLiteral("Error:1"), &error));
        QVERIFY(replaced.fold(&error));
        QCOMPARE(test::readAll(out), QByteArray("a;b;c;Error:1\r\nd;e;f;\r\n"));
    }

    // What a killed run left in its journal counts, but only whole lines of
    // rows that still hold the same job; the next run folds it and removes
    // it with the leftovers of killed saves, and nothing else.
    void journalOfAKilledRun()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("l.jlt"));
        QVERIFY(test::writeFile(path, "a;b;c;\r\nd;e;f;\r\ng;h;i;\r\n"));
        const auto list = ListDocument::read(path, nullptr);
        QVERIFY(list);
        const QByteArray key1 = ResultJournal::jobKey("a;b;c;");
        const QByteArray key3 = ResultJournal::jobKey("g;h;i;");
        // Row 2's line names another job; row 3's was cut by the kill.
        QVERIFY(test::writeFile(dir.filePath(QStringLiteral(".l.jlt.host-1-0.journal")),
                                "1;" + key1 + ";Done\r\n2;" + key1 + ";Done\r\n3;" + key3 + ";Do"));
        QVERIFY(test::writeFile(dir.filePath(QStringLiteral(".l.jlt.0123456789ab.saving")), "half"));
        QVERIFY(test::writeFile(dir.filePath(QStringLiteral("l.jlt.backup")), "mine"));

        QCOMPARE(readWithJournals(path, nullptr)->result(1), QStringLiteral("Done"));
        ResultStore store(*list, path, QString());
        QString error;
        QVERIFY2(store.open(&error), qPrintable(error));
        QCOMPARE(test::readAll(path), QByteArray("a;b;c;Done\r\nd;e;f;\r\ng;h;i;\r\n"));
        QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(left.size(), 3); // the list, the user's file and the new run's journal
        QVERIFY(left.contains(QStringLiteral("l.jlt.backup")));
        QVERIFY(store.record(3, QStringLiteral("Error:1"), &error));
        // Too long for its line: said, not dropped silently.
        QVERIFY(!store.record(2, QString(BatchListFile::MaxLineChars, u'x'), &error));
        QVERIFY2(error.contains(QStringLiteral("longer than")), qPrintable(error));
        QVERIFY(store.fold(&error));
        QCOMPARE(test::readAll(path), QByteArray("a;b;c;Done\r\nd;e;f;\r\ng;h;i;Error:1\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"l.jlt", "l.jlt.backup"}));
    }
};

QTEST_GUILESS_MAIN(TestBatchCliRules)
#include "tst_batchclirules.moc"
