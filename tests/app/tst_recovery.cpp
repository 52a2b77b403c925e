// The next ordinary start offers the list and its Results back through the
// dialog seam (a kill of the real program is tst_program's).
#include "app/StartupRecovery.h"
#include "batch/BatchList.h"
#include "batch/RecoveryFile.h"

#include "FakeUiServices.h"
#include "FileHelpers.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace joblet;
using namespace joblet::test;

namespace {

BatchItem job(const QString &input, const QString &result = QString())
{
    return {input, input + ".wmv", QStringLiteral("Profile"), result, QString()};
}

QStringList results(const BatchList &list)
{
    QStringList out;
    for (int row = 1; row <= list.count(); ++row)
        out << list.item(row).result;
    return out;
}

} // namespace

class Tst_Recovery : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void offer_data()
    {
        QTest::addColumn<bool>("unattended"); // asks nothing
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("rows");      // the list's Results afterwards
        QTest::addColumn<QStringList>("fileAfter"); // after a normal close
        const QStringList kept{"Done", "Error:A04B000A"};
        QTest::newRow("yes") << false << int(QMessageBox::Yes) << QStringList{""} + kept << QStringList();
        QTest::newRow("no") << false << int(QMessageBox::No) << QStringList{""} << QStringList();
        // Kept for the next ordinary start, even after this one closes.
        QTest::newRow("unattended") << true << int(QMessageBox::Yes) << QStringList{""} << kept;
        QTest::newRow("ended under the question") << false << int(QMessageBox::NoButton) << QStringList{""} << kept;
    }
    // One question; Yes adds the rows with their Results after what the
    // command line put in, No forgets them.
    void offer()
    {
        QFETCH(bool, unattended);
        QFETCH(int, answer);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, fileAfter);
        const QString path = m_dir.filePath("offer/recovery.jlt");
        QVERIFY(RecoveryFile::write(path, {job("/m/a.avi", "Done"), job("/m/b.avi", "Error:A04B000A")}));

        BatchList list;
        QVERIFY(list.append(job("/m/command-line.avi")));
        RecoveryFile file(list, path);
        FakeUiServices dialogs;
        dialogs.answers.enqueue(QMessageBox::StandardButton(answer));
        offerRecovery(file, list, dialogs, nullptr, unattended);
        QCOMPARE(dialogs.messages.size(), unattended ? 0 : 1);
        if (!unattended) {
            QCOMPARE(dialogs.messages.first().title, recoveryTitle());
            QCOMPARE(dialogs.messages.first().icon, UiServices::Icon::Question);
        }
        QCOMPARE(results(list), rows);

        file.closeNormally();
        const std::optional<QList<BatchItem>> left = RecoveryFile::read(path);
        QStringList leftResults;
        for (const BatchItem &item : left.value_or(QList<BatchItem>()))
            leftResults << item.result;
        QCOMPARE(leftResults, fileAfter);
    }

    // Edits and job ends reach the file without anyone asking, also while
    // earlier rows are still carried over; a file not ours is not read.
    void keeperFollowsTheList()
    {
        const QString path = m_dir.filePath("keep/recovery.jlt");
        QVERIFY(RecoveryFile::write(path, {job("/m/old.avi", "Done")}));
        BatchList list;
        RecoveryFile file(list, path);
        QCOMPARE(file.carriedOver().size(), 1);
        QVERIFY(list.append(QList<BatchItem>{job("/m/a.avi"), job("/m/b.avi")}));
        list.setCell(2, BatchItem::ResultKey, QStringLiteral("Done"));
        list.remove(1);
        const QByteArray expected = RecoveryFile::format({job("/m/old.avi", "Done"), job("/m/b.avi", "Done")});
        QTRY_COMPARE(readAll(path), expected);
        QVERIFY(expected.endsWith(";Profile;Done\r\n"));

        list.clearResults();
        file.flush();
        QCOMPARE(readAll(path), RecoveryFile::format({job("/m/old.avi", "Done"), job("/m/b.avi")}));

        const QString link = m_dir.filePath("keep/link.jlt");
        QVERIFY(QFile::link(path, link));
        QVERIFY(!RecoveryFile::read(link));
        QVERIFY(writeFile(m_dir.filePath("keep/bad.jlt"), "no fields\r\n"));
        QVERIFY(!RecoveryFile::read(m_dir.filePath("keep/bad.jlt")));
    }
};

QTEST_MAIN(Tst_Recovery)
#include "tst_recovery.moc"
