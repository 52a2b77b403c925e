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
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <utility>

using namespace joblet;

namespace {

// Moves on a minute at every reading, so a report's start and end differ.
class SteppingClock : public Clock {
public:
    mutable QDateTime next {QDate(2024, 5, 6), QTime(21, 30, 5)};
    QDateTime now() const override { return std::exchange(next, next.addSecs(60)); }
};

// Reports an error while its job still runs, as a real engine's worker does;
// the stopped state follows only when the engine is told to stop.
class EarlyErrorEngine : public FakeEncoderEngine {
public:
    using FakeEncoderEngine::FakeEncoderEngine;
    void reportError(qint32 number) { postError(lastJob().id, number, EngineError::describe(number)); }
};

// A list, a runner over fake engines, and everything the runner signals, in order.
class Harness : public QObject {
public:
    FakeEngineInstaller fakes;
    BatchList list;
    SessionRunner runner {list};
    QStringList events;
    std::function<void(FakeEncoderEngine &, qint32)> onState; // the run's engine changed state
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
        connect(&runner, &SessionRunner::statusTextChanged, this, [this](const QString &t) {
            events << t;
            if (onStatus)
                onStatus(t);
        });
        const auto log = [this](const QString &prefix) { return [this, prefix](const QString &t) { events << prefix + t; }; };
        connect(&runner, &SessionRunner::reportStarted, this, log("start "));
        connect(&runner, &SessionRunner::reportLine, this, log({}));
        connect(&runner, &SessionRunner::reportFinished, this, log("end "));
        connect(&runner, &SessionRunner::engineReleased, this, [this] { events << "released"; });
        connect(&runner, &SessionRunner::timedSessionEnded, this, [this] { events << "session ended"; });
    }

    void add(const QString &name, const QString &result = {}, const QString &profile = DefaultProfileName)
    {
        list.append(BatchItem {input(name), "/out/" + name + ".wmv", profile, result, {}});
    }
    static QString input(const QString &name) { return "/in/" + name + ".avi"; }
    QString result(int row) const { return list.cell(row, BatchItem::ResultKey); }
    QString detail(int row) const { return list.item(row).resultDetail; }
    QStringList engineCalls(const QString &prefix) const { return fakes.sharedScript()->log.filter(prefix); }
    QStringList reportEvents() const
    {
        QStringList r = events;
        r.removeIf([](const QString &e) { return e == "created" || e == "released" || e.startsWith("Encoder "); });
        return r;
    }
};

