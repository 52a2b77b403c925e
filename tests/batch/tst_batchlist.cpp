#include "batch/BatchList.h"

#include <QtTest>

#include <stdexcept>

using namespace joblet;

namespace {

BatchItem job(const QString &input)
{
    return BatchItem {input, input + ".wmv", QStringLiteral("Profile"), {}, {}};
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
    void rowLimit()
    {
        BatchList list;
        QSignalSpy inserted(&list, &QAbstractItemModel::rowsInserted);
        QVERIFY(!list.append(jobs(BatchList::MaxRows + 1)));
        QVERIFY(list.append(jobs(BatchList::MaxRows - 1)));
        QVERIFY(!list.append(jobs(2))); // all or nothing
        QVERIFY(list.append(job("/in/last.avi")));
        QCOMPARE(list.count(), BatchList::MaxRows);
        QCOMPARE(inserted.size(), 2);
        QCOMPARE(inserted.at(0).at(2).toInt(), BatchList::MaxRows - 2); // one signal for the lot
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
        // The view elides paths; their tips show them whole.
        for (int column : {BatchList::InputColumn, BatchList::OutputColumn})
            QCOMPARE(list.index(1, column).data(Qt::ToolTipRole), list.index(1, column).data());

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
