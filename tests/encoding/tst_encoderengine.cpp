#include "FakeEncoderEngine.h"

#include <QtTest>

#include <optional>
#include <unistd.h>

using namespace joblet;

// The engine's and its encoder's contract; tst_ffmpegengine covers what
// needs real media.
class Tst_EncoderEngine : public QObject {
    Q_OBJECT

private:
    std::shared_ptr<FakeEngineScript> m_script;
    std::unique_ptr<FakeEncoderEngine> m_engine;
    QStringList m_events; // "state N" / "error N" / "ended <end> <number> <note>"
    std::optional<QTemporaryDir> m_dir;
    QString m_input;

    // A ready job, less the part `missing` names.
    void prepare(const QString &missing = {})
    {
        SourceGroup &group = m_engine->SourceGroupCollection().Add(QStringLiteral("SrcList"));
        if (missing != "no source")
            group.AutoSetFileSource(m_input);
        if (missing != "no profile")
            group.setProfile(m_engine->ProfileCollection().Item(0));
        if (missing != "no output")
            m_engine->File().setLocalFileName(m_dir->filePath("out.wmv"));
    }

private Q_SLOTS:
    void init()
    {
        m_dir.emplace();
        m_input = m_dir->filePath("in.avi");
        QVERIFY(QFile(m_input).open(QIODevice::WriteOnly));
        m_script = std::make_shared<FakeEngineScript>();
        m_engine = std::make_unique<FakeEncoderEngine>(m_script);
        m_events.clear();
        connect(m_engine.get(), &EncoderEngine::RunStateChanged, this,
                [this](qint32 s) { m_events << QStringLiteral("state %1").arg(s); });
        connect(m_engine.get(), &EncoderEngine::OnError, this,
                [this](qint32 n) { m_events << QStringLiteral("error %1").arg(n); });
        connect(m_engine.get(), &EncoderEngine::jobEnded, this, [this](const JobOutcome &o) {
            m_events << QStringLiteral("ended %1 %2 %3").arg(int(o.end)).arg(o.number).arg(o.done() ? o.note : o.text);
        });
    }

    void startChecks_data()
    {
        QTest::addColumn<qint32>("expected");
        QTest::newRow("no source") << EngineError::NoSource;
        QTest::newRow("no profile") << EngineError::NoProfile;
        QTest::newRow("no output") << EngineError::NoOutput;
        QTest::newRow("output is a hard link to the input") << EngineError::OutputIsInput;
        QTest::newRow("output is a symlink to the input") << EngineError::OutputIsInput;
        QTest::newRow("output is another file") << 0;
    }

    void startChecks()
    {
        const QString setup = QTest::currentDataTag();
        prepare(setup);
        const QString output = m_dir->filePath("out.wmv");
        if (setup.contains("hard link"))
            QCOMPARE(::link(QFile::encodeName(m_input).constData(), QFile::encodeName(output).constData()), 0);
        else if (setup.contains("symlink"))
            QVERIFY(QFile::link(m_input, output));
        else if (setup.contains("another"))
            QVERIFY(QFile(output).open(QIODevice::WriteOnly));

        QTEST(startFailure(*m_engine), "expected");
        // A refused Start must neither reach the job nor change the state.
        const bool started = setup.contains("another");
        QCOMPARE(m_script->log.contains("Start " + m_input), started);
        QCOMPARE(m_engine->RunState(), started ? RunStarting : RunStopped);
    }

    void jobOutcomes_data()
    {
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QStringList>("events");
        const qint32 n = EngineError::DecodeFailed;
        QTest::newRow("finish") << int(FakeJobPlan::Finish)
                                << QStringList{"state 1", "state 2", "state 5", "ended 0 0 cut short"};
        QTest::newRow("fail") << int(FakeJobPlan::Fail)
                              << QStringList{"state 1", QStringLiteral("error %1").arg(n), "state 5",
                                             QStringLiteral("ended 2 %1 cut short").arg(n)};
        // A job that never began never ends.
        QTest::newRow("fail at start") << int(FakeJobPlan::FailAtStart) << QStringList{};
    }

    void jobOutcomes()
    {
        QFETCH(int, outcome);
        QFETCH(QStringList, events);
        m_script->setJob(m_input, FakeJobPlan::Outcome(outcome), EngineError::DecodeFailed, "cut short");
        prepare();
        QCOMPARE(startFailure(*m_engine), outcome == FakeJobPlan::FailAtStart ? EngineError::DecodeFailed : 0);
        QTRY_COMPARE(m_events.size(), events.size());
        QCoreApplication::processEvents();
        QCOMPARE(m_events, events); // the error always before the RunStopped it caused, one end
        QCOMPARE(m_engine->RunState(), RunStopped);
        QCOMPARE(m_engine->ErrorState(), outcome == FakeJobPlan::Fail ? EngineError::DecodeFailed : 0);

        // The next Start forgets the last job's error.
        m_script->setJob(m_input, FakeJobPlan::Hang);
        m_engine->Start();
        QCOMPARE(m_engine->ErrorState(), 0);
        QVERIFY(m_engine->ErrorDescription().isEmpty());
    }

    void busyStartAndStaleReportsAfterStop()
    {
        m_script->setJob(m_input, FakeJobPlan::Hang);
        prepare();
        m_engine->Stop(); // idle: nothing to do
        QVERIFY(m_script->log.filter("Stop").isEmpty());
        m_engine->Start();
        QTRY_COMPARE(m_engine->RunState(), RunRunning);
        QCOMPARE(startFailure(*m_engine), EngineError::Busy);
        QCOMPARE(m_engine->RunState(), RunRunning);
        QCOMPARE(m_script->log.count("Start " + m_input), 1);

        m_events.clear();
        m_engine->Stop();
        QCOMPARE(m_events, QStringList({"state 5", QStringLiteral("ended 1 %1 %2").arg(EngineError::Stopped).arg(EngineError::describe(EngineError::Stopped))}));
        // The stopped job's worker reports late.
        m_engine->failJob(EngineError::WriteFailed);
        m_engine->finishJob();
        QCoreApplication::processEvents();
        QCOMPARE(m_events.size(), 2);
        QCOMPARE(m_engine->ErrorState(), 0);

        // A stop that comes after the output is in place finds the job done.
        m_script->stopFindsFinished = true;
        m_engine->Start();
        m_events.clear();
        m_engine->Stop();
        QCOMPARE(m_events, QStringList({"state 5", "ended 0 0 "}));
    }
};

QTEST_GUILESS_MAIN(Tst_EncoderEngine)
#include "tst_encoderengine.moc"
