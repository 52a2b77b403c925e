// What a picture keeps on its way through a profile: its orientation, whole
// frames from fields, its own timestamps, every frame, HDR or an honest
// tone map, and a size that is never enlarged.

#include "EngineRun.h"
#include "MediaFixtures.h"

#include "encoding/EncoderFailure.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

#include <QtTest>

using namespace joblet;
using joblet::test::MediaFixtures;
using joblet::test::builtInProfile;
using joblet::test::encodeWith;

namespace {

// The output's video stream, read back: "WxH pixfmt trc order frames" and
// the marks that matter, as one line a failure shows whole.
QString videoOf(const QString &path)
{
    AVFormatContext *ic = nullptr;
    if (avformat_open_input(&ic, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return QStringLiteral("unreadable");
    const auto guard = qScopeGuard([&] { avformat_close_input(&ic); });
    if (avformat_find_stream_info(ic, nullptr) < 0)
        return QStringLiteral("no stream info");
    const int index = av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0)
        return QStringLiteral("no video");
    const AVStream *st = ic->streams[index];
    const AVCodecParameters *par = st->codecpar;
    bool mastering = av_stream_get_side_data(st, AV_PKT_DATA_MASTERING_DISPLAY_METADATA, nullptr) != nullptr;
    const bool matrix = av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, nullptr) != nullptr;

    // Count the pictures and, where the container says nothing of HDR,
    // ask the first decoded one.
    const AVCodec *codec = avcodec_find_decoder(par->codec_id);
    AVCodecContext *dec = avcodec_alloc_context3(codec);
    const auto decGuard = qScopeGuard([&] { avcodec_free_context(&dec); });
    avcodec_parameters_to_context(dec, par);
    avcodec_open2(dec, codec, nullptr);
    AVPacket *pkt = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    int frames = 0;
    bool decoded = false;
    bool bars = false; // the first picture has black columns at both sides
    while (av_read_frame(ic, pkt) >= 0) {
        if (pkt->stream_index == index) {
            ++frames;
            if (!decoded && avcodec_send_packet(dec, pkt) >= 0) {
                while (avcodec_receive_frame(dec, frame) >= 0) {
                    if (!decoded && frame->format == AV_PIX_FMT_YUV420P) {
                        bool edgeDark = true, middleDark = true;
                        for (int y = 0; y < frame->height; ++y) {
                            const uint8_t *row = frame->data[0] + y * frame->linesize[0];
                            edgeDark = edgeDark && row[0] <= 20 && row[frame->width - 1] <= 20;
                            middleDark = middleDark && row[frame->width / 2] <= 20;
                        }
                        bars = edgeDark && !middleDark;
                    }
                    decoded = true;
                    mastering = mastering || av_frame_get_side_data(frame, AV_FRAME_DATA_MASTERING_DISPLAY_METADATA);
                }
            }
        }
        av_packet_unref(pkt);
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    const char *order = par->field_order == AV_FIELD_PROGRESSIVE ? "progressive"
                      : par->field_order == AV_FIELD_UNKNOWN     ? "unknown"
                                                                 : "interlaced";
    return QStringLiteral("%1x%2 %3 %4 %5 frames=%6%7%8%9")
        .arg(par->width)
        .arg(par->height)
        .arg(QLatin1String(av_get_pix_fmt_name(AVPixelFormat(par->format))),
             QLatin1String(av_color_transfer_name(par->color_trc)), QLatin1String(order))
        .arg(frames)
        .arg(matrix ? " matrix" : "", mastering ? " mastering" : "", bars ? " bars" : "");
}

// Pictures the interlace detector calls woven, out of those it decided on.
int combedFrames(const QString &path)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(MediaFixtures::ffmpegExecutable(), {"-nostdin", "-hide_banner", "-i", path, "-vf", "idet", "-f", "null", "-"});
    p.waitForFinished(120000);
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Multi frame detection: TFF: *(\\d+) BFF: *(\\d+)"))
                                          .match(QString::fromLocal8Bit(p.readAll()));
    return m.hasMatch() ? m.captured(1).toInt() + m.captured(2).toInt() : -1;
}

} // namespace

