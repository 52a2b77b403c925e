#include "MediaFixtures.h"
#include "ReadBack.h"

#include "encoding/EncoderFailure.h"
#include "encoding/EngineFactory.h"

#include <QtTest>

#include "FileHelpers.h"
#include "FileSizeCap.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace joblet;
using joblet::test::MediaFixtures;

namespace {

ProfileSettings profile(bool video = true, bool audio = true)
{
    return {"test", {}, video ? VideoSettings {320, 240, 30, 512000} : VideoSettings {},
            audio ? AudioSettings {44100, 2, 64000} : AudioSettings {}};
}

// Everything the engine tells its caller, in the order it arrived.
struct Recorder : QObject {
    explicit Recorder(EncoderEngine &engine)
    {
        connect(&engine, &EncoderEngine::OnError, this,
                [this](qint32 n) { events << QStringLiteral("error %1").arg(quint32(n), 0, 16); });
        connect(&engine, &EncoderEngine::RunStateChanged, this,
                [this](qint32 s) { events << QStringLiteral("state %1").arg(s); });
        connect(&engine, &EncoderEngine::jobEnded, this, [this](const JobOutcome &o) {
            events << QStringLiteral("ended");
            last = o;
        });
    }
    QStringList events;
    JobOutcome last;
    bool done() const { return last.done() && events.contains("ended"); }
};

} // namespace

Q_DECLARE_METATYPE(ProfileSettings)

class TestFfmpegEngine : public QObject {
    Q_OBJECT

    QTemporaryDir m_mediaDir;
    std::unique_ptr<MediaFixtures> m_media;

    const EngineFactory m_engines;

    std::unique_ptr<EncoderEngine> engineFor(const QString &input, const ProfileSettings &settings,
                                             const QString &output)
    {
        auto engine = m_engines.create();
        SourceGroup &group = engine->SourceGroupCollection().Add(QStringLiteral("g"));
        group.AutoSetFileSource(m_media->path(input));
        group.setProfile(EncoderProfile(settings));
        engine->File().setLocalFileName(output);
        return engine;
    }

    // Runs the event loop until the engine reaches `state` or stops; a
    // watchdog, not a timing check, ten times longer under the sanitizers
    // (JOBLET_WATCHDOG_SCALE=10).
    static bool waitFor(EncoderEngine &engine, qint32 state = RunStopped)
    {
        QSignalSpy spy(&engine, &EncoderEngine::RunStateChanged);
        const QDeadlineTimer deadline(60000 * qMax(1, qEnvironmentVariableIntValue("JOBLET_WATCHDOG_SCALE")));
        while (engine.RunState() != state && engine.RunState() != RunStopped && !deadline.hasExpired()
               && spy.wait(int(qMax<qint64>(1, deadline.remainingTime()))))
            continue;
        return engine.RunState() == state;
    }

