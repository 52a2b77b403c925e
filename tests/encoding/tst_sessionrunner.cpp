#include "FakeEncoderEngine.h"
#include "MediaFixtures.h"

#include "batch/BatchList.h"
#include "encoding/EncoderFailure.h"
#include "encoding/EngineFactory.h"
#include "encoding/ProfileCatalogue.h"
#include "encoding/SessionRunner.h"
#include "schedule/Clock.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

using namespace joblet;

namespace {

// Hands out a time that moves on by a minute at every reading, so that a
// report's start and end differ.
class SteppingClock : public Clock {
public:
    explicit SteppingClock(QTime first) : m_next(QDate(2024, 5, 6), first) {}
    QDateTime now() const override
    {
        const QDateTime t = m_next;
        m_next = m_next.addSecs(60);
        return t;
    }
    static QString textAt(QTime time) { return SteppingClock(time).timeText(); }

private:
    mutable QDateTime m_next;
};

// Reports an error while its job is still running, as a real engine's
// worker does: the job's stopped state follows only later.
class EarlyErrorEngine : public FakeEncoderEngine {
public:
    using FakeEncoderEngine::FakeEncoderEngine;
    void reportError(qint32 number) { postError(lastJob().id, number, EngineError::describe(number)); }
};

struct ClockInstaller {
    explicit ClockInstaller(const Clock &clock) { Clock::setInstance(&clock); }
    ~ClockInstaller() { Clock::setInstance(nullptr); }
};

// A list, a runner over fake engines, and a log of everything the runner
// signals, in order.
class Harness : public QObject {
public:
    FakeEngineInstaller fakes;
    BatchList list;
    SessionRunner runner {list};
    QStringList events;
    // Called for every run-state change of the run's engine.
    std::function<void(FakeEncoderEngine &, qint32)> onState;
    // Called for every status text.
    std::function<void(const QString &)> onStatus;

    Harness()
    {
        connect(&runner, &SessionRunner::engineCreated, this, [this](EncoderEngine *engine) {
            events << QStringLiteral("created");
            auto *fake = static_cast<FakeEncoderEngine *>(engine);
            connect(fake, &EncoderEngine::RunStateChanged, this, [this, fake](qint32 s) {
                if (onState)
                    onState(*fake, s);
            });
        });
        connect(&runner, &SessionRunner::engineReleased, this, [this] { events << "released"; });
        connect(&runner, &SessionRunner::statusTextChanged, this, [this](const QString &t) {
            events << t;
            if (onStatus)
                onStatus(t);
        });
        connect(&runner, &SessionRunner::reportStarted, this, [this](const QString &t) { events << "start " + t; });
        connect(&runner, &SessionRunner::reportLine, this, [this](const QString &t) { events << t; });
        connect(&runner, &SessionRunner::reportFinished, this, [this](const QString &t) { events << "end " + t; });
        connect(&runner, &SessionRunner::timedSessionEnded, this, [this] { events << "session ended"; });
    }

    void add(const QString &name, const QString &result = {}, const QString &profile = DefaultProfileName)
    {
        list.append(BatchItem {"/in/" + name + ".avi", "/out/" + name + ".wmv", profile, result, {}});
    }
    QString input(const QString &name) const { return "/in/" + name + ".avi"; }
    QString result(int row) const { return list.cell(row, BatchItem::ResultKey); }
    QString detail(int row) const { return list.item(row).resultDetail; }
    QStringList engineCalls(const QString &prefix) const { return fakes.sharedScript()->log.filter(prefix); }
    QStringList reportEvents() const
    {
        QStringList r;
        for (const QString &e : events)
            if (e.startsWith("start ") || e.startsWith("File: ") || e.startsWith("end ") || e == "session ended")
                r << e;
        return r;
    }
};

// QCoreApplication::exit() leaves every later event loop of this thread
// refusing to run until the application's own loop has run once.
void recoverFromExit()
{
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

} // namespace

class Tst_SessionRunner : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void resultText_data()
    {
        QTest::addColumn<qint32>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("finished") << 0 << "Done";
        QTest::newRow("no profile") << 1 << "Error:1";
        QTest::newRow("upper-case digits") << 91 << "Error:5B";
        QTest::newRow("negative") << -2147024894 << "Error:80070002";
        QTest::newRow("top bit set") << EngineError::code(0xC00D1B71) << "Error:C00D1B71";
    }

