#include "MediaFixtures.h"

#include "encoding/EncoderFailure.h"
#include "encoding/FfmpegEngine.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

using namespace joblet;
using joblet::test::MediaFixtures;

namespace {

ProfileSettings avProfile()
{
    ProfileSettings p;
    p.name = QStringLiteral("test a/v");
    p.video = {320, 240, 30, 512000};
    p.audio = {44100, 2, 64000};
    return p;
}

ProfileSettings audioProfile()
{
    ProfileSettings p = avProfile();
    p.name = QStringLiteral("test audio");
    p.video = {};
    return p;
}

ProfileSettings videoProfile()
{
    ProfileSettings p = avProfile();
    p.name = QStringLiteral("test video");
    p.audio = {};
    return p;
}

QByteArray fileHash(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(&f);
    return h.result();
}

// What a finished output contains, read back independently of the engine.
struct OutputFacts {
    QString format;
    int videoCodec = AV_CODEC_ID_NONE;
    int width = 0;
    int height = 0;
    qint64 videoPackets = 0;
    int audioCodec = AV_CODEC_ID_NONE;
    int sampleRate = 0;
    int channels = 0;
    qint64 audioPackets = 0;
    double seconds = 0;
};

bool readOutput(const QString &path, OutputFacts &facts)
{
    AVFormatContext *ic = nullptr;
    if (avformat_open_input(&ic, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return false;
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext *)> guard(ic, [](AVFormatContext *c) {
        avformat_close_input(&c);
    });
    if (avformat_find_stream_info(ic, nullptr) < 0)
        return false;
    facts.format = QString::fromLatin1(ic->iformat->name);
    facts.seconds = ic->duration == AV_NOPTS_VALUE ? 0 : double(ic->duration) / AV_TIME_BASE;
    for (unsigned i = 0; i < ic->nb_streams; ++i) {
        const AVCodecParameters *par = ic->streams[i]->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
            facts.videoCodec = par->codec_id;
            facts.width = par->width;
            facts.height = par->height;
        } else if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
            facts.audioCodec = par->codec_id;
            facts.sampleRate = par->sample_rate;
            facts.channels = par->ch_layout.nb_channels;
        }
    }
    AVPacket *pkt = av_packet_alloc();
    while (av_read_frame(ic, pkt) >= 0) {
        const auto type = ic->streams[pkt->stream_index]->codecpar->codec_type;
        if (type == AVMEDIA_TYPE_VIDEO)
            ++facts.videoPackets;
        else if (type == AVMEDIA_TYPE_AUDIO)
            ++facts.audioPackets;
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    return true;
}

// Everything the engine tells its caller, in the order it arrived.
class Recorder : public QObject {
public:
    explicit Recorder(EncoderEngine &engine)
    {
        connect(&engine, &EncoderEngine::OnError, this,
                [this](qint32 n) { events << QStringLiteral("error %1").arg(quint32(n), 0, 16); });
        connect(&engine, &EncoderEngine::RunStateChanged, this,
                [this](qint32 s) { events << QStringLiteral("state %1").arg(s); });
    }
    QStringList events;
};

} // namespace

Q_DECLARE_METATYPE(ProfileSettings)