class Tst_KeepVideo : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<MediaFixtures> m_media;

    QString make(const QString &name, const QStringList &args)
    {
        const QString out = m_media->path(name);
        return m_media->ffmpeg(args + QStringList {out}) ? out : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        av_log_set_level(AV_LOG_QUIET);
        m_media = std::make_unique<MediaFixtures>(m_dir.path());
        const QString plain = make("plain.mp4", {"-f", "lavfi", "-i", "testsrc=size=320x180:rate=25:duration=1", "-c:v", "mpeg4"});
        const QStringList fixtures[] = {
            // A phone holds the camera upright and says so in a matrix.
            {"phone.mp4", "-i", plain, "-c", "copy", "-metadata:s:v:0", "rotate=90"},
            {"dvd.mpg", "-f", "lavfi", "-i", "testsrc2=size=720x576:rate=50:duration=1", "-vf", "interlace", "-c:v",
             "mpeg2video", "-flags", "+ilme+ildct", "-top", "1"},
            // 30, then 15, then 10 pictures a second.
            {"vfr.mkv", "-f", "lavfi", "-i", "testsrc=size=160x120:rate=30:duration=3", "-vf",
             "select='lt(t,1)+between(t,1,2)*not(mod(n,2))+gte(t,2)*not(mod(n,3))'", "-fps_mode", "vfr", "-c:v", "mpeg4"},
            {"film.mkv", "-f", "lavfi", "-i", "testsrc=size=160x120:rate=24:duration=3", "-c:v", "mpeg4"},
            {"hdr.mkv", "-f", "lavfi", "-i", "testsrc2=size=256x144:rate=24:duration=1", "-pix_fmt", "yuv420p10le",
             "-c:v", "libx265", "-x265-params",
             "log-level=error:hdr10=1:master-display=G(13250,34500)B(7500,3000)R(34000,16000)WP(15635,16450)"
             "L(10000000,1):max-cll=1000,400",
             "-color_primaries", "bt2020", "-color_trc", "smpte2084", "-colorspace", "bt2020nc"},
            {"tiny.mkv", "-f", "lavfi", "-i", "testsrc=size=2x2:rate=25:duration=1", "-c:v", "ffv1"},
            {"odd.mkv", "-f", "lavfi", "-i", "testsrc=size=853x479:rate=25:duration=0.2", "-c:v", "ffv1"},
        };
        for (const QStringList &f : fixtures)
            QVERIFY2(!make(f.first(), f.mid(1)).isEmpty(), qPrintable(m_media->lastError()));
    }

    void keeps_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("video"); // what videoOf() must read

        QTest::newRow("turned upright, no matrix left") << "phone.mp4" << "MP4 H.264 720p" << "phone.out.mp4"
                                                      << "180x320 yuv420p unknown progressive frames=25";
        QTest::newRow("upright in a fixed frame, not stretched") << "phone.mp4" << "Qimto Clipwright 320X240" << "phone.wmv"
                                                                << "320x240 yuv420p unknown unknown frames=30 bars";
        QTest::newRow("fields woven into frames") << "dvd.mpg" << "MP4 H.264 720p" << "dvd.mp4"
                                                  << "720x576 yuv420p unknown progressive frames=25";
        QTest::newRow("variable rate keeps its pictures") << "vfr.mkv" << "MP4 H.264 720p" << "vfr.mp4"
                                                          << "160x120 yuv420p unknown progressive frames=55";
        QTest::newRow("MKV's last frame kept") << "film.mkv" << "WebM VP9 720p" << "film.webm"
                                               << "160x120 yuv420p unknown progressive frames=72";
        QTest::newRow("HDR stays 10-bit with its mastering data") << "hdr.mkv" << "MP4 H.265 1080p" << "hdr.mp4"
                                                                  << "256x144 yuv420p10le smpte2084 progressive frames=24 mastering";
        QTest::newRow("HDR in AV1 too") << "hdr.mkv" << "WebM AV1 1080p" << "hdr.webm"
                                        << "256x144 yuv420p10le smpte2084 progressive frames=24 mastering";
        QTest::newRow("HDR tone-mapped for H.264") << "hdr.mkv" << "MP4 H.264 720p" << "sdr.mp4"
                                                   << "256x144 yuv420p bt709 progressive frames=24";
        QTest::newRow("never enlarged, even sides") << "odd.mkv" << "MP4 H.264 720p" << "odd.mp4"
                                                    << "852x478 yuv420p unknown progressive frames=5";
    }

    void keeps()
    {
        QFETCH(QString, input);
        QFETCH(QString, profile);
        QFETCH(QString, output);
        QFETCH(QString, video);
        const QString out = m_media->path(output);
        QCOMPARE(encodeWith(m_media->path(input), builtInProfile(profile), out).error, 0);
        QCOMPARE(videoOf(out), video);
        if (input == QLatin1String("dvd.mpg")) {
            QVERIFY(combedFrames(m_media->path(input)) > 10); // the fixture is woven
            QCOMPARE(combedFrames(out), 0);
        }
    }

    // Too small for the encoder is a reason, not "Invalid argument".
    void tooSmall()
    {
        QCOMPARE(encodeWith(m_media->path("tiny.mkv"), builtInProfile("MP4 H.265 1080p"), m_media->path("tiny.mp4")).error,
                 EngineError::PictureTooSmall);
        QVERIFY(!QFile::exists(m_media->path("tiny.mp4")));
    }
};

QTEST_GUILESS_MAIN(Tst_KeepVideo)
#include "tst_keepvideo.moc"
