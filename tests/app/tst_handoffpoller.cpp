#include "app/HandOffPoller.h"
#include "app/HandOffWriter.h"

#include "Unprivileged.h"

#include "FileHelpers.h"

#include <QtTest>

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

using namespace joblet;
using namespace joblet::test;
using namespace std::chrono_literals;

namespace {

// Stands for the window: its rows and its Populate_List.
struct List {
    QStringList inputs;
    QStringList jobs; // "input|output"
    int snapshots = 0;

    HandOffPoller::InputsSource source()
    {
        return [this] {
            ++snapshots;
            return inputs;
        };
    }
    HandOffPoller::AddJob adder()
    {
        return [this](const QString &input, const QString &output) {
            inputs << input;
            jobs << input + u'|' + output;
            return true;
        };
    }
};

} // namespace

class Tst_HandOffPoller : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void noFile()
    {
        QTemporaryDir dir;
        List list;
        HandOffPoller poller(0ms);
        QCOMPARE(poller.tick(dir.filePath("tonvel.lst"), list.source(), list.adder()), 0);
        QCOMPARE(list.snapshots, 0);
    }

    void oneTick_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("jobs");

        QTest::newRow("case and blank duplicates")
            << QStringList{" /m/Talk.AVI  ", "/m/b.avi"}
            << QByteArray("  /M/talk.avi \r\n/m/B.AVI\r\n/m/c.avi\r\n")
            << QStringList{"/m/c.avi|/m/c.wmv"};
        QTest::newRow("same path twice") << QStringList{} << QByteArray("/m/a.avi\r\n/m/a.avi\r\n")
                                         << QStringList{"/m/a.avi|/m/a.wmv", "/m/a.avi|/m/a.wmv"};
        QTest::newRow("empty file") << QStringList{} << QByteArray() << QStringList{};
        QTest::newRow("wma rule, last line without end")
            << QStringList{} << QByteArray("/m/Song.WMA\r\n/m/s.mp3")
            << QStringList{"/m/Song.WMA|/m/Song.WMA_1.wma", "/m/s.mp3|/m/s.wmv"};
        QTest::newRow("CR alone ends a line") << QStringList{} << QByteArray("/m/a.avi\r/m/b.avi\r")
                                              << QStringList{"/m/a.avi|/m/a.wmv", "/m/b.avi|/m/b.wmv"};
        QTest::newRow("LF alone does not") << QStringList{} << QByteArray("/m/a.avi\n/m/b.avi\n")
                                           << QStringList{};
        QTest::newRow("LF inside, CR LF after") << QStringList{}
                                                << QByteArray("/m/a.avi\n/m/b.avi\r\n/m/c.avi\r\n")
                                                << QStringList{"/m/c.avi|/m/c.wmv"};
        QTest::newRow("short and blank lines")
            << QStringList{} << QByteArray("ab\r\n   \r\n\r\n\r x  \r\n/m/d.avi\r\n")
            << QStringList{"/m/d.avi|/m/d.wmv"};
        QTest::newRow("tab is not a blank") << QStringList{} << QByteArray("\t/m/e.avi \r\n")
                                            << QStringList{"\t/m/e.avi|\t/m/e.wmv"};
    }
    void oneTick()
    {
        QFETCH(QStringList, rows);
        QFETCH(QByteArray, content);
        QFETCH(QStringList, jobs);
        QTemporaryDir dir;
        const QString file = dir.filePath("tonvel.lst");
        QVERIFY(writeFile(file, content));
        List list;
        list.inputs = rows;
        HandOffPoller poller(0ms);
        QCOMPARE(poller.tick(file, list.source(), list.adder()), jobs.size());
        QCOMPARE(list.jobs, jobs);
        QVERIFY(!QFile::exists(file));
        QVERIFY(!QFile::exists(HandOffPoller::claimedFileFor(file)));
    }

    void pathsAddedByAnEarlierFileAreSkipped()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("tonvel.lst");
        List list;
        HandOffPoller poller(0ms);
        QVERIFY(writeFile(file, "/m/a.avi\r\n"));
        poller.tick(file, list.source(), list.adder());
        QVERIFY(writeFile(file, "/m/A.avi\r\n"));
        poller.tick(file, list.source(), list.adder());
        QCOMPARE(list.jobs, QStringList{"/m/a.avi|/m/a.wmv"});
    }

    void lineStillBeingWrittenWaits()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("tonvel.lst");
        QVERIFY(writeFile(file, "/m/a.avi\r\n/m/b.a"));
        List list;
        HandOffPoller poller(1h);
        poller.tick(file, list.source(), list.adder());
        QCOMPARE(list.jobs, QStringList{"/m/a.avi|/m/a.wmv"});
        const QString claimed = HandOffPoller::claimedFileFor(file);
        QVERIFY(QFile::exists(claimed));

        // The writer that opened the file before it was claimed goes on.
        QFile late(claimed);
        QVERIFY(late.open(QIODevice::Append));
        late.write("vi\r\n/m/a.avi\r\n");
        late.close();
        poller.tick(file, list.source(), list.adder());
        QCOMPARE(list.jobs, (QStringList{"/m/a.avi|/m/a.wmv", "/m/b.avi|/m/b.wmv", "/m/a.avi|/m/a.wmv"}));
        QVERIFY(QFile::exists(claimed)); // not quiet yet
    }

    void unreadableFileKept()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("tonvel.lst");
        QVERIFY(writeFile(file, "/m/a.avi\r\n"));
        ::chmod(QFile::encodeName(dir.path()).constData(), 0777);
        ::chmod(QFile::encodeName(file).constData(), 0);
        QVERIFY(holdsWithoutPrivilege([&] {
            List list;
            HandOffPoller poller(0ms);
            return poller.tick(file, list.source(), list.adder()) == 0 && QFile::exists(file)
                && !QFile::exists(HandOffPoller::claimedFileFor(file));
        }));

        ::chmod(QFile::encodeName(file).constData(), 0644);
        List list;
        HandOffPoller poller(0ms);
        QCOMPARE(poller.tick(file, list.source(), list.adder()), 1);
        QVERIFY(!QFile::exists(file));
    }

    // What another user or program may leave at the hand-off file's name.
    // The writer refuses it (without waiting) and the reader takes nothing
    // from it; a link's target is never touched.
    void hostileFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("setAside");
        QTest::newRow("link to a user's file") << "link" << false;
        QTest::newRow("pipe") << "pipe" << false;
        QTest::newRow("writable by others (umask 0)") << "shared" << false;
        QTest::newRow("other owner") << "other" << false;
        QTest::newRow("huge sparse file") << "huge" << true;
    }
    void hostileFile()
    {
        QFETCH(QString, kind);
        QFETCH(bool, setAside);
        QTemporaryDir dir;
        const QString file = dir.filePath("tonvel.lst");
        const QString notes = dir.filePath("notes.txt");
        const QByteArray name = QFile::encodeName(file);
        QVERIFY(writeFile(notes, "/m/notes.avi\r\n"));
        if (kind == "link") {
            QVERIFY(QFile::link(notes, file));
        } else if (kind == "pipe") {
            QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        } else {
            QVERIFY(writeFile(file, "/m/a.avi\r\n"));
            if (kind == "shared")
                QCOMPARE(::chmod(name.constData(), 0666), 0);
            if (kind == "huge")
                QCOMPARE(::truncate(name.constData(), 3LL << 30), 0);
            if (kind == "other" && (::geteuid() != 0 || ::chown(name.constData(), 65534, 65534) != 0))
                QSKIP("a file of another user needs root to make");
        }

        QString why;
        QVERIFY(!HandOff::appendLine(file, "/m/mine.avi", &why));
        QVERIFY(!why.isEmpty());
        List list;
        HandOffPoller poller(0ms);
        QCOMPARE(poller.tick(file, list.source(), list.adder()), 0);
        QCOMPARE(poller.tick(file, list.source(), list.adder()), 0);
        QCOMPARE(readAll(notes), QByteArray("/m/notes.avi\r\n"));
        QCOMPARE(QFileInfo::exists(HandOffPoller::refusedFileFor(file)), setAside);
        QVERIFY(!QFileInfo::exists(HandOffPoller::claimedFileFor(file)));
    }

    // A line too long to be a path (no line end in a whole piece) is skipped
    // over several ticks; the lines after it are taken.
    void overlongLineSkipped()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("tonvel.lst");
        QVERIFY(writeFile(file, "/m/a.avi\r\n" + QByteArray(3 * HandOffPoller::ChunkBytes, 'x')
                                    + "\r\n/m/b.avi\r\n"));
        List list;
        HandOffPoller poller(0ms);
        for (int tick = 0; tick < 6; ++tick)
            poller.tick(file, list.source(), list.adder());
        QCOMPARE(list.jobs, (QStringList{"/m/a.avi|/m/a.wmv", "/m/b.avi|/m/b.wmv"}));
        QVERIFY(!QFileInfo::exists(HandOffPoller::claimedFileFor(file)));
    }

    void leftoverOfAnEarlierInstanceIsTaken()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("tonvel.lst");
        QVERIFY(writeFile(HandOffPoller::claimedFileFor(file), "/m/left.avi\r\n"));
        QVERIFY(writeFile(file, "/m/new.avi\r\n"));
        List list;
        HandOffPoller poller(0ms);
        QCOMPARE(poller.tick(file, list.source(), list.adder()), 2);
        QCOMPARE(list.inputs, (QStringList{"/m/left.avi", "/m/new.avi"}));
    }

    // A writer appends while ticks run back to back: every line becomes
    // exactly one job, whole, in order, and nothing is left behind.
    void noLineLostToAWriter()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("tonvel.lst");
        constexpr int Lines = 10000;
        // Bursts of seven lines on one open file, each line in two writes.
        const QString script = QStringLiteral(
            "i=1\n"
            "while [ $i -le %1 ]; do\n"
            "  { j=0; while [ $j -lt 7 ] && [ $i -le %1 ]; do\n"
            "      printf '/media/in/clip-%05d' $i; printf '.avi\\r\\n'\n"
            "      i=$((i+1)); j=$((j+1)); done; } >> \"$1\"\n"
            "done\n").arg(Lines);
        QProcess writer;
        writer.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script, QStringLiteral("sh"), file});
        QVERIFY(writer.waitForStarted());

        List list;
        HandOffPoller poller; // the real quiet period
        QEventLoop loop;
        QTimer ticker;
        ticker.setInterval(1);
        int ticks = 0;
        connect(&ticker, &QTimer::timeout, &loop, [&] {
            ++ticks;
            poller.tick(file, list.source(), list.adder());
            if (writer.state() == QProcess::NotRunning && !QFileInfo::exists(file)
                && !QFileInfo::exists(HandOffPoller::claimedFileFor(file)))
                loop.quit();
        });
        QTimer::singleShot(120s, &loop, &QEventLoop::quit);
        ticker.start();
        loop.exec();

        QCOMPARE(writer.exitStatus(), QProcess::NormalExit);
        QCOMPARE(writer.exitCode(), 0);
        QStringList expected;
        for (int i = 1; i <= Lines; ++i)
            expected << QStringLiteral("/media/in/clip-%1.avi").arg(i, 5, 10, QLatin1Char('0'));
        QCOMPARE(list.inputs.size(), expected.size());
        QCOMPARE(list.inputs, expected);
        QVERIFY(!QFileInfo::exists(file));
        QVERIFY(!QFileInfo::exists(HandOffPoller::claimedFileFor(file)));
        qInfo("%d ticks", ticks);
    }
};

QTEST_GUILESS_MAIN(Tst_HandOffPoller)
#include "tst_handoffpoller.moc"