    void resultText()
    {
        QFETCH(qint32, code);
        QTEST(SessionRunner::resultText(code), "text");
    }

    // ---- one job per row ----

    void jobResult_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("setup"); // how the fake treats the input
        QTest::addColumn<qint32>("number");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<bool>("reachesStart");

        const QString def = DefaultProfileName;
        QTest::newRow("finishes") << def << "finish" << 0 << "Done" << "" << true;
        QTest::newRow("profile in other case") << def.toLower() << "finish" << 0 << "Done" << "" << true;
        QTest::newRow("unknown profile") << "Nothing Like It" << "finish" << 0 << "Error:1"
                                         << "No installed profile is named \"Nothing Like It\"." << false;
        QTest::newRow("trailing blank in profile") << def + " " << "finish" << 0 << "Error:1"
                                                   << "No installed profile is named \"" + def + " \"." << false;
        QTest::newRow("error event") << def << "fail" << EngineError::DecodeFailed << "Error:A04B0007"
                                     << "scripted failure" << true;
        QTest::newRow("error event, negative") << def << "fail" << -2147024894 << "Error:80070002"
                                               << "scripted failure" << true;
        QTest::newRow("error event, small") << def << "fail" << 91 << "Error:5B" << "scripted failure" << true;
        QTest::newRow("start fails") << def << "start fails" << EngineError::NoMatchingStreams
                                     << "Error:A04B0005" << "scripted failure" << true;
        QTest::newRow("input unusable") << def << "bad input" << EngineError::UnrecognisedMedia
                                        << "Error:C00D1B71" << "scripted failure" << false;
    }

    void jobResult()
    {
        QFETCH(QString, profile);
        QFETCH(QString, setup);
        QFETCH(qint32, number);
        QFETCH(bool, reachesStart);
        Harness h;
        h.add("a", "Error:1", profile);
        h.list.setResultDetail(1, "earlier failure");
        const QString in = h.input("a");
        const QString why = "scripted failure";
        if (setup == "fail")
            h.fakes->setJob(in, FakeJobPlan::Fail, number, why);
        else if (setup == "start fails")
            h.fakes->setJob(in, FakeJobPlan::FailAtStart, number, why);
        else if (setup == "bad input")
            h.fakes->setSourceFailure(in, number, why);

        QCOMPARE(h.runner.run(), SessionRunner::Outcome::Finished);
        QTEST(h.result(1), "result");
        QTEST(h.detail(1), "detail");
        QCOMPARE(h.engineCalls("Start ").size(), reachesStart ? 1 : 0);
        if (setup == "fail")
            QCOMPARE(h.runner.EncoderError(), number);
    }

    void onlyExactDoneIsSkipped()
    {
        Harness h;
        h.add("a", "Done");
        h.add("b", "done");
        h.add("c", "Error:A04B0007");
        h.add("d");
        QCOMPARE(h.runner.run(), SessionRunner::Outcome::Finished);
        QCOMPARE(h.engineCalls("Start "), QStringList({"Start /in/b.avi", "Start /in/c.avi", "Start /in/d.avi"}));
        for (int row = 1; row <= 4; ++row)
            QCOMPARE(h.result(row), QString("Done"));
    }

    void rowsAddedDuringTheRunAreRun()
    {
        Harness h;
        h.add("a");
        h.onState = [&](FakeEncoderEngine &, qint32 s) {
            if (s == RunRunning && h.list.count() < 3)
                h.add(QString("late%1").arg(h.list.count()));
        };
        QCOMPARE(h.runner.run(), SessionRunner::Outcome::Finished);
        QCOMPARE(h.list.count(), 3);
        QCOMPARE(h.engineCalls("Start ").size(), 3);
        QCOMPARE(h.result(3), QString("Done"));
    }

    void nextRowIsSelectedAndHighlighted()
    {
        Harness h;
        h.add("a");
        h.add("b", "Done");
        h.add("c");
        QStringList seen; // selected/highlighted row as each job starts
        h.onState = [&](FakeEncoderEngine &e, qint32 s) {
            if (s == RunRunning)
                seen << QString("%1 %2/%3").arg(e.lastJob().inputPath).arg(h.list.selectedRow()).arg(h.list.highlightedRow());
        };
        h.runner.run();
        QCOMPARE(seen, QStringList({"/in/a.avi 0/0", "/in/c.avi 3/3"}));
        QCOMPARE(h.list.selectedRow(), 3); // nothing beyond the last row
    }

    void signalsOfARun()
    {
        Harness h;
        h.add("a");
        h.add("b", {}, "Nothing Like It");
        h.add("c");
        // The engine is still winding down when its error arrives; the next
        // job must not find it busy.
        h.fakes->setJob(h.input("a"), FakeJobPlan::Fail, EngineError::EncodeFailed);
        int groups = -1;
        QString groupName;
        h.onState = [&](FakeEncoderEngine &e, qint32) {
            groups = e.SourceGroupCollection().Count();
            groupName = e.SourceGroupCollection().Item(0).Name();
            QCOMPARE(h.runner.Encoder(), &e);
        };
        h.runner.run();
        QCOMPARE(h.events, QStringList({"created", "Encoder Running", "Encoder Stopped", "Encoder Running",
                                        "Encoder Stopped", "released"}));
        QCOMPARE(h.result(1), QString("Error:A04B0008"));
        QCOMPARE(h.result(3), QString("Done"));
        QCOMPARE(groups, 1); // every job reuses the run's one group
        QCOMPARE(groupName, QString("Joblet"));
        QCOMPARE(h.runner.Encoder(), nullptr);
        QCOMPARE(h.fakes->alive, 0);
        QVERIFY(!h.runner.isRunning());
    }

    void errorBeforeTheEngineHasStopped()
    {
        Harness h; // its installer puts the factory back afterwards
        EngineFactory::setCreator([script = h.fakes.sharedScript()] { return std::make_unique<EarlyErrorEngine>(script); });
        h.add("a");
        h.add("b");
        h.fakes->setJob(h.input("a"), FakeJobPlan::Hang);
        h.onState = [&](FakeEncoderEngine &e, qint32 s) {
            if (s == RunRunning && e.lastJob().inputPath == h.input("a"))
                static_cast<EarlyErrorEngine &>(e).reportError(EngineError::DecodeFailed);
        };
        QCOMPARE(h.runner.run(), SessionRunner::Outcome::Finished);
        QCOMPARE(h.result(1), QString("Error:A04B0007"));
        QCOMPARE(h.detail(1), EngineError::describe(EngineError::DecodeFailed));
        QCOMPARE(h.result(2), QString("Done")); // not refused as busy
    }

    void emptyListRunsNothing()
    {
        Harness h;
        QCOMPARE(h.runner.run(), SessionRunner::Outcome::Finished);
        QCOMPARE(h.events, QStringList({"created", "released"}));
        QVERIFY(h.fakes->log.isEmpty());
    }

    // ---- failures outside a job ----

    void noEngineFailsTheRun()
    {
        Harness h;
        h.add("a");
        h.fakes->creationFailure = EngineError::NoEncoder;
        try {
            h.runner.run();
            QFAIL("run() did not throw");
        } catch (const EncoderFailure &f) {
            QCOMPARE(f.number(), EngineError::NoEncoder);
        }
        QVERIFY(!h.runner.isRunning());
        QCOMPARE(h.runner.Encoder(), nullptr);
        QVERIFY(h.events.isEmpty());
        QCOMPARE(h.result(1), QString());
    }

    void secondRunWhileRunningIsRefused()
    {
        Harness h;
        h.add("a");
        qint32 refused = 0;
        h.onState = [&](FakeEncoderEngine &, qint32 s) {
            if (s != RunRunning)
                return;
            try {
                h.runner.run();
            } catch (const EncoderFailure &f) {
                refused = f.number();
            }
        };
        QCOMPARE(h.runner.run(), SessionRunner::Outcome::Finished);
        QCOMPARE(refused, EngineError::Busy);
        QCOMPARE(h.fakes->created, 1);
        QCOMPARE(h.result(1), QString("Done"));
    }

    // ---- Stop ----

    void stopEndsTheRun_data()
    {
        QTest::addColumn<bool>("timed");
        QTest::addColumn<bool>("whileStarting");
        QTest::newRow("running") << false << false;
        QTest::newRow("running, timed") << true << false;
        QTest::newRow("starting") << false << true;
        QTest::newRow("starting, timed") << true << true;
    }

    void stopEndsTheRun()
    {
        QFETCH(bool, timed);
        QFETCH(bool, whileStarting);
        Harness h;
        h.add("a");
        h.add("b");
        h.add("c", "Error:1");
        h.fakes->setJob(h.input("b"), FakeJobPlan::Hang);
        h.runner.setTimedSession(timed);

        bool asked = !whileStarting;
        bool releasedAtOnce = false;
        const auto stopNow = [&] {
            asked = h.runner.stop();
            releasedAtOnce = h.runner.Encoder() == nullptr;
        };
        if (whileStarting) {
            // "Encoder Running" follows Start at once, before the engine runs.
            h.onStatus = [&](const QString &t) {
                if (t == "Encoder Running" && h.fakes->lastEngine->lastJob().inputPath == h.input("b")) {
                    QCOMPARE(h.fakes->lastEngine->RunState(), RunStarting);
                    stopNow();
                }
            };
        } else {
            h.onState = [&](FakeEncoderEngine &e, qint32 s) {
                if (s == RunRunning && e.lastJob().inputPath == h.input("b"))
                    stopNow();
            };
        }

        QCOMPARE(h.runner.run(), SessionRunner::Outcome::Stopped);
        QCOMPARE(asked, !whileStarting);
        QVERIFY(releasedAtOnce);
        QCOMPARE(h.engineCalls("Stop").size(), whileStarting ? 0 : 1);
        QCOMPARE(h.engineCalls("Start "), QStringList({"Start /in/a.avi", "Start /in/b.avi"}));
        QCOMPARE(h.result(1), QString("Done"));
        QCOMPARE(h.result(2), QString("Error:A04B000A")); // incomplete, so run again next time
        QCOMPARE(h.detail(2), EngineError::describe(EngineError::Stopped));
        QCOMPARE(h.result(3), QString("Error:1"));
        QCOMPARE(h.events.count("released"), 1);
        QCOMPARE(h.fakes->alive, 0);
        QVERIFY(!h.runner.isRunning());

        // A running engine's stop ends the timed session; one still starting
        // leaves it to the scheduler. Either way the report is not finished.
        const bool stillTimed = timed && whileStarting;
        QCOMPARE(h.runner.TimedSession(), stillTimed);
        QCOMPARE(h.events.count("session ended"), timed && !whileStarting ? 1 : 0);
        QStringList report;
        if (timed)
            report << "File: /out/a.wmv Result: Done";
        if (stillTimed)
            report << "File: /out/b.wmv Result: Error:A04B000A";
        if (timed && !whileStarting)
            report << "session ended";
        const QStringList reported = h.reportEvents();
        QCOMPARE(reported.value(0).startsWith("start "), timed);
        QCOMPARE(reported.mid(1), report);

        // The next run takes up the stopped row again.
        h.onState = nullptr;
        h.onStatus = nullptr;
        h.fakes->setJob(h.input("b"), FakeJobPlan::Finish);
        h.runner.setTimedSession(false);
        QCOMPARE(h.runner.run(), SessionRunner::Outcome::Finished);
        QCOMPARE(h.result(2), QString("Done"));
        QCOMPARE(h.result(3), QString("Done"));
    }

    void stopWithoutEngineThrows()
    {
        Harness h;
        QVERIFY_THROWS_EXCEPTION(EncoderFailure, h.runner.stop());

        h.add("a");
        h.fakes->setJob(h.input("a"), FakeJobPlan::Hang);
        bool secondThrew = false;
        h.onState = [&](FakeEncoderEngine &, qint32 s) {
            if (s != RunRunning)
                return;
            h.runner.stop();
            try {
                h.runner.stop();
            } catch (const EncoderFailure &) {
                secondThrew = true;
            }
        };
        QCOMPARE(h.runner.run(), SessionRunner::Outcome::Stopped);
        QVERIFY(secondThrew);
        QCOMPARE(h.engineCalls("Stop").size(), 1);
    }

    // ---- timed session ----

    void timedRunReports()
    {
        const QTime t0(21, 30, 5);
        SteppingClock clock(t0);
        ClockInstaller installed(clock);
        Harness h;
        h.add("a", "Done");
        h.add("b", {}, "Nothing Like It");
        h.add("c");
        h.runner.setTimedSession(true);
        QCOMPARE(h.runner.run(), SessionRunner::Outcome::Finished);
        QCOMPARE(h.reportEvents(), QStringList({"start " + SteppingClock::textAt(t0),
                                                "File: /out/a.wmv Result: Done",
                                                "File: /out/b.wmv Result: Error:1",
                                                "File: /out/c.wmv Result: Done", "session ended",
                                                "end " + SteppingClock::textAt(t0.addSecs(60))}));
        QVERIFY(!h.runner.TimedSession());
        QCOMPARE(h.events.last(), "end " + SteppingClock::textAt(t0.addSecs(60)));
    }

    void untimedRunReportsNothing()
    {
        Harness h;
        h.add("a", "Done");
        h.add("b");
        h.runner.run();
        QVERIFY(h.reportEvents().isEmpty());
    }

    // ---- leaving the application during a run ----

    void quitDuringRun_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("exit while running") << "exit";
        QTest::newRow("exit before the run") << "exit first";
        QTest::newRow("stop from a timer") << "timer";
    }

    void quitDuringRun()
    {
        QFETCH(QString, how);
        Harness h;
        h.add("a");
        h.add("b");
        h.fakes->setJob(h.input("a"), FakeJobPlan::Hang);
        if (how == "exit") {
            h.onState = [&](FakeEncoderEngine &, qint32 s) {
                if (s == RunRunning)
                    QCoreApplication::exit(0);
            };
        } else if (how == "exit first") {
            QCoreApplication::exit(0);
        } else {
            QTimer::singleShot(0, &h.runner, [&] { h.runner.stop(); });
        }

        const SessionRunner::Outcome outcome = h.runner.run();
        if (how.startsWith("exit"))
            recoverFromExit();
        QCOMPARE(outcome, SessionRunner::Outcome::Stopped);
        QCOMPARE(h.engineCalls("Start "), QStringList("Start /in/a.avi"));
        QCOMPARE(h.result(1), QString("Error:A04B000A"));
        QCOMPARE(h.result(2), QString());
        QCOMPARE(h.fakes->alive, 0);
        QVERIFY(!h.runner.isRunning());
        QCOMPARE(h.events.count("released"), 1);
    }

    // ---- the real engine ----

    void realEngine()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        av_log_set_level(AV_LOG_QUIET); // the broken clip is broken on purpose
        test::MediaFixtures media(dir.path());
        const QString first = media.audioVideoClip("first.avi", 1.0);
        const QString last = media.audioVideoClip("last.avi", 1.0);
        // A sound header over video data scrambled past decoding.
        const QString broken = media.path("broken.avi");
        QVERIFY2(!first.isEmpty() && !last.isEmpty(), qPrintable(media.lastError()));
        QVERIFY2(media.ffmpeg({"-f", "lavfi", "-i", "testsrc=size=320x240:rate=30:duration=1", "-c:v", "mpeg4",
                               "-bsf:v", "noise=amount=1", broken}),
                 qPrintable(media.lastError()));

        BatchList list;
        SessionRunner runner(list);
        for (const QString &in : {first, broken, last})
            list.append(BatchItem {in, dir.filePath(QFileInfo(in).baseName() + ".wmv"), DefaultProfileName, {}, {}});
        QCOMPARE(runner.run(), SessionRunner::Outcome::Finished);

        QCOMPARE(list.cell(1, BatchItem::ResultKey), QString("Done"));
        QCOMPARE(list.cell(2, BatchItem::ResultKey), SessionRunner::resultText(EngineError::DecodeFailed));
        QVERIFY(!list.item(2).resultDetail.isEmpty());
        QCOMPARE(list.cell(3, BatchItem::ResultKey), QString("Done"));
        for (int row : {1, 3}) {
            const QByteArray out = QFile::encodeName(list.cell(row, BatchItem::OutputFileKey));
            AVFormatContext *ic = nullptr;
            QVERIFY(avformat_open_input(&ic, out.constData(), nullptr, nullptr) == 0);
            const bool readable = avformat_find_stream_info(ic, nullptr) >= 0;
            const unsigned streams = ic->nb_streams;
            avformat_close_input(&ic);
            QVERIFY(readable);
            QCOMPARE(streams, 2u);
        }
        QVERIFY(!runner.isRunning());
        QCOMPARE(runner.Encoder(), nullptr);
    }
};

QTEST_GUILESS_MAIN(Tst_SessionRunner)
#include "tst_sessionrunner.moc"
