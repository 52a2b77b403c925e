#include "FileHelpers.h"
#include "FileSizeCap.h"
#include "MediaFixtures.h"
#include "ReadBack.h"

#include "encoding/EncoderFailure.h"
#include "encoding/EngineFactory.h"

#include <QtTest>

#include <sys/stat.h>

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

// An unusable input or output, refused with `number`; output empty: a fresh name in a fresh folder.
struct RefusedRow { QString input; qint32 number; QString output = {}; ProfileSettings settings = profile(); };

// `sizeCap`: bytes the process may write to a file, 0 no cap. `seconds`: the
// output's length; 0: a single picture; negative: the input declares more than
// it holds, and a note says how much got in.
struct EncodeRow {
    QString input, probed; ProfileSettings settings; QString output; int sizeCap; qint32 number; QString expected; double seconds;
};

} // namespace

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
            const auto le = [](auto v) { v = qToLittleEndian(v); return QByteArray(reinterpret_cast<const char *>(&v), sizeof v); };
            const QByteArray wav = "RIFF" + le(36 + bytes) + "WAVEfmt " + le(16u) + le(quint16(1)) + le(quint16(channels))
                                 + le(quint32(rate)) + le(quint32(rate * channels * 2)) + le(quint16(channels * 2))
                                 + le(quint16(16)) + "data" + le(bytes);
            QVERIFY(!m.writeFile(name, wav + QByteArray(qsizetype(bytes), '\0')).isEmpty());
        }
    }

    // Unusable, damaged or hostile inputs and outputs, refused at once by
    // the probe or by Start, touching neither input nor output folder.
    void refused_data()
    {
        QTest::addColumn<RefusedRow>("row");
        MediaFixtures &m = *m_media;
        const auto refused = [&](const char *name, const RefusedRow &row) { QTest::newRow(name) << row; };
        refused("missing file", {m.path("nowhere.avi"), EngineError::FileNotFound});
        // Not regular: a pipe would be waited on for ever (Stop and signals
        // with it); folders and devices take the same check.
        const QString pipe = m.path("pipe.avi");
        QVERIFY(QFileInfo::exists(pipe) || ::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        refused("pipe", {pipe, EngineError::NotRegularFile});
        refused("output a pipe", {m.path("clip.avi"), EngineError::NotRegularFile, pipe});
        refused("mp4 without index", {m.path("cut.mp4"), EngineError::UnrecognisedMedia});
        refused("no streams in common", {m.path("tone.wav"), EngineError::NoMatchingStreams, {}, profile(true, false)});
        ProfileSettings mp4 = profile();
        mp4.container = Container::Mp4;
        refused("output type cannot hold the profile", {m.path("clip.avi"), EngineError::OutputTypeMismatch, {}, mp4});
        // Before any large allocation.
        refused("WAV claiming 1 Hz", {m.path("1hz.wav"), EngineError::UnsupportedFormat});
        refused("WAV of 65 channels", {m.path("65ch.wav"), EngineError::UnsupportedChannelLayout});
    }
    void refused()
    {
        QFETCH(RefusedRow, row);
        const auto &[input, number, output, settings] = row;
        QTemporaryDir out;
        const QString target = output.isEmpty() ? out.filePath("o.wmv") : output;
        const QByteArray before = QFileInfo(input).isFile() ? test::readAll(input) : QByteArray();
        const std::unique_ptr<EncoderEngine> engine = m_engines.create();
        SourceGroup &group = engine->SourceGroupCollection().Add(QStringLiteral("g"));
        bool probed = false;
        try {
            group.AutoSetFileSource(input);
            probed = true;
            group.setProfile(EncoderProfile(settings));
            engine->File().setLocalFileName(target);
            engine->Start();
            QFAIL("not refused");
        } catch (const EncoderFailure &e) {
            QCOMPARE(quint32(e.number()), quint32(number));
            // The file at fault is named, where one is.
            QVERIFY2(number == EngineError::NoMatchingStreams || e.description().contains(QFileInfo(input).fileName())
                         || e.description().contains(QFileInfo(target).fileName()),
                     qPrintable(e.description()));
        }
        QCOMPARE(group.hasSource(), probed);
        QCOMPARE(engine->RunState(), RunStopped);
        if (QFileInfo(input).isFile())
            QCOMPARE(test::readAll(input), before);
        QCOMPARE(files(out.path()), QStringList());
    }

    // What the probe finds ("audio video WxH"), then how the encode ends:
    // done, read back as `expected`, or failed with an error that names
    // `expected`, reported before RunStopped, nothing left behind, and the
    // same engine taking the next job afresh.
    void encodes_data()
    {
        QTest::addColumn<EncodeRow>("row");
        const QString av = "asf wmv2 320x240 sar 1:1 wmav2 44100 2", a = "asf wmav2 44100 2", v = "asf wmv2 320x240 sar 1:1";
        const auto done = [](const char *name, const char *input, const char *probed, const QString &streams,
                             double seconds, const ProfileSettings &settings = profile()) {
            QTest::newRow(name) << EncodeRow {input, probed, settings, "o.wmv", 0, 0, streams, seconds};
        };
        done("a/v to a/v", "clip.avi", "1 1 320x240", av, 2.0);
        done("a/v to audio", "clip.avi", "1 1 320x240", a, 2.0, profile(false, true));
        done("video only, 25 to 30 fps", "silent.avi", "0 1 176x144", v, 2.0);
        // Complete but short: no "cut short" note for a length one frame off.
        done("video only, one frame", "frame.avi", "0 1 176x144", v, 0.04);
        done("mono 48 kHz", "tone.wav", "1 0 0x0", a, 2.0);
        done("still image", "still.bmp", "0 1 160x120", v, 0.0);
        // Read up to the cut, its length what the damaged index still tells.
        done("cut short", "cut.avi", "1 1 320x240", av, 1.8);
        done("timestamp gap of 2 s, filled", "gap.mkv", "1 1 160x120", av, 4.0);
        done("one timestamp 2900 s out", "spike.mkv", "1 1 160x120", av, -2.0);
        // Under the break rule, yet no gap: stepped over, no freeze, no frames lost.
        done("one timestamp 4.9 s out", "spike49.mkv", "1 1 160x120", av, -2.0);
        done("timestamps jump 100000 s", "jump.mkv", "1 1 160x120", av, -2.0);
        done("64-channel WAV, mixed down", "64ch.wav", "1 0 0x0", a, 0.5);
        const auto fails = [](const char *name, const char *input, const char *probed, const char *output,
                              qint32 number, const char *mentions, int sizeCap = 0) {
            QTest::newRow(name) << EncodeRow {input, probed, profile(), output, sizeCap, number, mentions, 0.0};
        };
        fails("no output folder", "clip.avi", "1 1 320x240", "gone/o.wmv", EngineError::PathNotFound, "gone");
        fails("undecodable", "garbled.avi", "0 1 160x120", "o.wmv", EngineError::DecodeFailed, "garbled.avi");
        fails("ASF without packets", "hollow.asf", "1 1 160x120", "o.wmv", EngineError::NothingEncoded, "hollow.asf");
        // A write refused part-way, needing no privileges to arrange.
        fails("write fails", "clip.avi", "1 1 320x240", "big.wmv", EngineError::WriteFailed, "", 32 * 1024);
    }
    void encodes()
    {
        QFETCH(EncodeRow, row);
        const auto &[input, probed, settings, output, sizeCap, number, expected, seconds] = row;
        QTemporaryDir out;
        auto engine = engineFor(input, settings, out.filePath(output));
        const SourceInfo info = engine->SourceGroupCollection().Item(0).sourceInfo();
        QCOMPARE(QStringLiteral("%1 %2 %3x%4").arg(info.audioCount).arg(info.videoCount).arg(info.width).arg(info.height),
                 probed);
        Recorder rec(*engine);
        bool stopped = false;
        {
            const FileSizeCap cap {rlim_t(sizeCap)};
            engine->Start();
            stopped = waitFor(*engine);
        }
        QVERIFY(stopped);
        QCOMPARE(quint32(engine->ErrorState()), quint32(number));
        QCOMPARE(files(out.path()), number ? QStringList() : QStringList {output});
        if (number) {
            // RunRunning comes between the two only when the failure came late.
            QStringList events {"state 1", QStringLiteral("error %1").arg(quint32(number), 0, 16), "state 5", "ended"};
            if (rec.events.contains(QStringLiteral("state 2")))
                events.insert(1, QStringLiteral("state 2"));
            QCOMPARE(rec.events, events);
            QVERIFY2(engine->ErrorDescription().contains(expected), qPrintable(engine->ErrorDescription()));
            // An input at fault fails the next job the same way.
            engine->File().setLocalFileName(out.filePath("next.wmv"));
            engine->Start();
            QVERIFY(waitFor(*engine));
            QCOMPARE(engine->ErrorState(), expected == input ? number : 0);
            return;
        }
        QCOMPARE(rec.events, (QStringList {"state 1", "state 2", "state 5", "ended"}));
        QVERIFY(rec.done());
        QVERIFY2(rec.last.note.isEmpty() == (seconds >= 0), qPrintable(rec.last.note));
        test::ReadBack back(out.filePath(output));
        QCOMPARE(back.streams(), expected);
        const double length = back.seconds();
        qint64 frames = 0;
        back.decode(AVMEDIA_TYPE_VIDEO, [&](const AVFrame *) { ++frames; });
        QCOMPARE(engine->Progress().videoFrames, frames);
        if (seconds > 0) {
            QVERIFY(qAbs(info.durationUs - qint64(seconds * 1e6)) < 200000);
            QVERIFY(qAbs(engine->Progress().encodedUs - qint64(seconds * 1e6)) < 250000);
            QCOMPARE(engine->Progress().durationUs, engine->Progress().encodedUs); // reads as complete
        }
        if (seconds == 0) {
            QVERIFY(frames > 0);
        } else {
            QVERIFY2(qAbs(length - qAbs(seconds)) < 0.25, qPrintable(QString::number(length)));
            if (frames) // constant rate: one picture per frame slot
                QVERIFY2(qAbs(frames - qRound64(qAbs(seconds) * settings.video.frameRate)) <= 2,
                         qPrintable(QString::number(frames)));
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
};

QTEST_GUILESS_MAIN(TestFfmpegEngine)
#include "tst_ffmpegengine.moc"
