// The list and its Results outlive a kill or a logout of the real program,
// and the next ordinary start offers them back through the dialog seam.
#include "app/StartupRecovery.h"
#include "batch/BatchList.h"
#include "batch/RecoveryFile.h"

#include "FakeUiServices.h"
#include "FileHelpers.h"
#include "MediaFixtures.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

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
    QString m_short, m_long;

private Q_SLOTS:
    void initTestCase()
    {
        MediaFixtures media(m_dir.path());
        m_short = media.audioVideoClip(QStringLiteral("short.avi"), 0.5);
        // Long enough to be still encoding when the signal comes.
        m_long = media.audioVideoClip(QStringLiteral("long.avi"), 60.0, {640, 480});
        QVERIFY2(!m_short.isEmpty() && !m_long.isEmpty(), qPrintable(media.lastError()));
    }

    void programEndsMidRun_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("killed") << int(SIGKILL);
        QTest::newRow("terminated") << int(SIGTERM);
        QTest::newRow("hung up") << int(SIGHUP);
    }
    // Killed, the program leaves the list with the Results so far; ended by
    // logout or shutdown, it stops as Exit does (no half-written output, no
    // marker) and leaves the list too. The next start offers it back.
    void programEndsMidRun()
    {
        QFETCH(int, signalNumber);
        QTemporaryDir home;
        const QString program = home.filePath("joblet");
        QVERIFY(QFile::copy(JOBLET_PROGRAM, program));
        QVERIFY(QDir(home.path()).mkdir("runtime"));
        QFile::setPermissions(home.filePath("runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                            | QFileDevice::ExeOwner);
        const QString out = home.filePath("out");
        QVERIFY(QDir(home.path()).mkdir("out"));
        const QString list = home.filePath("night.jlt");
        const QString profile = QStringLiteral(";Qimto Clipwright 320X240;\r\n");
        QVERIFY(writeFile(list, QFile::encodeName(m_short + ";" + out + "/short.wmv" + profile + m_long
                                                  + ";" + out + "/long.wmv" + profile)));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", home.filePath("runtime"));
        env.insert("XDG_DATA_HOME", home.filePath("data"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        QProcess joblet;
        joblet.setProcessEnvironment(env);
        joblet.start(program, {list, "<RUN>"});
        QVERIFY(joblet.waitForStarted());

        const QString recovery = home.filePath("data/joblet/recovery.jlt");
        QTRY_VERIFY_WITH_TIMEOUT(readAll(recovery).contains(";Done\r\n"), 60000);
        QCOMPARE(joblet.state(), QProcess::Running);
        ::kill(pid_t(joblet.processId()), signalNumber);
        QVERIFY(joblet.waitForFinished(30000));
        if (signalNumber != SIGKILL) {
            QCOMPARE(joblet.exitStatus(), QProcess::NormalExit);
            QCOMPARE(joblet.exitCode(), 0);
            QVERIFY(!QFile::exists(home.filePath("JobletRunning")));
            QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{"short.wmv"});
        }

        qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath("data")));
        QCOMPARE(recoveryFilePath(), recovery);
        BatchList restored;
        RecoveryFile file(restored, recovery);
        FakeUiServices dialogs;
        dialogs.answers.enqueue(QMessageBox::Yes);
        QCOMPARE(offerRecovery(file, restored, dialogs, nullptr, false), RecoveryAnswer::Loaded);
        QCOMPARE(dialogs.texts(), QStringList{recoveryQuestion(2)});
        QCOMPARE(restored.count(), 2);
        QCOMPARE(restored.item(1).inputFile, m_short);
        QCOMPARE(restored.item(1).result, QStringLiteral("Done"));
        QVERIFY(restored.item(2).result != QLatin1String("Done"));
    }

    void offer_data()
    {
        QTest::addColumn<bool>("unattended");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("asked");
        QTest::addColumn<QStringList>("rows");      // the list's Results afterwards
        QTest::addColumn<QStringList>("fileAfter"); // after a normal close
        const QStringList none;
        QTest::newRow("yes") << false << int(QMessageBox::Yes) << 1
                             << QStringList{"", "Done", "Error:A04B000A"} << none;
        QTest::newRow("no") << false << int(QMessageBox::No) << 1 << QStringList{""} << none;
        // Kept for the next ordinary start, even after this one closes.
        QTest::newRow("unattended") << true << int(QMessageBox::Yes) << 0 << QStringList{""}
                                    << QStringList{"Done", "Error:A04B000A"};
        QTest::newRow("ended under the question") << false << int(QMessageBox::NoButton) << 1
                                                  << QStringList{""}
                                                  << QStringList{"Done", "Error:A04B000A"};
    }
    // One question; Yes adds the rows with their Results after what the
    // command line put in, No forgets them.
    void offer()
    {
        QFETCH(bool, unattended);
        QFETCH(int, answer);
        QFETCH(int, asked);
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
        QCOMPARE(dialogs.messages.size(), asked);
        if (asked) {
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
