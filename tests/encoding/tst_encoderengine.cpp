#include "FakeEncoderEngine.h"

#include <QtTest>

#include <unistd.h>

using namespace joblet;

namespace {

// Profiles in FakeEngineScript's default (built-in) list.
constexpr int AudioVideoProfile = 0;
constexpr int AudioOnlyProfile = 3;

bool waitForState(EncoderEngine &engine, qint32 state)
{
    QSignalSpy spy(&engine, &EncoderEngine::RunStateChanged);
    while (engine.RunState() != state) {
        if (!spy.wait(5000))
            return false;
    }
    return true;
}

// Returns once everything already posted to `target` has been delivered.
void deliverPosted(QObject *target)
{
    QEventLoop loop;
    QMetaObject::invokeMethod(target, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    loop.exec();
}

bool touch(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write("x") == 1;
}

} // namespace

class Tst_EncoderEngine : public QObject {
    Q_OBJECT

private:
    std::shared_ptr<FakeEngineScript> m_script;
    std::unique_ptr<FakeEncoderEngine> m_engine;
    QStringList m_events; // "state N" / "error N", in delivery order
    QTemporaryDir m_dir;
    QString m_input;

    void prepare(int profile = AudioVideoProfile, QString output = {})
    {
        SourceGroup &group = m_engine->SourceGroupCollection().Add(QStringLiteral("SrcList"));
        group.AutoSetFileSource(m_input);
        group.setProfile(m_engine->ProfileCollection().Item(profile));
        m_engine->File().setLocalFileName(output.isEmpty() ? m_dir.filePath("out.wmv") : output);
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_input = m_dir.filePath("in.avi");
        QVERIFY(touch(m_input));
        m_script = std::make_shared<FakeEngineScript>();
        m_engine = std::make_unique<FakeEncoderEngine>(m_script);
        m_events.clear();
        connect(m_engine.get(), &EncoderEngine::RunStateChanged, this,
                [this](qint32 s) { m_events << QStringLiteral("state %1").arg(s); });
        connect(m_engine.get(), &EncoderEngine::OnError, this,
                [this](qint32 n) { m_events << QStringLiteral("error %1").arg(n); });
    }

    void cleanup()
    {
        m_engine.reset();
        QCOMPARE(m_script->alive, 0);
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    void startChecks_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<qint32>("expected");
        QTest::newRow("no source") << "no source" << EngineError::NoSource;
        QTest::newRow("no profile") << "no profile" << EngineError::NoProfile;
        QTest::newRow("no output") << "no output" << EngineError::NoOutput;
        QTest::newRow("no common streams") << "video input, audio profile"
                                           << EngineError::NoMatchingStreams;
        QTest::newRow("output path is input") << "same path" << EngineError::OutputIsInput;
        QTest::newRow("output is a hard link") << "hard link" << EngineError::OutputIsInput;
        QTest::newRow("output is a symlink") << "symlink" << EngineError::OutputIsInput;
        QTest::newRow("two real files") << "other file" << qint32(0);
    }

    void startChecks()
    {
        QFETCH(QString, setup);
        QFETCH(qint32, expected);
        if (setup.contains("video input"))
            m_script->setSource(m_input, 0, 1);
        SourceGroup &group = m_engine->SourceGroupCollection().Add(QStringLiteral("SrcList"));
        if (setup != "no source")
            group.AutoSetFileSource(m_input);
        if (setup != "no profile")
            group.setProfile(m_engine->ProfileCollection().Item(
                setup.contains("audio profile") ? AudioOnlyProfile : AudioVideoProfile));
        QString output = m_dir.filePath("out.wmv");
        if (setup == "same path")
            output = m_input;
        else if (setup == "hard link")
            QCOMPARE(::link(QFile::encodeName(m_input).constData(),
                            QFile::encodeName(output).constData()), 0);
        else if (setup == "symlink")
            QVERIFY(QFile::link(m_input, output));
        else if (setup == "other file")
            QVERIFY(touch(output));
        if (setup != "no output")
            m_engine->File().setLocalFileName(output);

        qint32 thrown = 0;
        try {
            m_engine->Start();
        } catch (const EncoderFailure &f) {
            thrown = f.number();
        }
        QCOMPARE(thrown, expected);
        // A refused Start must not reach the job or touch the state.
        QCOMPARE(m_script->log.contains("Start " + m_input), expected == 0);
        QCOMPARE(m_engine->RunState(), expected == 0 ? RunStarting : RunStopped);
    }

    void startWhileBusy()
    {
        m_script->setJob(m_input, FakeJobPlan::Hang);
        prepare();
        m_engine->Start();
        QVERIFY(waitForState(*m_engine, RunRunning));
        qint32 thrown = 0;
        try {
            m_engine->Start();
        } catch (const EncoderFailure &f) {
            thrown = f.number();
        }
        QCOMPARE(thrown, EngineError::Busy);
        QCOMPARE(m_engine->RunState(), RunRunning);
        QCOMPARE(m_script->log.count("Start " + m_input), 1);
    }

