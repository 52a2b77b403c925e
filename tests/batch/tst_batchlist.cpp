#include "FakeEncoderEngine.h"

#include "batch/BatchList.h"
#include "encoding/ProfileCatalogue.h"

#include <QtTest>

#include <stdexcept>

using namespace joblet;

namespace {

BatchItem job(const QString &input)
{
    BatchItem item;
    item.inputFile = input;
    item.outputFile = input + ".wmv";
    item.profile = DefaultProfileName;
    return item;
}

QList<BatchItem> jobs(int n)
{
    QList<BatchItem> items;
    items.reserve(n);
    for (int i = 1; i <= n; ++i)
        items << job(QStringLiteral("/in/%1.avi").arg(i));
    return items;
}

} // namespace

class Tst_BatchList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void naming_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("audio");
        QTest::addColumn<int>("video");
        QTest::addColumn<QString>("failure"); // "create", "open" or none
        QTest::addColumn<QString>("stored");  // empty: no row added
        QTest::addColumn<int>("engines");

        QTest::newRow("audio only") << "D:\\media\\talk.mp3" << "None" << 1 << 0 << ""
                                    << "D:\\media\\talk.wma" << 1;
        QTest::newRow("two audio streams") << "/a/b.flac" << "None" << 2 << 0 << "" << "/a/b.wma" << 1;
        QTest::newRow("audio and video") << "/clips/intro.avi" << "None" << 1 << 1 << ""
                                         << "/clips/intro.wmv" << 1;
        QTest::newRow("video only") << "/clips/v.mov" << "None" << 0 << 1 << "" << "/clips/v.wmv" << 1;
        QTest::newRow("neither") << "/clips/x.dat" << "None" << 0 << 0 << "" << "/clips/x.wmv" << 1;
        QTest::newRow("no dot") << "/media/talk" << "None" << 0 << 1 << "" << "/media/talk.wmv" << 1;
        QTest::newRow("dot only in folder") << "/take.2/clip" << "None" << 0 << 1 << ""
                                            << "/take.wmv" << 1;
        QTest::newRow("last of two dots") << "/a/b.c.mp3" << "None" << 1 << 0 << "" << "/a/b.c.wma" << 1;
        QTest::newRow("'none' is a path") << "/a/b.avi" << "none" << 1 << 1 << "" << "none" << 0;
        QTest::newRow("'NONE' is a path") << "/a/b.avi" << "NONE" << 1 << 1 << "" << "NONE" << 0;
        QTest::newRow("given output") << "/a/b.avi" << "/out/c.wmv" << 1 << 1 << "" << "/out/c.wmv" << 0;
        QTest::newRow("no engine") << "/a/b.avi" << "None" << 1 << 1 << "create" << "" << 0;
        QTest::newRow("unreadable input") << "/a/b.avi" << "None" << 1 << 1 << "open" << "" << 1;
    }

    void naming()
    {
        QFETCH(QString, input);
        QFETCH(QString, output);
        QFETCH(int, audio);
        QFETCH(int, video);
        QFETCH(QString, failure);
        QFETCH(QString, stored);
        QFETCH(int, engines);
        FakeEngineInstaller fakes;
        fakes->setSource(input, audio, video);
        if (failure == "create")
            fakes->creationFailure = EngineError::NoEncoder;
        if (failure == "open")
            fakes->setSourceFailure(input, EngineError::UnrecognisedMedia);

        BatchList list;
        QString outputFile = output;
        QCOMPARE(list.Populate_List(input, outputFile, "Qimto Audio 32K Mono"), stored.isEmpty() ? 1 : 0);
        QCOMPARE(fakes->created, engines);
        QCOMPARE(fakes->alive, 0);
        QCOMPARE(fakes->log.contains("AutoSetFileSource " + input), engines == 1);
        if (stored.isEmpty()) {
            QCOMPARE(list.count(), 0);
            QCOMPARE(outputFile, output);
            return;
        }
        QCOMPARE(outputFile, stored);
        QCOMPARE(list.count(), 1);
        QCOMPARE(list.item(1).inputFile, input);
        QCOMPARE(list.cell(1, BatchItem::OutputFileKey), stored);
        QCOMPARE(list.cell(1, BatchItem::ProfileKey), QStringLiteral("Qimto Audio 32K Mono"));
        QCOMPARE(list.cell(1, BatchItem::ResultKey), QString());
        const QModelIndex first = list.index(0, BatchList::InputColumn);
        QCOMPARE(first.data().toString(), input);
        QCOMPARE(first.siblingAtColumn(BatchList::OutputColumn).data().toString(), stored);
    }

    void sameInputTwice()
    {
        FakeEngineInstaller fakes;
        BatchList list;
        QString a = "None", b = "/other/out.wmv";
        QCOMPARE(list.Populate_List("/in/a.avi", a, "P"), 0);
        QCOMPARE(list.Populate_List("/in/a.avi", b, "P"), 0);
        QCOMPARE(list.count(), 2);
        QCOMPARE(list.cell(1, BatchItem::OutputFileKey), QStringLiteral("/in/a.wmv"));
        QCOMPARE(list.cell(2, BatchItem::OutputFileKey), QStringLiteral("/other/out.wmv"));
    }

    void addingMarksRowOne_data()
    {
        QTest::addColumn<int>("before");
        QTest::newRow("empty list") << 0;
        QTest::newRow("five rows") << 5;
    }

    void addingMarksRowOne()
    {
        QFETCH(int, before);
        FakeEngineInstaller fakes;
        BatchList list;
        QVERIFY(list.append(jobs(before)));
        if (before) {
            list.setSelectedRow(3);
            list.setHighlightedRow(4);
        }
        QSignalSpy selected(&list, &BatchList::selectedRowChanged);
        QSignalSpy highlighted(&list, &BatchList::highlightedRowChanged);
        QString output = "None";
        QCOMPARE(list.Populate_List("/in/new.avi", output, "P"), 0);
        QCOMPARE(list.count(), before + 1);
        QCOMPARE(list.selectedRow(), 1);
        QCOMPARE(list.highlightedRow(), 1);
        QCOMPARE(selected.size(), 1);
        QCOMPARE(highlighted.size(), 1);
        QCOMPARE(list.item(before + 1).inputFile, QStringLiteral("/in/new.avi"));
        QVERIFY(list.item(before + 1).result.isEmpty());
        QVERIFY(list.index(0, 2).data(BatchList::HighlightRole).toBool());
        if (before)
            QVERIFY(!list.index(before, 2).data(BatchList::HighlightRole).toBool());
    }

    void rowLimit()
    {
        FakeEngineInstaller fakes;
        BatchList list;
        QSignalSpy inserted(&list, &QAbstractItemModel::rowsInserted);
        QVERIFY(!list.append(jobs(BatchList::MaxRows + 1)));
        QCOMPARE(list.count(), 0);
        QVERIFY(list.append(jobs(BatchList::MaxRows - 1)));
        QVERIFY(!list.append(jobs(2))); // all or nothing
        QVERIFY(list.append(job("/in/last.avi")));
        QCOMPARE(list.count(), BatchList::MaxRows);
        QCOMPARE(inserted.size(), 2);
        QCOMPARE(inserted.at(0).at(1).toInt(), 0);
        QCOMPARE(inserted.at(0).at(2).toInt(), BatchList::MaxRows - 2);

        QString output = "None";
        QCOMPARE(list.Populate_List("/in/more.avi", output, "P"), 1);
        QCOMPARE(list.count(), BatchList::MaxRows);
        QCOMPARE(output, QStringLiteral("None"));
        QVERIFY(!list.append(job("/in/more.avi")));
        QCOMPARE(inserted.size(), 2);
    }

    void cells()
    {
        BatchList list;
        QVERIFY(list.append(jobs(3)));
        QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);
        list.setCell(2, BatchItem::ResultKey, "Error:C00D1B71");
        list.setResultDetail(2, "damaged");
        list.setCell(3, BatchItem::ProfileKey, "Qimto Audio 32K Mono");
        QCOMPARE(changed.size(), 3);
        QCOMPARE(changed.at(0).at(0).toModelIndex(), list.index(1, BatchList::ResultColumn));
        QCOMPARE(changed.at(2).at(0).toModelIndex(), list.index(2, BatchList::ProfileColumn));
        QCOMPARE(list.index(1, BatchList::ResultColumn).data().toString(), QStringLiteral("Error:C00D1B71"));
        QCOMPARE(list.index(1, BatchList::ResultColumn).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("damaged"));
        QVERIFY(!list.index(0, BatchList::ResultColumn).data(Qt::ToolTipRole).isValid());
        QCOMPARE(list.cell(3, BatchItem::ProfileKey), QStringLiteral("Qimto Audio 32K Mono"));

        QVERIFY_THROWS_EXCEPTION(std::out_of_range, list.cell(1, "Input"));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, list.cell(1, "result"));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, list.setCell(0, BatchItem::ResultKey, "Done"));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, list.item(4));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, list.setSelectedRow(4));

        list.clearResults();
        QVERIFY(list.cell(2, BatchItem::ResultKey).isEmpty());
        QVERIFY(list.item(2).resultDetail.isEmpty());
    }

    void removalKeepsMarksOnTheirJobs()
    {
        BatchList list;
        QVERIFY(list.append(jobs(5)));
        list.setSelectedRow(4);
        list.setHighlightedRow(2);
        list.remove(3);
        QCOMPARE(list.count(), 4);
        QCOMPARE(list.item(3).inputFile, QStringLiteral("/in/4.avi"));
        QCOMPARE(list.selectedRow(), 3);
        QCOMPARE(list.highlightedRow(), 2);
        list.remove(2);
        QCOMPARE(list.highlightedRow(), 0);
        QSignalSpy selected(&list, &BatchList::selectedRowChanged);
        list.removeAll();
        QCOMPARE(list.count(), 0);
        QCOMPARE(list.selectedRow(), 0);
        QCOMPARE(selected.size(), 1);
    }

    void headers()
    {
        BatchList list;
        const QStringList texts{"Input File", "Output File", "Profile", "Result"};
        QCOMPARE(BatchList::headerTexts(), texts);
        QCOMPARE(BatchList::headerKeys(), (QStringList{"Input", "Output", "Profile", "Result"}));
        QCOMPARE(list.columnCount(), 4);
        for (int c = 0; c < 4; ++c)
            QCOMPARE(list.headerData(c, Qt::Horizontal).toString(), texts.at(c));
    }
};

QTEST_GUILESS_MAIN(Tst_BatchList)
#include "tst_batchlist.moc"
