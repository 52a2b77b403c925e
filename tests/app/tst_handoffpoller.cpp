#include "app/HandOffIntake.h"
#include "app/HandOffPoller.h"
#include "app/HandOffWriter.h"

#include "Unprivileged.h"

#include "FileHelpers.h"
#include "WindowFixture.h"

#include <QComboBox>
#include <QtTest>

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

using namespace joblet;
using namespace joblet::test;
using namespace std::chrono_literals;

namespace {

// A hand-off file in a folder of its own, a poller over it, and a list that
// stands for the window's: its rows' inputs and the jobs added ("input|output").
struct Rig {
    QTemporaryDir dir;
    QString file = dir.filePath("tonvel.lst");
    QString claimed = HandOffPoller::claimedFileFor(file);
    QStringList inputs, jobs;
    HandOffPoller poller;

    explicit Rig(std::chrono::milliseconds quiet = 0ms) : poller(quiet) {}
    int tick()
    {
        return poller.tick(
            file, [this] { return inputs; },
            [this](const QString &input, const QString &output) {
                inputs << input;
                jobs << input + u'|' + output;
                return true;
            });
    }
};

// `leftover` claimed by an earlier instance; `content` null: no file.
struct TickRow { QStringList rows; QByteArray leftover, content; QStringList jobs; };

} // namespace

class Tst_HandOffPoller : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void oneTick_data()
    {
        QTest::addColumn<TickRow>("row");
        QTest::newRow("case and blank duplicates") << TickRow{{" /m/Talk.AVI  ", "/m/b.avi"}, {},
            "  /M/talk.avi \r\n/m/B.AVI\r\n/m/c.avi\r\n", {"/m/c.avi|/m/c.wmv"}};
        // CR alone ends a line, LF alone does not (and a line holding one is
        // no path); short and blank lines are none either; a tab is no blank;
        // the last line needs no end.
        QTest::newRow("line ends and no-paths") << TickRow{{}, {},
            "/m/a.avi\r/m/b.avi\n/m/c.avi\r\nab\r\n   \r\n\r\n\r x  \r\n\t/m/e.avi ", {"/m/a.avi|/m/a.wmv", "\t/m/e.avi|\t/m/e.wmv"}};
        QTest::newRow("no file") << TickRow{};
        QTest::newRow("leftover first")
            << TickRow{{}, "/m/left.avi\r\n", "/m/new.avi\r\n", {"/m/left.avi|/m/left.wmv", "/m/new.avi|/m/new.wmv"}};
    }
    void oneTick()
    {
        QFETCH(TickRow, row);
        const auto &[rows, leftover, content, jobs] = row;
        Rig r;
        QVERIFY(leftover.isNull() || writeFile(r.claimed, leftover));
        QVERIFY(content.isNull() || writeFile(r.file, content));
        r.inputs = rows;
        QCOMPARE(r.tick(), jobs.size());
        QCOMPARE(r.jobs, jobs);
        QVERIFY(!QFile::exists(r.file) && !QFile::exists(r.claimed));
    }

    void lineStillBeingWrittenWaits()
    {
        Rig r(1h);
        QVERIFY(writeFile(r.file, "/m/a.avi\r\n/m/b.a"));
        r.tick();
        QCOMPARE(r.jobs, QStringList{"/m/a.avi|/m/a.wmv"});
        // The writer that opened the file before it was claimed goes on.
        QFile late(r.claimed);
        QVERIFY(late.open(QIODevice::Append) && late.write("vi\r\n/m/a.avi\r\n") > 0);
        late.close();
        r.tick();
        QCOMPARE(r.jobs, (QStringList{"/m/a.avi|/m/a.wmv", "/m/b.avi|/m/b.wmv", "/m/a.avi|/m/a.wmv"}));
        QVERIFY(QFile::exists(r.claimed)); // not quiet yet
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
        Rig r;
        const QString &file = r.file;
        const QString notes = r.dir.filePath("notes.txt");
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
        QVERIFY(!HandOff::appendLine(file, "/m/mine.avi", &why) && !why.isEmpty());
        QCOMPARE(r.tick() + r.tick(), 0);
        QCOMPARE(readAll(notes), QByteArray("/m/notes.avi\r\n"));
        QCOMPARE(QFileInfo::exists(HandOffPoller::refusedFileFor(file)), setAside);
        QVERIFY(!QFileInfo::exists(r.claimed));
    }

    // A line too long to be a path (no line end in a whole piece) is skipped
    // over several ticks; the lines after it are taken.
    void overlongLineSkipped()
    {
        Rig r;
        QVERIFY(writeFile(r.file, "/m/a.avi\r\n" + QByteArray(3 * HandOffPoller::ChunkBytes, 'x')
                                      + "\r\n/m/b.avi\r\n"));
        for (int tick = 0; tick < 6; ++tick)
            r.tick();
        QCOMPARE(r.jobs, (QStringList{"/m/a.avi|/m/a.wmv", "/m/b.avi|/m/b.wmv"}));
        QVERIFY(!QFileInfo::exists(r.claimed));
    }

    // The window's ticks, through the program's intake, add jobs with the
    // tick's profile to the window's list, which turns its buttons on.
    void windowTickAddsJobs()
    {
        WindowFixture f;
        const QString file = f.tc.programFolder.filePath("tonvel.lst");
        HandOffIntake intake(file, f.window.list(), f.window.control(), 0ms);
        connect(&f.window, &FrmJobletIn::handOffDue, &intake, &HandOffIntake::poll);
        f.get<QComboBox>("CmbProfile")->setCurrentText("Qimto Audio 32K Mono");
        for (const char *content : {"/m/a.avi\r\n", "/m/A.avi\r\n/m/b.avi\r\n"}) {
            QVERIFY(writeFile(file, content));
            f.window.Timer3_Timer();
        }
        QCOMPARE(f.window.list().inputFiles(), (QStringList{"/m/a.avi", "/m/b.avi"}));
        QCOMPARE(f.window.list().item(2).profile, QString("Qimto Audio 32K Mono"));
        QCOMPARE(f.enabledButtons(), panelButtons.mid(0, 7));
    }
};

QTEST_MAIN(Tst_HandOffPoller)
#include "tst_handoffpoller.moc"