// The number run() throws, 0 when it does not.
qint32 runFailure(SessionRunner &runner)
{
    try {
        runner.run();
    } catch (const EncoderFailure &f) {
        return f.number();
    }
    return 0;
}

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
    // Also the result text: the code in upper-case hex, unpadded, as 32 bits.
    void jobResult_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("setup"); // how the fake treats the input
        QTest::addColumn<qint32>("number");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<bool>("reachesStart");
        const QString def = DefaultProfileName, why = "scripted failure";
        QTest::newRow("profile in other case") << def.toLower() << "finish" << 0 << "Done" << "" << true;
        QTest::newRow("unknown profile") << "Nothing Like It" << "finish" << 0 << "Error:1"
                                         << "No installed profile is named \"Nothing Like It\"." << false;
        QTest::newRow("trailing blank in profile") << def + " " << "finish" << 0 << "Error:1"
                                                   << "No installed profile is named \"" + def + " \"." << false;
        QTest::newRow("error event") << def << "fail" << EngineError::DecodeFailed << "Error:A04B0007" << why << true;
        QTest::newRow("error event, small") << def << "fail" << 91 << "Error:5B" << why << true;
        QTest::newRow("start fails") << def << "start fails" << EngineError::NoMatchingStreams << "Error:A04B0005"
                                     << why << true;
        QTest::newRow("input unusable") << def << "bad input" << EngineError::UnrecognisedMedia << "Error:C00D1B71"
                                        << why << false;
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
        if (setup == "fail")
            h.fakes->setJob(h.input("a"), FakeJobPlan::Fail, number, "scripted failure");
        else if (setup == "start fails")
            h.fakes->setJob(h.input("a"), FakeJobPlan::FailAtStart, number, "scripted failure");
        else if (setup == "bad input")
            h.fakes->setSourceFailure(h.input("a"), number, "scripted failure");

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
        QStringList seen; // selected/highlighted row as each job runs
        h.onState = [&](FakeEncoderEngine &e, qint32 s) {
            if (s == RunRunning)
                seen << QString("%1 %2/%3").arg(e.lastJob().inputPath).arg(h.list.selectedRow()).arg(h.list.highlightedRow());
        };
        QCOMPARE(h.runner.run(), SessionRunner::Outcome::Finished);
        QCOMPARE(seen, QStringList({"/in/b.avi 2/2", "/in/c.avi 3/3", "/in/d.avi 4/4"}));
        QCOMPARE(h.list.selectedRow(), 4); // nothing beyond the last row
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
        QCOMPARE(h.engineCalls("Start ").size(), 3);
        QCOMPARE(h.result(3), QString("Done"));
    }

    void signalsOfARun()
    {
        Harness h;
        h.add("a");
        h.add("b", {}, "Nothing Like It");
        h.add("c");
        h.fakes->setJob(h.input("a"), FakeJobPlan::Fail, EngineError::EncodeFailed);
        int groups = 0;
        h.onState = [&](FakeEncoderEngine &e, qint32) {
            groups = e.SourceGroupCollection().Count();
            QCOMPARE(h.runner.Encoder(), &e);
        };
        h.runner.run();
        // No report lines: the run is not timed.
        QCOMPARE(h.events, QStringList({"created", "Encoder Running", "Encoder Stopped", "Encoder Running",
                                        "Encoder Stopped", "released"}));
        QCOMPARE(h.result(3), QString("Done")); // a's failure did not leave the engine busy
        QCOMPARE(groups, 1); // every job reuses the run's one group
        QCOMPARE(h.runner.Encoder(), nullptr);
        QCOMPARE(h.fakes->alive, 0);
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

    void noEngineFailsTheRun()
    {
        Harness h;
        h.add("a");
        h.fakes->creationFailure = EngineError::NoEncoder;
        QCOMPARE(runFailure(h.runner), EngineError::NoEncoder);
        QVERIFY(!h.runner.isRunning());
        QVERIFY(h.events.isEmpty());
        QCOMPARE(h.result(1), QString());
    }

    void secondRunWhileRunningIsRefused()
    {
        Harness h;
        h.add("a");
        qint32 refused = 0;
        h.onState = [&](FakeEncoderEngine &, qint32 s) {
            if (s == RunRunning)
                refused = runFailure(h.runner);
        };
        QCOMPARE(h.runner.run(), SessionRunner::Outcome::Finished);
        QCOMPARE(refused, EngineError::Busy);
        QCOMPARE(h.fakes->created, 1);
        QCOMPARE(h.result(1), QString("Done"));
    }

    void stopEndsTheRun_data()
    {
        QTest::addColumn<bool>("timed");
        QTest::addColumn<bool>("whileStarting");
        QTest::addColumn<QStringList>("report"); // after its start; never finished
        const QString a = "File: /out/a.wmv Result: Done";
        QTest::newRow("running") << false << false << QStringList();
        QTest::newRow("running, timed") << true << false << QStringList{a, "session ended"};
        QTest::newRow("starting") << false << true << QStringList();
        // Stopping an engine not yet running leaves the timed session to the scheduler.
        QTest::newRow("starting, timed") << true << true << QStringList{a, "File: /out/b.wmv Result: Error:A04B000A"};
    }

    void stopEndsTheRun()
    {
        QFETCH(bool, timed);
        QFETCH(bool, whileStarting);
        Harness h;
        QVERIFY_THROWS_EXCEPTION(EncoderFailure, h.runner.stop()); // no run, nothing to stop
        h.add("a");
        h.add("b");
        h.add("c", "Error:1");
        h.fakes->setJob(h.input("b"), FakeJobPlan::Hang);
        h.runner.setTimedSession(timed);

        bool asked = !whileStarting, releasedAtOnce = false;
        const auto stopNow = [&] {
            asked = h.runner.stop();
            releasedAtOnce = h.runner.Encoder() == nullptr;
            QVERIFY_THROWS_EXCEPTION(EncoderFailure, h.runner.stop());
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
        QCOMPARE(h.result(2), QString("Error:A04B000A")); // incomplete, so run again next time
        QCOMPARE(h.detail(2), EngineError::describe(EngineError::Stopped));
        QCOMPARE(h.events.count("released"), 1);
        QCOMPARE(h.fakes->alive, 0);
        QVERIFY(!h.runner.isRunning());
        QCOMPARE(h.runner.TimedSession(), timed && whileStarting);
        const QStringList reported = h.reportEvents();
        QCOMPARE(reported.value(0).startsWith("start "), timed);
        QTEST(reported.mid(1), "report");

        // The next run takes up the stopped row again.
        h.onState = nullptr;
        h.onStatus = nullptr;
        h.fakes->setJob(h.input("b"), FakeJobPlan::Finish);
        QCOMPARE(h.runner.run(), SessionRunner::Outcome::Finished);
        QCOMPARE(h.result(2), QString("Done"));
    }

    void timedRunReports()
    {
        SteppingClock clock, expected;
        Clock::setInstance(&clock);
        const auto restore = qScopeGuard([] { Clock::setInstance(nullptr); });
        Harness h;
        h.add("a", "Done");
        h.add("b", {}, "Nothing Like It");
        h.add("c");
        h.runner.setTimedSession(true);
        QCOMPARE(h.runner.run(), SessionRunner::Outcome::Finished);
        const QString start = "start " + expected.timeText();
        const QString end = "end " + expected.timeText();
        QCOMPARE(h.reportEvents(), QStringList({start, "File: /out/a.wmv Result: Done", "File: /out/b.wmv Result: Error:1",
                                                "File: /out/c.wmv Result: Done", "session ended", end}));
        QCOMPARE(h.events.last(), end);
        QVERIFY(!h.runner.TimedSession());
    }

    // Leaving the application, or a timer's stop, while a job waits.
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
        QCOMPARE(h.fakes->alive, 0);
        QCOMPARE(h.events.count("released"), 1);
    }

    void realEngine()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        av_log_set_level(AV_LOG_QUIET); // the broken clip is broken on purpose
        test::MediaFixtures media(dir.path());
        const QString first = media.audioVideoClip("first.avi", 1.0);
        const QString last = media.audioVideoClip("last.avi", 1.0);
        const QString broken = media.path("broken.avi"); // video scrambled past decoding
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

        // The engine that failed still writes a whole file for the next job.
        AVFormatContext *ic = nullptr;
        QCOMPARE(avformat_open_input(&ic, QFile::encodeName(dir.filePath("last.wmv")).constData(), nullptr, nullptr), 0);
        const bool whole = avformat_find_stream_info(ic, nullptr) >= 0 && ic->nb_streams == 2;
        avformat_close_input(&ic);
        QVERIFY(whole);
    }
};

QTEST_GUILESS_MAIN(Tst_SessionRunner)
#include "tst_sessionrunner.moc"