    void jobOutcomes_data()
    {
        QTest::addColumn<int>("outcome");
        QTest::addColumn<bool>("startThrows");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<qint32>("errorState");
        const qint32 n = EngineError::DecodeFailed;
        const QString e = QStringLiteral("error %1").arg(n);
        QTest::newRow("finish") << int(FakeJobPlan::Finish) << false
                                << QStringList{"state 1", "state 2", "state 5"} << qint32(0);
        QTest::newRow("fail") << int(FakeJobPlan::Fail) << false
                              << QStringList{"state 1", e, "state 5"} << n;
        QTest::newRow("fail at start") << int(FakeJobPlan::FailAtStart) << true
                                       << QStringList{"state 1", "state 5"} << qint32(0);
    }

    void jobOutcomes()
    {
        QFETCH(int, outcome);
        QFETCH(bool, startThrows);
        QFETCH(QStringList, events);
        QFETCH(qint32, errorState);
        m_script->setJob(m_input, FakeJobPlan::Outcome(outcome), EngineError::DecodeFailed,
                         QStringLiteral("frame 12 is damaged"));
        prepare();
        // Whoever sees RunStopped must already see the error it followed.
        qint32 errorAtStop = -1;
        connect(m_engine.get(), &EncoderEngine::RunStateChanged, this, [&](qint32 s) {
            if (s == RunStopped)
                errorAtStop = m_engine->ErrorState();
        });
        try {
            m_engine->Start();
            QVERIFY(!startThrows);
        } catch (const EncoderFailure &f) {
            QVERIFY(startThrows);
            QCOMPARE(f.number(), EngineError::DecodeFailed);
            QCOMPARE(f.description(), QStringLiteral("frame 12 is damaged"));
        }
        QVERIFY(waitForState(*m_engine, RunStopped));
        deliverPosted(m_engine.get());
        QCOMPARE(m_events, events);
        QCOMPARE(errorAtStop, errorState);
        QCOMPARE(m_engine->ErrorState(), errorState);
        QCOMPARE(m_engine->ErrorDescription().isEmpty(), errorState == 0);
    }

    void stopEndsJobAndDropsLateReports()
    {
        m_script->setJob(m_input, FakeJobPlan::Hang);
        prepare();
        m_engine->Stop(); // idle: nothing to do
        QVERIFY(m_script->log.filter("Stop").isEmpty());
        m_engine->Start();
        QVERIFY(waitForState(*m_engine, RunRunning));

        m_engine->Stop();
        QCOMPARE(m_engine->RunState(), RunStopped);
        QVERIFY(!m_engine->jobRunning());
        QCOMPARE(m_script->log.last(), QStringLiteral("Stop"));
        m_events.clear();

        // The stopped job's worker reports late.
        m_engine->failJob(EngineError::WriteFailed);
        m_engine->finishJob();
        deliverPosted(m_engine.get());
        QCOMPARE(m_events, QStringList());
        QCOMPARE(m_engine->ErrorState(), 0);
        QCOMPARE(m_engine->RunState(), RunStopped);
    }

    void nextStartClearsError()
    {
        m_script->setJob(m_input, FakeJobPlan::Fail, EngineError::DiskFull);
        prepare();
        m_engine->Start();
        QVERIFY(waitForState(*m_engine, RunStopped));
        QCOMPARE(m_engine->ErrorState(), EngineError::DiskFull);
        QCOMPARE(m_engine->ErrorDescription(), EngineError::describe(EngineError::DiskFull));

        m_script->setJob(m_input, FakeJobPlan::Hang);
        m_engine->Start();
        QCOMPARE(m_engine->ErrorState(), 0);
        QVERIFY(m_engine->ErrorDescription().isEmpty());
        m_engine->Stop();
    }

    void describeKnowsEveryNumber()
    {
        using namespace EngineError;
        const QList<qint32> numbers{FileNotFound, PathNotFound, AccessDenied, DiskFull,
                                    UnrecognisedMedia, NoEncoder, NoSource, NoProfile,
                                    NoOutput, NoMatchingStreams, OutputIsInput, DecodeFailed,
                                    EncodeFailed, WriteFailed, Stopped, Busy,
                                    InvalidArgument, Internal};
        const QString unknown = describe(0);
        QSet<QString> texts;
        for (qint32 n : numbers) {
            const QString text = describe(n);
            QVERIFY2(!text.isEmpty() && text != unknown, qPrintable(QString::number(n, 16)));
            texts << text;
            const EncoderFailure f(n);
            QCOMPARE(f.description(), text);
            QCOMPARE(QString::fromStdString(f.what()), text);
        }
        QCOMPARE(texts.size(), numbers.size());
    }
};

QTEST_GUILESS_MAIN(Tst_EncoderEngine)
#include "tst_encoderengine.moc"