class TestFfmpegEngine : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_mediaDir;
    std::unique_ptr<MediaFixtures> m_media;
    QString m_clip, m_tone, m_silent, m_still, m_subtitles, m_cutAvi, m_long, m_garbled;

    std::unique_ptr<FfmpegEngine> engineFor(const QString &input, const ProfileSettings &profile,
                                            const QString &output)
    {
        auto engine = std::make_unique<FfmpegEngine>(ProfileCollection());
        SourceGroup &group = engine->SourceGroupCollection().Add(QStringLiteral("g"));
        group.AutoSetFileSource(input);
        group.setProfile(EncoderProfile(profile));
        engine->File().setLocalFileName(output);
        return engine;
    }

    // Waits on the event loop until the job has reported its end.
    static bool waitForStop(EncoderEngine &engine)
    {
        QSignalSpy spy(&engine, &EncoderEngine::RunStateChanged);
        while (engine.RunState() != RunStopped) {
            if (!spy.wait(60000))
                return false;
        }
        return true;
    }

    static bool waitForRunning(EncoderEngine &engine)
    {
        QSignalSpy spy(&engine, &EncoderEngine::RunStateChanged);
        while (engine.RunState() == RunStarting) {
            if (!spy.wait(60000))
                return false;
        }
        return engine.RunState() == RunRunning;
    }

    // Names the engine left in `dir` besides `expected`; hidden ones included.
    static QStringList strayFiles(const QString &dir, const QStringList &expected)
    {
        QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
        for (const QString &e : expected)
            names.removeAll(e);
        return names;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_mediaDir.isValid());
        av_log_set_level(AV_LOG_QUIET); // the damaged inputs are damaged on purpose
        m_media = std::make_unique<MediaFixtures>(m_mediaDir.path());
        MediaFixtures &m = *m_media;
        m_clip = m.audioVideoClip(QStringLiteral("clip.avi"), 2.0);
        m_tone = m.audioOnly(QStringLiteral("tone.wav"), 2.0);
        m_silent = m.videoOnly(QStringLiteral("silent.avi"), 2.0);
        m_still = m.stillImage();
        m_subtitles = m.subtitlesOnly();
        m_cutAvi = m.truncatedAvi();
        // Long enough in frames that a job is certainly still running when
        // the test stops it, yet quick to make.
        m_long = m.audioVideoClip(QStringLiteral("long.avi"), 300.0, {64, 48}, 30);
        // Every byte of every video packet scrambled: nothing decodable.
        m_garbled = m.path(QStringLiteral("garbled.avi"));
        if (!m.ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=2", "-c:v", "mpeg4",
                       "-bsf:v", "noise=amount=1", m_garbled}))
            m_garbled.clear();
        for (const QString *p : {&m_clip, &m_tone, &m_silent, &m_still, &m_subtitles, &m_cutAvi, &m_long, &m_garbled})
            QVERIFY2(!p->isEmpty(), qPrintable(m.lastError()));
    }

    void inspectCountsStreams_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("audio");
        QTest::addColumn<int>("video");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("audio and video") << "clip.avi" << 1 << 1 << 320 << 240;
        QTest::newRow("audio only") << "tone.wav" << 1 << 0 << 0 << 0;
        QTest::newRow("video only") << "silent.avi" << 0 << 1 << 176 << 144;
        QTest::newRow("still image") << "still.bmp" << 0 << 1 << 160 << 120;
        QTest::newRow("subtitles only") << "subtitles.mkv" << 0 << 0 << 0 << 0;
        QTest::newRow("cut short") << "cut.avi" << 1 << 1 << 320 << 240;
    }

    void inspectCountsStreams()
    {
        QFETCH(QString, name);
        FfmpegEngine engine {ProfileCollection()};
        SourceGroup &group = engine.SourceGroupCollection().Add(QStringLiteral("g"));
        group.AutoSetFileSource(m_media->path(name));
        QTEST(group.SourceCount(MediaAudio), "audio");
        QTEST(group.SourceCount(MediaVideo), "video");
        QTEST(group.sourceInfo().width, "width");
        QTEST(group.sourceInfo().height, "height");
        if (name == QLatin1String("clip.avi"))
            QVERIFY(qAbs(group.sourceInfo().durationUs - 2000000) < 200000);
    }

    void inspectRejects_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<qint32>("number");
        MediaFixtures &m = *m_media;
        QTest::newRow("missing file") << m.path(QStringLiteral("nowhere.avi")) << EngineError::FileNotFound;
        QTest::newRow("missing folder") << m.path(QStringLiteral("gone/clip.avi")) << EngineError::FileNotFound;
        QTest::newRow("folder") << m_mediaDir.path() << EngineError::AccessDenied;
        QTest::newRow("text named .avi") << m.textFile() << EngineError::UnrecognisedMedia;
        QTest::newRow("empty file") << m.emptyFile() << EngineError::UnrecognisedMedia;
        QTest::newRow("mp4 without index") << m.truncatedMp4() << EngineError::UnrecognisedMedia;
    }

    void inspectRejects()
    {
        QFETCH(QString, path);
        QFETCH(qint32, number);
        QVERIFY2(!path.isEmpty(), qPrintable(m_media->lastError()));
        FfmpegEngine engine {ProfileCollection()};
        SourceGroup &group = engine.SourceGroupCollection().Add(QStringLiteral("g"));
        try {
            group.AutoSetFileSource(path);
            QFAIL("inspecting did not fail");
        } catch (const EncoderFailure &e) {
            QCOMPARE(quint32(e.number()), quint32(number));
            QVERIFY(!e.description().isEmpty());
        }
        QVERIFY(!group.hasSource());
    }

    void inspectRejectsUnreadableFile()
    {
        if (::geteuid() == 0)
            QSKIP("root reads every file");
        const QString copy = m_media->path(QStringLiteral("locked.avi"));
        QVERIFY(QFile::copy(m_clip, copy));
        QVERIFY(QFile::setPermissions(copy, QFileDevice::Permissions()));
        FfmpegEngine engine {ProfileCollection()};
        try {
            engine.SourceGroupCollection().Add(QStringLiteral("g")).AutoSetFileSource(copy);
            QFAIL("inspecting did not fail");
        } catch (const EncoderFailure &e) {
            QCOMPARE(quint32(e.number()), quint32(EngineError::AccessDenied));
        }
    }

    void encodeWritesAsf_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<ProfileSettings>("profile");
        QTest::addColumn<bool>("video");
        QTest::addColumn<bool>("audio");
        QTest::addColumn<double>("seconds");
        QTest::newRow("a/v to a/v") << "clip.avi" << avProfile() << true << true << 2.0;
        QTest::newRow("a/v to audio") << "clip.avi" << audioProfile() << false << true << 2.0;
        QTest::newRow("a/v to video") << "clip.avi" << videoProfile() << true << false << 2.0;
        QTest::newRow("video only, 25 to 30 fps") << "silent.avi" << avProfile() << true << false << 2.0;
        QTest::newRow("mono 48 kHz") << "tone.wav" << avProfile() << false << true << 2.0;
        QTest::newRow("still image") << "still.bmp" << avProfile() << true << false << 0.0;
        QTest::newRow("cut short") << "cut.avi" << avProfile() << true << true << -1.0;
    }

    void encodeWritesAsf()
    {
        QFETCH(QString, input);
        QFETCH(ProfileSettings, profile);
        QFETCH(bool, video);
        QFETCH(bool, audio);
        QFETCH(double, seconds);

        QTemporaryDir out;
        const QString output = out.filePath(QStringLiteral("result.wmv"));
        auto engine = engineFor(m_media->path(input), profile, output);
        Recorder rec(*engine);
        engine->Start();
        QVERIFY(waitForStop(*engine));
        QCOMPARE(engine->ErrorState(), 0);
        QCOMPARE(rec.events, (QStringList {"state 1", "state 2", "state 5"}));
        QCOMPARE(strayFiles(out.path(), {QStringLiteral("result.wmv")}), QStringList());

        OutputFacts facts;
        QVERIFY(readOutput(output, facts));
        QCOMPARE(facts.format, QStringLiteral("asf"));
        if (video) {
            QCOMPARE(facts.videoCodec, int(AV_CODEC_ID_WMV2));
            QCOMPARE(facts.width, profile.video.width);
            QCOMPARE(facts.height, profile.video.height);
            QVERIFY(facts.videoPackets > 0);
            QCOMPARE(engine->Progress().videoFrames, facts.videoPackets);
            if (seconds > 0) // constant rate: one picture per frame slot
                QVERIFY2(qAbs(facts.videoPackets - qRound64(seconds * profile.video.frameRate)) <= 2,
                         qPrintable(QString::number(facts.videoPackets)));
        } else {
            QCOMPARE(facts.videoCodec, int(AV_CODEC_ID_NONE));
        }
        if (audio) {
            QCOMPARE(facts.audioCodec, int(AV_CODEC_ID_WMAV2));
            QCOMPARE(facts.sampleRate, profile.audio.sampleRate);
            QCOMPARE(facts.channels, profile.audio.channels);
            QVERIFY(facts.audioPackets > 0);
        } else {
            QCOMPARE(facts.audioCodec, int(AV_CODEC_ID_NONE));
        }
        if (seconds > 0) {
            QVERIFY2(qAbs(facts.seconds - seconds) < 0.25, qPrintable(QString::number(facts.seconds)));
            QVERIFY(qAbs(engine->Progress().encodedUs - qint64(seconds * 1e6)) < 250000);
        } else if (seconds < 0) { // whatever survived the cut, but something
            QVERIFY(facts.seconds > 0.5);
        }
    }

    void engineRunsJobsBackToBack()
    {
        QTemporaryDir out;
        auto engine = engineFor(m_clip, avProfile(), out.filePath(QStringLiteral("first.wmv")));
        engine->Start();
        QVERIFY(waitForStop(*engine));
        engine->File().setLocalFileName(out.filePath(QStringLiteral("second.wmv")));
        engine->Start();
        QVERIFY(waitForStop(*engine));
        QCOMPARE(engine->ErrorState(), 0);
        QCOMPARE(fileHash(out.filePath(QStringLiteral("first.wmv"))).isEmpty(), false);
        QCOMPARE(fileHash(out.filePath(QStringLiteral("second.wmv"))),
                 fileHash(out.filePath(QStringLiteral("first.wmv"))));
    }

    void startRefuses_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<ProfileSettings>("profile");
        QTest::addColumn<bool>("outputIsInput");
        QTest::addColumn<qint32>("number");
        QTest::newRow("no common streams") << "tone.wav" << videoProfile() << false << EngineError::NoMatchingStreams;
        QTest::newRow("subtitles only") << "subtitles.mkv" << avProfile() << false << EngineError::NoMatchingStreams;
        QTest::newRow("output is input") << "clip.avi" << avProfile() << true << EngineError::OutputIsInput;
    }

    void startRefuses()
    {
        QFETCH(QString, input);
        QFETCH(ProfileSettings, profile);
        QFETCH(bool, outputIsInput);
        QFETCH(qint32, number);
        QTemporaryDir out;
        const QString source = m_media->path(input);
        const QByteArray before = fileHash(source);
        const QString output = outputIsInput ? source : out.filePath(QStringLiteral("x.wmv"));
        auto engine = engineFor(source, profile, output);
        try {
            engine->Start();
            QFAIL("Start did not refuse");
        } catch (const EncoderFailure &e) {
            QCOMPARE(quint32(e.number()), quint32(number));
        }
        QCOMPARE(engine->RunState(), RunStopped);
        QCOMPARE(fileHash(source), before);
        QCOMPARE(strayFiles(out.path(), {}), QStringList());
    }

    void stopMidEncodeLeavesEarlierOutput()
    {
        QTemporaryDir out;
        const QString output = out.filePath(QStringLiteral("keep.wmv"));
        {
            QFile earlier(output);
            QVERIFY(earlier.open(QIODevice::WriteOnly));
            earlier.write("an earlier result the user still wants");
        }
        const QByteArray before = fileHash(output);
        auto engine = engineFor(m_long, avProfile(), output);
        engine->Start();
        QVERIFY(waitForRunning(*engine));
        engine->Stop();
        QCOMPARE(engine->RunState(), RunStopped);
        QCOMPARE(engine->ErrorState(), 0);
        QVERIFY(engine->Progress().encodedUs < engine->Progress().durationUs);
        QCOMPARE(fileHash(output), before);
        QCOMPARE(strayFiles(out.path(), {QStringLiteral("keep.wmv")}), QStringList());

        // Nothing the stopped job queued may arrive afterwards.
        QSignalSpy states(engine.get(), &EncoderEngine::RunStateChanged);
        QSignalSpy errors(engine.get(), &EncoderEngine::OnError);
        QCoreApplication::processEvents();
        QCOMPARE(states.count(), 0);
        QCOMPARE(errors.count(), 0);
    }

    void stopBeforeRunningLeavesNothing()
    {
        QTemporaryDir out;
        auto engine = engineFor(m_long, avProfile(), out.filePath(QStringLiteral("new.wmv")));
        engine->Start();
        engine->Stop();
        QCOMPARE(engine->RunState(), RunStopped);
        QCOMPARE(strayFiles(out.path(), {}), QStringList());
    }

    void destroyingEngineEndsJob()
    {
        QTemporaryDir out;
        auto engine = engineFor(m_long, avProfile(), out.filePath(QStringLiteral("new.wmv")));
        engine->Start();
        QVERIFY(waitForRunning(*engine));
        engine.reset();
        QCOMPARE(strayFiles(out.path(), {}), QStringList());
    }

    void failureIsReportedThenStops_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("outputName");
        QTest::addColumn<qint32>("number");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("output folder missing") << "clip.avi" << "missing/out.wmv" << EngineError::PathNotFound << "missing";
        QTest::newRow("output folder is a file") << "clip.avi" << "file/out.wmv" << EngineError::PathNotFound << "file";
        QTest::newRow("undecodable video") << "garbled.avi" << "out.wmv" << EngineError::DecodeFailed << "garbled.avi";
    }

    void failureIsReportedThenStops()
    {
        QFETCH(QString, input);
        QFETCH(QString, outputName);
        QFETCH(qint32, number);
        QFETCH(QString, mentions);
        QTemporaryDir out;
        {
            QFile blocker(out.filePath(QStringLiteral("file")));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        auto engine = engineFor(m_media->path(input), avProfile(), out.filePath(outputName));
        Recorder rec(*engine);
        engine->Start();
        QVERIFY(waitForStop(*engine));
        // RunRunning comes between the two only when the failure came late.
        const QString error = QStringLiteral("error %1").arg(quint32(number), 0, 16);
        QStringList expected {"state 1", error, "state 5"};
        if (rec.events.contains(QStringLiteral("state 2")))
            expected.insert(1, QStringLiteral("state 2"));
        QCOMPARE(rec.events, expected);
        QCOMPARE(quint32(engine->ErrorState()), quint32(number));
        QVERIFY2(engine->ErrorDescription().contains(mentions), qPrintable(engine->ErrorDescription()));
        QCOMPARE(strayFiles(out.path(), {QStringLiteral("file")}), QStringList());
        QVERIFY(!QFileInfo::exists(out.filePath(QStringLiteral("missing"))));
    }

    // A write refused part-way (here by a file size limit, which needs no
    // privileges) must leave neither output nor temporary file behind.
    void writeFailureLeavesNothing()
    {
        QTemporaryDir out;
        const QString output = out.filePath(QStringLiteral("big.wmv"));
        auto engine = engineFor(m_clip, avProfile(), output);
        Recorder rec(*engine);

        rlimit saved {};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        small.rlim_cur = 32 * 1024;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        engine->Start();
        const bool stopped = waitForStop(*engine);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(stopped);
        QCOMPARE(quint32(engine->ErrorState()), quint32(EngineError::WriteFailed));
        QCOMPARE(rec.events.last(), QStringLiteral("state 5"));
        QCOMPARE(strayFiles(out.path(), {}), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestFfmpegEngine)
#include "tst_ffmpegengine.moc"