    // Hidden ones included: a left-over temporary file is a fault.
    static QStringList files(const QString &dir)
    {
        return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_mediaDir.isValid());
        av_log_set_level(AV_LOG_QUIET); // the damaged inputs are damaged on purpose
        m_media = std::make_unique<MediaFixtures>(m_mediaDir.path());
        MediaFixtures &m = *m_media;
        const QString small = "testsrc=size=160x120:rate=25:duration=", qcif = "testsrc=size=176x144:rate=25:duration=";
        // Video timestamps jumping by `by` at the second second, for one
        // picture (its presentation time only: decoding order stays valid) or from there on.
        const auto jump = [&](const char *name, const char *by, bool spike) {
            return QStringList {name, "-i", m.path("base.mkv"), "-c", "copy", "-bsf:v",
                                QString(spike ? "setts=pts='if(eq(N\\,30)\\,PTS+%1/TB\\,PTS)'"
                                              : "setts=ts='if(gte(N\\,30)\\,TS+%1/TB\\,TS)'").arg(by)};
        };
        QVERIFY2(m.make({
                     // 25 fps, so that the frame rate is converted.
                     {"silent.avi", "-f", "lavfi", "-i", qcif + "2", "-c:v", "mpeg4"},
                     {"frame.avi", "-f", "lavfi", "-i", qcif + "0.04", "-c:v", "mpeg4"},
                     {"still.bmp", "-f", "lavfi", "-i", small + "0.04", "-frames:v", "1", "-update", "1"},
                     // Every video packet scrambled: nothing decodable.
                     {"garbled.avi", "-f", "lavfi", "-i", small + "2", "-c:v", "mpeg4", "-bsf:v", "noise=amount=1"},
                     {"cut.mp4", "-f", "lavfi", "-i", small + "2", "-c:v", "mpeg4"},
                     {"base.mkv", "-f", "lavfi", "-i", "testsrc=size=160x120:rate=30:duration=2", "-f", "lavfi", "-i",
                      "sine=sample_rate=44100:duration=2", "-c:v", "mpeg4", "-c:a", "libmp3lame"},
                     jump("gap.mkv", "2", false), jump("spike.mkv", "2900", true), jump("spike49.mkv", "4.9", true),
                     jump("jump.mkv", "100000", false),
                     {"whole.asf", "-f", "lavfi", "-i", small + "1", "-f", "lavfi", "-i", "sine=duration=1", "-c:v",
                      "wmv2", "-c:a", "wmav2", "-f", "asf"}}),
                 qPrintable(m.lastError()));
        // long.avi: so many frames that a job is surely still running when stopped, yet quick to make.
        for (const QString &p : {m.audioVideoClip(), m.audioOnly(), m.audioVideoClip(QStringLiteral("cut.avi"), 3.0),
                                 m.audioVideoClip(QStringLiteral("long.avi"), 300.0, {64, 48}, 30)})
            QVERIFY2(!p.isEmpty(), qPrintable(m.lastError()));
        // Cut as a broken download would be: the MP4 loses its index, written last.
        for (const auto &[name, keep] : {std::pair {"cut.avi", 0.6}, std::pair {"cut.mp4", 0.5}})
            QVERIFY(QFile::resize(m.path(name), qint64(double(QFileInfo(m.path(name)).size()) * keep)));
        // An ASF whose header survives and whose data packets are all gone: the
        // header object's size follows its 16-byte GUID, the data object's own
        // 50-byte header comes next.
        const QByteArray asf = test::readAll(m.path("whole.asf"));
        QVERIFY(asf.size() > 24);
        QVERIFY(!m.writeFile("hollow.asf", asf.left(qsizetype(qFromLittleEndian<quint64>(asf.constData() + 16)) + 50)).isEmpty());
        // PCM WAV headers claiming what a row likes, over silence.
        for (const auto &[name, channels, rate, seconds] : {std::tuple {"1hz.wav", 1, 1, 4096.0},
                                                            std::tuple {"65ch.wav", 65, 48000, 0.1},
                                                            std::tuple {"64ch.wav", 64, 48000, 0.5}}) {
            const quint32 bytes = quint32(seconds * rate) * quint32(channels) * 2;
            QByteArray wav;
            QDataStream s(&wav, QIODevice::WriteOnly);
            s.setByteOrder(QDataStream::LittleEndian);
            s.writeRawData("RIFF", 4);
            s << quint32(36 + bytes);
            s.writeRawData("WAVEfmt ", 8);
            s << quint32(16) << quint16(1) << quint16(channels) << quint32(rate) << quint32(rate * channels * 2)
              << quint16(channels * 2) << quint16(16);
            s.writeRawData("data", 4);
            s << bytes;
            QVERIFY(!m.writeFile(name, wav + QByteArray(qsizetype(bytes), '\0')).isEmpty());
        }
    }

    // Unusable, damaged or hostile inputs and outputs: refused at once
    // (maxSeconds < 0) by the probe or by Start, touching neither input nor
    // output folder; or ended within a watchdog as `number`, an output at
    // most maxSeconds long.
    void badInputs_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<ProfileSettings>("settings");
        QTest::addColumn<QString>("output"); // empty: a fresh name in a fresh folder
        QTest::addColumn<qint32>("number");
        QTest::addColumn<double>("maxSeconds");
        QTest::addColumn<QString>("streams");
        MediaFixtures &m = *m_media;
        const ProfileSettings av = profile();
        const auto refused = [&](const char *name, const QString &input, qint32 number, const QString &output = {},
                                 const ProfileSettings &settings = profile()) {
            QTest::newRow(name) << input << settings << output << number << -1.0 << QString();
        };
        refused("missing file", m.path("nowhere.avi"), EngineError::FileNotFound);
        // Not regular: a pipe would be waited on for ever (Stop and signals
        // with it); folders and devices take the same check.
        const QString pipe = m.path("pipe.avi");
        QVERIFY(QFileInfo::exists(pipe) || ::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        refused("pipe", pipe, EngineError::NotRegularFile);
        refused("output a pipe", m.path("clip.avi"), EngineError::NotRegularFile, pipe);
        refused("text named .avi", m.textFile(), EngineError::UnrecognisedMedia);
        refused("mp4 without index", m.path("cut.mp4"), EngineError::UnrecognisedMedia);
        refused("no streams in common", m.path("tone.wav"), EngineError::NoMatchingStreams, {}, profile(true, false));

        const auto ends = [&](const char *name, const QString &input, qint32 number, double maxSeconds,
                              const QString &streams) {
            QTest::newRow(name) << input << av << QString() << number << maxSeconds << streams;
        };
        const QString avOut = "asf wmv2 320x240 sar 1:1 wmav2 44100 2";
        ends("timestamp gap of 2 s, filled", m.path("gap.mkv"), 0, 4.5, avOut);
        ends("one timestamp 2900 s out", m.path("spike.mkv"), 0, 2.5, avOut);
        // Under the break rule, yet no gap: stepped over, no freeze, no frames lost.
        ends("one timestamp 4.9 s out", m.path("spike49.mkv"), 0, 2.5, avOut);
        ends("timestamps jump 100000 s", m.path("jump.mkv"), 0, 2.5, avOut);
        // Refused before any large allocation, or failed later.
        ends("WAV claiming 1 Hz", m.path("1hz.wav"), EngineError::UnsupportedFormat, 0, "");
        ends("WAV of 65 channels", m.path("65ch.wav"), EngineError::UnsupportedChannelLayout, 0, "");
        ends("64-channel WAV, mixed down", m.path("64ch.wav"), 0, 0.7, "asf wmav2 44100 2");
        ends("ASF without packets", m.path("hollow.asf"), EngineError::NothingEncoded, 0, "");
    }
    void badInputs()
    {
        QFETCH(QString, input);
        QFETCH(ProfileSettings, settings);
        QFETCH(QString, output);
        QFETCH(qint32, number);
        QFETCH(double, maxSeconds);
        QVERIFY2(!input.isEmpty(), qPrintable(m_media->lastError()));
        QTemporaryDir out;
        const QByteArray before = QFileInfo(input).isFile() ? test::readAll(input) : QByteArray();
        const std::unique_ptr<EncoderEngine> made = m_engines.create();
        EncoderEngine &engine = *made;
        SourceGroup &group = engine.SourceGroupCollection().Add(QStringLiteral("g"));
        bool probed = false;
        try {
            group.AutoSetFileSource(input);
            probed = true;
            group.setProfile(EncoderProfile(settings));
            engine.File().setLocalFileName(output.isEmpty() ? out.filePath("o.wmv") : output);
            engine.Start();
        } catch (const EncoderFailure &e) {
            QCOMPARE(quint32(e.number()), quint32(number));
            QVERIFY(!e.description().isEmpty());
            QCOMPARE(group.hasSource(), probed);
            QCOMPARE(engine.RunState(), RunStopped);
            if (QFileInfo(input).isFile())
                QCOMPARE(test::readAll(input), before);
            QCOMPARE(files(out.path()), QStringList());
            return;
        }
        QVERIFY2(maxSeconds >= 0, "not refused");
        QVERIFY2(waitFor(engine), "watchdog: the job did not end");
        QCOMPARE(quint32(engine.ErrorState()), quint32(number));
        QCOMPARE(files(out.path()), number ? QStringList() : QStringList {"o.wmv"});
        const test::ReadBack back(out.filePath("o.wmv"));
        QTEST(number ? QString() : back.streams(), "streams");
        QVERIFY2(number || (back.seconds() > 0.3 && back.seconds() <= maxSeconds), qPrintable(QString::number(back.seconds())));
    }

    // What the probe finds ("audio video WxH"), then what the encode writes.
    void encodeWritesAsf_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("probed");
        QTest::addColumn<ProfileSettings>("settings");
        QTest::addColumn<QString>("streams");
        QTest::addColumn<double>("seconds"); // 0: a single picture; -1: whatever survived the cut
        const QString av = "asf wmv2 320x240 sar 1:1 wmav2 44100 2", a = "asf wmav2 44100 2", v = "asf wmv2 320x240 sar 1:1";
        QTest::newRow("a/v to a/v") << "clip.avi" << "1 1 320x240" << profile() << av << 2.0;
        QTest::newRow("a/v to audio") << "clip.avi" << "1 1 320x240" << profile(false, true) << a << 2.0;
        QTest::newRow("video only, 25 to 30 fps") << "silent.avi" << "0 1 176x144" << profile() << v << 2.0;
        // Complete but short: no "cut short" note for a length one frame off.
        QTest::newRow("video only, one frame") << "frame.avi" << "0 1 176x144" << profile() << v << 0.04;
        QTest::newRow("mono 48 kHz") << "tone.wav" << "1 0 0x0" << profile() << a << 2.0;
        QTest::newRow("still image") << "still.bmp" << "0 1 160x120" << profile() << v << 0.0;
        QTest::newRow("cut short") << "cut.avi" << "1 1 320x240" << profile() << av << -1.0;
    }
    void encodeWritesAsf()
    {
        QFETCH(QString, input);
        QFETCH(ProfileSettings, settings);
        QFETCH(double, seconds);
        QTemporaryDir out;
        const QString output = out.filePath("result.wmv");
        auto engine = engineFor(input, settings, output);
        SourceGroup &group = engine->SourceGroupCollection().Item(0);
        const SourceInfo info = group.sourceInfo();
        QTEST(QStringLiteral("%1 %2 %3x%4").arg(group.SourceCount(MediaAudio)).arg(group.SourceCount(MediaVideo))
                  .arg(info.width).arg(info.height), "probed");
        Recorder rec(*engine);
        engine->Start();
        QVERIFY(waitFor(*engine));
        QCOMPARE(engine->ErrorState(), 0);
        QVERIFY(rec.done());
        if (seconds >= 0)
            QVERIFY2(rec.last.note.isEmpty(), qPrintable(rec.last.note));
        QCOMPARE(rec.events, (QStringList {"state 1", "state 2", "state 5", "ended"}));
        QCOMPARE(files(out.path()), QStringList {"result.wmv"});

        test::ReadBack back(output);
        QTEST(back.streams(), "streams");
        const double length = back.seconds();
        qint64 frames = 0;
        back.decode(AVMEDIA_TYPE_VIDEO, [&](const AVFrame *) { ++frames; });
        QCOMPARE(engine->Progress().videoFrames, frames);
        if (seconds > 0) {
            QVERIFY(qAbs(info.durationUs - qint64(seconds * 1e6)) < 200000);
            QVERIFY2(qAbs(length - seconds) < 0.25, qPrintable(QString::number(length)));
            QVERIFY(qAbs(engine->Progress().encodedUs - qint64(seconds * 1e6)) < 250000);
            QCOMPARE(engine->Progress().durationUs, engine->Progress().encodedUs); // reads as complete
            if (frames) // constant rate: one picture per frame slot
                QVERIFY2(qAbs(frames - qRound64(seconds * settings.video.frameRate)) <= 2,
                         qPrintable(QString::number(frames)));
        } else {
            QVERIFY(frames > 0 && (seconds == 0 || length > 0.5));
        }
    }

    // Stops at seeded random moments, every other one near the end of the
    // job where the rename happens: each ends promptly, and the disk always
    // matches what the engine reports.
    void stopAtRandomMoments()
    {
        QTemporaryDir out;
        const QString output = out.filePath("keep.wmv");
        const QByteArray earlier("an earlier result the user still wants");
        auto engine = engineFor(QStringLiteral("clip.avi"), profile(), output);
        Recorder rec(*engine);
        QElapsedTimer whole;
        whole.start();
        engine->Start();
        QVERIFY(waitFor(*engine));
        int jobMs = int(whole.elapsed()) + 1;

        QRandomGenerator random(20261206);
        int finished = 0;
        for (int i = 0; i < 50; ++i) {
            QVERIFY(test::writeFile(output, earlier));
            engine->Start();
            const int delay = i % 2 ? jobMs * 3 / 4 + random.bounded(jobMs * 3 / 4 + 1) : random.bounded(jobMs + 1);
            QTest::qWait(delay);
            engine->Stop();
            QCOMPARE(engine->RunState(), RunStopped);
            QCOMPARE(files(out.path()), QStringList {"keep.wmv"});
            QCOMPARE(rec.events.last(), QStringLiteral("ended"));
            const bool done = rec.done();
            finished += done;
            QCOMPARE(test::readAll(output) == earlier, !done);
            if (!done && delay > jobMs) // a busy machine: aim later
                jobMs = delay;
        }
        QVERIFY2(finished > 0 && finished < 50, qPrintable(QString::number(finished)));
    }

    // Interrupted on a long job: a stop or the engine's end leaves the
    // earlier output as it was and nothing queued behind; an input cut short
    // is encoded up to the cut and says how much that was; a removed output
    // folder is noticed at once, not after the whole encode.
    void interrupted_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<qint32>("number");
        QTest::newRow("stop mid-encode") << "stop" << 0;
        QTest::newRow("stop while starting") << "stop starting" << 0;
        QTest::newRow("engine destroyed mid-encode") << "destroy" << 0;
        QTest::newRow("input cut to a third") << "cut" << 0;
        QTest::newRow("output folder removed") << "remove" << EngineError::PathNotFound;
        QTest::newRow("output folder removed, made again") << "remake" << EngineError::PathNotFound;
    }
    void interrupted()
    {
        QFETCH(QString, what);
        QTemporaryDir out;
        const QString input = out.filePath("long.avi"), folder = out.filePath("sub"), output = folder + "/keep.wmv";
        const QByteArray earlier("an earlier result the user still wants");
        QVERIFY(QFile::copy(m_media->path("long.avi"), input) && QDir().mkpath(folder));
        QVERIFY(test::writeFile(output, earlier));
        auto engine = engineFor(input, profile(), output);
        Recorder rec(*engine);
        engine->Start();
        if (what != "stop starting")
            QVERIFY(waitFor(*engine, RunRunning));
        if (what == "destroy") {
            engine.reset();
        } else if (what.startsWith("stop")) {
            engine->Stop();
            QCOMPARE(engine->RunState(), RunStopped);
            Recorder late(*engine);
            QCoreApplication::processEvents();
            QCOMPARE(late.events, QStringList());
        } else {
            QVERIFY(what == "cut" ? QFile::resize(input, QFileInfo(input).size() / 3) : QDir(folder).removeRecursively());
            QVERIFY(what != "remake" || QDir().mkpath(folder));
            QVERIFY(waitFor(*engine));
        }
        if (engine) {
            QTEST(engine->ErrorState(), "number");
            QVERIFY(engine->Progress().encodedUs < 150 * 1000000LL); // of 300 s
        }
        if (what == "cut")
            QVERIFY2(rec.last.note.contains("of the 300.0 s"), qPrintable(rec.last.note));
        else if (what.startsWith("re"))
            QVERIFY2(engine->ErrorDescription().contains("removed"), qPrintable(engine->ErrorDescription()));
        else
            QCOMPARE(test::readAll(output), earlier);
        if (!what.startsWith("re"))
            QCOMPARE(files(folder), QStringList {"keep.wmv"});
    }

    void failureIsReportedThenStops_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("sizeCap"); // bytes the process may write to a file; 0: no cap
        QTest::addColumn<qint32>("number");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("no output folder") << "clip.avi" << "gone/o.wmv" << 0 << EngineError::PathNotFound << "gone";
        QTest::newRow("undecodable") << "garbled.avi" << "o.wmv" << 0 << EngineError::DecodeFailed << "garbled.avi";
        // A write refused part-way, needing no privileges to arrange.
        QTest::newRow("write fails") << "clip.avi" << "big.wmv" << 32 * 1024 << EngineError::WriteFailed << "";
    }
    void failureIsReportedThenStops()
    {
        QFETCH(QString, input);
        QFETCH(QString, output);
        QFETCH(int, sizeCap);
        QFETCH(qint32, number);
        QFETCH(QString, mentions);
        QTemporaryDir out;
        auto engine = engineFor(input, profile(), out.filePath(output));
        Recorder rec(*engine);

        bool stopped = false;
        {
            const FileSizeCap cap {rlim_t(sizeCap)};
            engine->Start();
            stopped = waitFor(*engine);
        }

        QVERIFY(stopped);
        // RunRunning comes between the two only when the failure came late.
        QStringList expected {"state 1", QStringLiteral("error %1").arg(quint32(number), 0, 16), "state 5", "ended"};
        if (rec.events.contains(QStringLiteral("state 2")))
            expected.insert(1, QStringLiteral("state 2"));
        QCOMPARE(rec.events, expected);
        QCOMPARE(quint32(engine->ErrorState()), quint32(number));
        QVERIFY2(engine->ErrorDescription().contains(mentions), qPrintable(engine->ErrorDescription()));
        QCOMPARE(files(out.path()), QStringList());

        // The same engine takes the next job afresh.
        engine->File().setLocalFileName(out.filePath("next.wmv"));
        engine->Start();
        QVERIFY(waitFor(*engine));
        QCOMPARE(engine->ErrorState(), input == QLatin1String("garbled.avi") ? number : 0);
    }
};

QTEST_GUILESS_MAIN(TestFfmpegEngine)
#include "tst_ffmpegengine.moc"
