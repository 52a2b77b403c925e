#include "EngineRun.h"
#include "MediaFixtures.h"

#include "batch/OutputNaming.h"
#include "encoding/EncoderFailure.h"
#include "encoding/FfmpegEngine.h"
#include "encoding/ProfileCatalogue.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <QtTest>

using namespace joblet;
using joblet::test::MediaFixtures;
using joblet::test::builtInProfile;

namespace {

// A finished output read back with the libraries: "<demuxer> <codec WxH
// DAR>|<codec>..." for streams with packets, the length, and the tag of
// the video stream.
struct ReadBack {
    QString streams;
    double seconds = 0;
    quint32 videoTag = 0;
    bool indexFirst = false; // MP4: moov before mdat
};

ReadBack readBack(const QString &path)
{
    ReadBack r;
    AVFormatContext *ic = nullptr;
    if (avformat_open_input(&ic, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return r;
    const auto guard = qScopeGuard([&] { avformat_close_input(&ic); });
    if (avformat_find_stream_info(ic, nullptr) < 0)
        return r;
    r.seconds = ic->duration == AV_NOPTS_VALUE ? 0 : double(ic->duration) / AV_TIME_BASE;
    QStringList parts {QString::fromLatin1(ic->iformat->name)};
    for (unsigned i = 0; i < ic->nb_streams; ++i) {
        const AVCodecParameters *par = ic->streams[i]->codecpar;
        QString s = QString::fromLatin1(avcodec_get_name(par->codec_id));
        if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
            const AVRational sar = par->sample_aspect_ratio.num > 0 ? par->sample_aspect_ratio : AVRational {1, 1};
            s += QStringLiteral(" %1x%2 sar %3:%4").arg(par->width).arg(par->height).arg(sar.num).arg(sar.den);
            r.videoTag = par->codec_tag;
        }
        parts << s;
    }
    r.streams = parts.join(u' ');
    QFile f(path);
    if (f.open(QIODevice::ReadOnly)) {
        const QByteArray head = f.read(1 << 20);
        const qsizetype moov = head.indexOf("moov");
        const qsizetype mdat = head.indexOf("mdat");
        r.indexFirst = moov >= 0 && (mdat < 0 || moov < mdat);
    }
    return r;
}

} // namespace

class Tst_ModernProfiles : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<MediaFixtures> m_media;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        av_log_set_level(AV_LOG_QUIET);
        m_media = std::make_unique<MediaFixtures>(m_dir.path());
        // One second: 25 small pictures and 48 kHz stereo.
        QVERIFY2(m_media->ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=1", "-f", "lavfi", "-i",
                                  "sine=frequency=440:sample_rate=48000:duration=1", "-ac", "2", "-c:v", "mpeg4",
                                  "-c:a", "pcm_s16le", m_media->path("clip.mkv")}),
                 qPrintable(m_media->lastError()));
        // Portrait, odd width, pixels wider than tall: fits 720 high, keeping
        // the 1441:1920 the picture shows.
        QVERIFY2(m_media->ffmpeg({"-f", "lavfi", "-i", "testsrc=size=1081x1920:rate=10:duration=1", "-f", "lavfi",
                                  "-i", "sine=sample_rate=44100:duration=1", "-vf", "setsar=4/3", "-c:v", "ffv1",
                                  "-c:a", "pcm_s16le", m_media->path("portrait.mkv")}),
                 qPrintable(m_media->lastError()));
    }

    void encodes_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("streams");
        QTest::addColumn<double>("frame"); // the length may differ by this much
        const QString mp4 = "mov,mp4,m4a,3gp,3g2,mj2 ", webm = "matroska,webm ";
        const QString small = " 160x120 sar 1:1";
        QTest::newRow("MP4 H.264 1080p") << "clip.mkv" << "MP4 H.264 1080p" << "a.mp4" << mp4 + "h264" + small + " aac"
                                         << 0.04;
        QTest::newRow("MP4 H.264 720p") << "clip.mkv" << "MP4 H.264 720p" << "b.mp4" << mp4 + "h264" + small + " aac"
                                        << 0.04;
        QTest::newRow("MP4 H.265 1080p") << "clip.mkv" << "MP4 H.265 1080p" << "c.mp4" << mp4 + "hevc" + small + " aac"
                                         << 0.04;
        QTest::newRow("WebM AV1 1080p") << "clip.mkv" << "WebM AV1 1080p" << "d.webm" << webm + "av1" + small + " opus"
                                        << 0.04;
        QTest::newRow("WebM VP9 720p") << "clip.mkv" << "WebM VP9 720p" << "e.webm" << webm + "vp9" + small + " opus"
                                       << 0.04;
        QTest::newRow("Audio AAC 192 kbps") << "clip.mkv" << "Audio AAC 192 kbps" << "f.m4a" << mp4 + "aac" << 0.03;
        QTest::newRow("Audio Opus 128 kbps") << "clip.mkv" << "Audio Opus 128 kbps" << "g.opus" << "ogg opus" << 0.03;
        QTest::newRow("Audio FLAC lossless") << "clip.mkv" << "Audio FLAC lossless" << "h.flac" << "flac flac" << 0.03;
        QTest::newRow("Audio MP3 192 kbps") << "clip.mkv" << "Audio MP3 192 kbps" << "i.mp3" << "mp3 mp3"
                                            << 0.05; // the encoder's delay, as in every MP3
        QTest::newRow("H.264 as .mkv") << "clip.mkv" << "MP4 H.264 720p" << "j.mkv" << webm + "h264" + small + " aac"
                                       << 0.04;
        QTest::newRow("portrait, odd, non-square") << "portrait.mkv" << "MP4 H.264 720p" << "k.mp4"
                                                   << mp4 + "h264 540x720 sar 1:1 aac" << 0.1;
    }
    void encodes()
    {
        QFETCH(QString, input);
        QFETCH(QString, profile);
        QFETCH(QString, output);
        QFETCH(QString, streams);
        QFETCH(double, frame);
        const ProfileSettings settings = builtInProfile(profile);
        QVERIFY(!settings.name.isEmpty());
        QTemporaryDir out;
        const QString path = out.filePath(output);
        QCOMPARE(quint32(joblet::test::encodeWith(m_media->path(input), settings, path).error), 0u);
        const ReadBack r = readBack(path);
        QCOMPARE(r.streams, streams);
        QVERIFY2(qAbs(r.seconds - 1.0) <= frame + 1e-3, qPrintable(QString::number(r.seconds)));
        if (output.endsWith(".mp4") || output.endsWith(".m4a"))
            QVERIFY(r.indexFirst);
        if (settings.video.codec == VideoCodec::H265)
            QCOMPARE(r.videoTag, quint32(MKTAG('h', 'v', 'c', '1')));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList {output});
    }

    // An explicit name whose type cannot hold the profile's streams is
    // refused at Start, before anything is written; the names follow the
    // profile from the one place.
    void refusesAndNames()
    {
        const ProfileSettings mp4 = builtInProfile("MP4 H.264 720p");
        QTemporaryDir out;
        try {
            joblet::test::encodeWith(m_media->path("clip.mkv"), mp4, out.filePath("talk.wmv"));
            QFAIL("not refused");
        } catch (const EncoderFailure &e) {
            QCOMPARE(quint32(e.number()), quint32(EngineError::OutputTypeMismatch));
            QVERIFY2(e.description().contains("talk.wmv") && e.description().contains("MP4 H.264 720p"),
                     qPrintable(e.description()));
            QCOMPARE(OutputNaming::refusal(mp4, "talk.wmv"), e.description());
        }
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(OutputNaming::fromMedia("/m/talk.v1.avi", 1, 1, mp4), QStringLiteral("/m/talk.v1.mp4"));
        QCOMPARE(OutputNaming::fromMedia("/m/talk.MP4", 1, 1, mp4), QStringLiteral("/m/talk_1.mp4"));
        QCOMPARE(OutputNaming::fromMedia("/m/talk.avi", 1, 0, builtInProfile("Audio AAC 192 kbps")),
                 QStringLiteral("/m/talk.m4a"));
        QCOMPARE(OutputNaming::fromMedia("/m/talk.avi", 1, 0, builtInProfile("Qimto Audio 64K Stereo")),
                 OutputNaming::fromMedia("/m/talk.avi", 1, 0));
    }

    void profileFile()
    {
        const QByteArray text = "Name=Small WebM\r\nContainer=webm\r\nVideoCodec=av1\r\nVideoQuality=40\r\n"
                                "VideoPreset=10\r\nVideoMaxWidth=640\r\nVideoMaxHeight=360\r\nAudioBitRate=96000\r\n";
        QString error;
        const std::optional<ProfileSettings> p = ProfileCatalogue::parse(text, &error);
        QVERIFY2(p, qPrintable(error));
        QCOMPARE(int(p->container), int(Container::WebM));
        QCOMPARE(int(p->video.codec), int(VideoCodec::Av1));
        QCOMPARE(int(p->audio.codec), int(AudioCodec::Opus));
        QCOMPARE(p->video.quality, 40);
        QCOMPARE(p->video.preset, QStringLiteral("10"));
        QCOMPARE(p->video.maxWidth, 640);
        QCOMPARE(p->audio.bitRate, 96000);
        QCOMPARE(p->extension(), QStringLiteral(".webm"));
        // A wrong value: its line and what is allowed.
        QVERIFY(!ProfileCatalogue::parse(QByteArray(text).replace("=webm", "=ogg"), &error));
        QCOMPARE(error, QStringLiteral("line 2: Container ogg cannot hold these codecs"));
        QVERIFY(!ProfileCatalogue::parse(QByteArray(text).replace("=av1", "=av2"), &error));
        QCOMPARE(error, QStringLiteral("line 3: VideoCodec 'av2' is not one of: wmv2, h264, h265, av1, vp9"));
    }
};

QTEST_GUILESS_MAIN(Tst_ModernProfiles)
#include "tst_modernprofiles.moc"
