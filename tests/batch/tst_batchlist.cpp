#include "FakeEncoderEngine.h"

#include "batch/BatchList.h"
#include "encoding/ProfileCatalogue.h"

#include <QtTest>

#include <stdexcept>

using namespace joblet;

namespace {

BatchItem job(const QString &input)
{
    return BatchItem {input, input + ".wmv", DefaultProfileName, {}, {}};
}

QList<BatchItem> jobs(int n)
{
    QList<BatchItem> items;
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
        QTest::addColumn<QString>("streams"); // one 'a' or 'v' per stream
        QTest::addColumn<QString>("failure"); // "create", "open" or none
        QTest::addColumn<QString>("stored");  // empty: no row added
        QTest::newRow("audio only") << "D:\\media\\talk.mp3" << "None" << "a" << "" << "D:\\media\\talk.wma";
        QTest::newRow("audio and video") << "/clips/intro.avi" << "None" << "av" << "" << "/clips/intro.wmv";
        QTest::newRow("neither") << "/clips/x.dat" << "None" << "" << "" << "/clips/x.wmv";
        QTest::newRow("no dot") << "/media/talk" << "None" << "v" << "" << "/media/talk.wmv";
        QTest::newRow("dot only in folder") << "/take.2/clip" << "None" << "v" << "" << "/take.wmv";
        QTest::newRow("last of two dots, two audio streams") << "/a/b.c.mp3" << "None" << "aa" << "" << "/a/b.c.wma";
        QTest::newRow("'none' is a path") << "/a/b.avi" << "none" << "av" << "" << "none";
        QTest::newRow("given output") << "/a/b.avi" << "/out/c.wmv" << "av" << "" << "/out/c.wmv";
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
        FakeEngineInstaller fakes;
        fakes->setSource(input, streams.count('a'), streams.count('v'));
        if (failure == "create")
            fakes->creationFailure = EngineError::NoEncoder;
        if (failure == "open")
            fakes->setSourceFailure(input, EngineError::UnrecognisedMedia);

        BatchList list;
        QString outputFile = output;
        QCOMPARE(list.Populate_List(input, outputFile, "Qimto Audio 32K Mono"), stored.isEmpty() ? 1 : 0);
        QCOMPARE(fakes->created, output == "None" && failure != "create" ? 1 : 0); // only "None" opens the input
        QCOMPARE(fakes->alive, 0);
        QCOMPARE(outputFile, stored.isEmpty() ? output : stored); // left alone unless added
        QCOMPARE(list.count(), stored.isEmpty() ? 0 : 1);
        if (stored.isEmpty())
            return;
        const QModelIndex first = list.index(0, BatchList::InputColumn);
        QCOMPARE(first.data().toString(), input);
        QCOMPARE(first.siblingAtColumn(BatchList::OutputColumn).data().toString(), stored);
        QCOMPARE(list.cell(1, BatchItem::ProfileKey), QStringLiteral("Qimto Audio 32K Mono"));
    }

    // The new row goes last, duplicates included, yet row 1 gets the marks.
    void addingMarksRowOne()
    {
        const int before = 5;
        FakeEngineInstaller fakes;
        BatchList list;
        QVERIFY(list.append(jobs(before)));
        list.setSelectedRow(3);
        list.setHighlightedRow(4);
        QSignalSpy selected(&list, &BatchList::selectedRowChanged);
        QSignalSpy highlighted(&list, &BatchList::highlightedRowChanged);
        QString output = "None";
        QCOMPARE(list.Populate_List("/in/1.avi", output, "P"), 0);
        QCOMPARE(list.count(), before + 1);
        QCOMPARE(list.item(before + 1).inputFile, QStringLiteral("/in/1.avi"));
        QCOMPARE(list.selectedRow(), 1);
        QCOMPARE(list.highlightedRow(), 1);
        QCOMPARE(selected.size(), 1);
        QCOMPARE(highlighted.size(), 1);
        QVERIFY(list.index(0, 2).data(BatchList::HighlightRole).toBool());
        QVERIFY(!list.index(3, 2).data(BatchList::HighlightRole).toBool());
    }

    void rowLimit()
    {
        FakeEngineInstaller fakes;
        BatchList list;
        QSignalSpy inserted(&list, &QAbstractItemModel::rowsInserted);
        QVERIFY(!list.append(jobs(BatchList::MaxRows + 1)));
        QVERIFY(list.append(jobs(BatchList::MaxRows - 1)));
        QVERIFY(!list.append(jobs(2))); // all or nothing
        QVERIFY(list.append(job("/in/last.avi")));
        QCOMPARE(list.count(), BatchList::MaxRows);
        QCOMPARE(inserted.size(), 2);
        QCOMPARE(inserted.at(0).at(2).toInt(), BatchList::MaxRows - 2); // one signal for the lot

        QString output = "None";
        QCOMPARE(list.Populate_List("/in/more.avi", output, "P"), 1);
        QCOMPARE(output, QStringLiteral("None"));
        QCOMPARE(list.count(), BatchList::MaxRows);
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
        QCOMPARE(changed.at(2).at(0).toModelIndex(), list.index(2, BatchList::ProfileColumn));
        const QModelIndex result = list.index(1, BatchList::ResultColumn);
        QCOMPARE(result.data().toString(), QStringLiteral("Error:C00D1B71"));
        QCOMPARE(result.data(Qt::ToolTipRole).toString(), QStringLiteral("damaged"));
        QVERIFY(!list.index(0, BatchList::ResultColumn).data(Qt::ToolTipRole).isValid());

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
};

QTEST_GUILESS_MAIN(Tst_BatchList)
#include "tst_batchlist.moc"
