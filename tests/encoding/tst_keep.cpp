// What a file keeps on its way through a profile: a picture upright, whole
// frames from fields, every frame, HDR or an honest tone map, never
// enlarged; its sound tracks and a downmix that neither clips nor fades;
// what rides beside (subtitles, chapters, tags, cover); and the container
// and codecs each profile writes.

#include "FileHelpers.h"
#include "MediaFixtures.h"
#include "ReadBack.h"

#include "encoding/EncoderFailure.h"
#include "encoding/FfmpegAudio.h"
#include "encoding/FfmpegEncoder.h"
#include "encoding/FfmpegProbe.h"
#include "encoding/ProfileCatalogue.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/pixdesc.h>
}

#include <QtTest>

#include <cmath>

using namespace joblet;
using joblet::test::MediaFixtures;
using joblet::test::ReadBack;

namespace {

// One job through the real encoder, waited for on the event loop.
JobOutcome encodeWith(const QString &input, const QString &profile, const QString &output)
{
    ProfileSettings settings;
    for (const ProfileSettings &p : ProfileCatalogue::builtIn())
        settings = p.name == profile ? p : settings;
    FfmpegEncoder encoder;
    QSignalSpy ended(&encoder, &Encoder::jobEnded);
    encoder.start({.inputPath = input, .source = probeMediaFile(input), .profile = settings,
                   .outputPath = output});
    return ended.wait(120000) ? ended.first().first().value<JobOutcome>() : JobOutcome::failed(-1, "no end");
}

QString seconds(int64_t ts, AVRational timeBase)
{
    return QString::number(double(ts) * av_q2d(timeBase), 'f', 1);
}

// The streams, and "moov first" where MP4's index leads.
QString streamsOf(const ReadBack &back, const QString &path)
{
    const QByteArray file = test::readAll(path);
    const qsizetype moov = file.indexOf("moov"), mdat = file.indexOf("mdat");
    return back.streams() + (moov >= 0 && (mdat < 0 || moov < mdat) ? " moov first" : "");
}

// The video stream: "WxH pixfmt trc order frames" and the marks that matter.
QString videoOf(ReadBack &back)
{
    const int index = av_find_best_stream(back.ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0)
        return QStringLiteral("no video");
    const AVStream *st = back.ic->streams[index];
    const AVCodecParameters *par = st->codecpar;
    bool mastering = av_stream_get_side_data(st, AV_PKT_DATA_MASTERING_DISPLAY_METADATA, nullptr) != nullptr;
    const bool matrix = av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, nullptr) != nullptr;
    int frames = 0;
    bool bars = false; // the first picture has black columns at both sides
    back.decode(AVMEDIA_TYPE_VIDEO, [&](const AVFrame *f) {
        if (frames++ == 0 && f->format == AV_PIX_FMT_YUV420P) {
            bool edgeDark = true, middleDark = true;
            for (int y = 0; y < f->height; ++y) {
                const uint8_t *row = f->data[0] + y * f->linesize[0];
                edgeDark = edgeDark && row[0] <= 20 && row[f->width - 1] <= 20;
                middleDark = middleDark && row[f->width / 2] <= 20;
            }
            bars = edgeDark && !middleDark;
        }
        // Where the container says nothing of HDR, the pictures may.
        mastering = mastering || av_frame_get_side_data(f, AV_FRAME_DATA_MASTERING_DISPLAY_METADATA);
    });
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

// A tag's value, or "-".
QString tag(const AVDictionary *tags, const char *key)
{
    const AVDictionaryEntry *e = av_dict_get(tags, key, nullptr, 0);
    return e ? QString::fromUtf8(e->value) : QStringLiteral("-");
}

// The audio tracks in file order: "language/title", "*" for the default.
QString tracksOf(AVFormatContext *ic)
{
    QStringList tracks;
    for (unsigned i = 0; i < ic->nb_streams; ++i) {
        const AVStream *st = ic->streams[i];
        if (st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            tracks << tag(st->metadata, "language") + u'/' + tag(st->metadata, "title")
                          + (st->disposition & AV_DISPOSITION_DEFAULT ? "*" : "");
    }
    return tracks.join(u' ');
}

// Subtitle streams (codec, language, title, dispositions, cues and when the
// first shows), covers, chapters and when they start, and the music tags.
QString sideOf(AVFormatContext *ic)
{
    QList<int> cues(int(ic->nb_streams));
    QList<QString> first(int(ic->nb_streams));
    AVPacket *pkt = av_packet_alloc();
    while (pkt && av_read_frame(ic, pkt) >= 0 && pkt->stream_index < cues.size()) {
        const AVStream *st = ic->streams[pkt->stream_index];
        // MP4 fills the gaps between cues with empty ones: a text length of 0 in 2 bytes.
        if (st->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE && pkt->size > 2 && cues[pkt->stream_index]++ == 0)
            first[pkt->stream_index] = seconds(pkt->pts, st->time_base);
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    QStringList parts;
    for (unsigned i = 0; i < ic->nb_streams; ++i) {
        const AVStream *st = ic->streams[i];
        if (st->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE)
            parts << QStringLiteral("%1 %2 %3%4%5 %6 cues from %7")
                         .arg(QLatin1String(avcodec_get_name(st->codecpar->codec_id)), tag(st->metadata, "language"), tag(st->metadata, "title"),
                              st->disposition & AV_DISPOSITION_DEFAULT ? " default" : "",
                              st->disposition & AV_DISPOSITION_FORCED ? " forced" : "")
                         .arg(cues[int(i)])
                         .arg(first[int(i)]);
        else if (st->disposition & AV_DISPOSITION_ATTACHED_PIC)
            parts << QStringLiteral("cover %1").arg(QLatin1String(avcodec_get_name(st->codecpar->codec_id)));
    }
    QStringList chapters;
    for (unsigned i = 0; i < ic->nb_chapters; ++i) {
        const AVChapter *c = ic->chapters[i];
        chapters << tag(c->metadata, "title") + u'@' + seconds(c->start, c->time_base);
    }
    if (!chapters.isEmpty())
        parts << QStringLiteral("chapters ") + chapters.join(u' ');
    QStringList music;
    for (const char *key : {"title", "artist", "album", "track", "date"}) {
        if (av_dict_get(ic->metadata, key, nullptr, 0))
            music << QLatin1String(key) + u'=' + tag(ic->metadata, key);
    }
    parts << music.join(u' ');
    return parts.join(QStringLiteral(" | "));
}

// Peak and RMS in dBFS of the first audio stream, every channel decoded as
// the player would hear it; empty when it cannot be.
QList<double> levelOf(const QString &path)
{
    ReadBack back(path);
    double peak = 0, sumSquares = 0;
    qint64 count = 0;
    bool planarFloat = true;
    const bool decoded = back.decode(AVMEDIA_TYPE_AUDIO, [&](const AVFrame *f) {
        planarFloat = planarFloat && f->format == AV_SAMPLE_FMT_FLTP;
        for (int c = 0; planarFloat && c < f->ch_layout.nb_channels; ++c) {
            const auto *s = reinterpret_cast<const float *>(f->extended_data[c]);
            for (int i = 0; i < f->nb_samples; ++i) {
                peak = std::max(peak, double(std::abs(s[i])));
                sumSquares += double(s[i]) * s[i];
            }
            count += f->nb_samples;
        }
    });
    if (!decoded || !planarFloat || count == 0)
        return {};
    return {20 * std::log10(peak), 10 * std::log10(sumSquares / double(count))};
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

// One aspect of the output read back ("error N" when the encode fails);
// `slack` > 0 also bounds how far its length may be from 1 s.
struct KeepRow { QString input, profile, output, aspect, expected, note; double slack = 0; };

} // namespace

class Tst_Keep : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<MediaFixtures> m_media;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        av_log_set_level(AV_LOG_QUIET);
        m_media = std::make_unique<MediaFixtures>(m_dir.path());
        MediaFixtures &m = *m_media;
        // Subtitles in French: two cues from 0.1 s and a third of 100 KiB that no real subtitle is.
        const QString srt = m.writeFile("film.srt", "1\n00:00:00,100 --> 00:00:00,400\nBonjour\n\n"
                                                    "2\n00:00:00,500 --> 00:00:00,900\n<i>Au revoir</i>\n\n"
                                                    "3\n00:00:00,920 --> 00:00:00,980\n"
                                                        + QByteArray(100 * 1024, 'x') + "\n");
        QByteArray chapters = ";FFMETADATA1\ntitle=A Film\n";
        for (int i = 0; i < 3; ++i) // where the clock below starts, since they are not moved with it
            chapters += QStringLiteral("[CHAPTER]\nTIMEBASE=1/1000\nSTART=%1\nEND=%2\ntitle=%3\n")
                            .arg(100 + i * 300).arg(400 + i * 300).arg(QStringList {"One", "Two", "Three"}[i]).toUtf8();
        const QString meta = m.writeFile("film.txt", chapters);
        QVERIFY2(!srt.isEmpty() && !meta.isEmpty(), qPrintable(m.lastError()));
        const QString plain = m.path("plain.mp4"), small = "testsrc=size=160x120:rate=25:duration=";
        QVERIFY2(m.make({
            {"plain.mp4", "-f", "lavfi", "-i", "testsrc=size=320x180:rate=25:duration=1", "-c:v", "mpeg4"},
            // A phone holds the camera upright and says so in a matrix.
            {"phone.mp4", "-i", plain, "-c", "copy", "-metadata:s:v:0", "rotate=90"},
            {"dvd.mpg", "-f", "lavfi", "-i", "testsrc2=size=720x576:rate=50:duration=1", "-vf", "interlace", "-c:v",
             "mpeg2video", "-flags", "+ilme+ildct", "-top", "1"},
            // 30, then 15, then 10 pictures a second.
            {"vfr.mkv", "-f", "lavfi", "-i", "testsrc=size=160x120:rate=30:duration=3", "-vf",
             "select='lt(t,1)+between(t,1,2)*not(mod(n,2))+gte(t,2)*not(mod(n,3))'", "-fps_mode", "vfr", "-c:v", "mpeg4"},
            {"hdr.mkv", "-f", "lavfi", "-i", "testsrc2=size=256x144:rate=24:duration=1", "-pix_fmt", "yuv420p10le",
             "-c:v", "libx265", "-x265-params",
             "log-level=error:hdr10=1:master-display=G(13250,34500)B(7500,3000)R(34000,16000)WP(15635,16450)"
             "L(10000000,1):max-cll=1000,400",
             "-color_primaries", "bt2020", "-color_trc", "smpte2084", "-colorspace", "bt2020nc"},
            {"tiny.mkv", "-f", "lavfi", "-i", "testsrc=size=2x2:rate=25:duration=1", "-c:v", "ffv1"},
            {"odd.mkv", "-f", "lavfi", "-i", "testsrc=size=853x479:rate=25:duration=0.2", "-c:v", "ffv1"},
            // One second: 25 small pictures and 48 kHz stereo.
            {"clip.mkv", "-f", "lavfi", "-i", small + "1", "-f", "lavfi", "-i",
             "sine=frequency=440:sample_rate=48000:duration=1", "-ac", "2", "-c:v", "mpeg4", "-c:a", "pcm_s16le"},
            // Portrait, odd width, pixels wider than tall: fits 720 high,
            // keeping the 1441:1920 the picture shows.
            {"portrait.mkv", "-f", "lavfi", "-i", "testsrc=size=1081x1920:rate=10:duration=1", "-f", "lavfi", "-i",
             "sine=sample_rate=44100:duration=1", "-vf", "setsar=4/3", "-c:v", "ffv1", "-c:a", "pcm_s16le"},
            // A clock that does not start at 0, as in broadcast recordings:
            // what rides along must move with the picture and the sound.
            {"film.mkv", "-f", "lavfi", "-i", small + "1", "-f", "lavfi", "-i", "sine=sample_rate=48000:duration=1",
             "-i", srt, "-i", meta, "-map", "0", "-map", "1", "-map", "2", "-map_metadata", "3", "-map_chapters", "3",
             "-c:v", "mpeg4", "-c:a", "pcm_s16le", "-c:s", "srt", "-metadata:s:s:0", "language=fre",
             "-metadata:s:s:0", "title=Fran\u00e7ais", "-disposition:s:0", "default+forced", "-output_ts_offset", "0.1"},
            {"song.mp3", "-f", "lavfi", "-i", "sine=sample_rate=44100:duration=1", "-f", "lavfi", "-i",
             "testsrc=size=64x64:rate=1:duration=1", "-map", "0", "-map", "1", "-frames:v", "1", "-c:a", "libmp3lame",
             "-c:v", "png", "-disposition:v", "attached_pic", "-metadata", "title=Song", "-metadata", "artist=Band",
             "-metadata", "album=Record", "-metadata", "track=3", "-metadata", "date=2020"},
            // Ogg keeps the tags on the sound's stream.
            {"song.opus", "-i", m.path("song.mp3"), "-map", "0:a", "-c:a", "libopus"},
            // An eng 5.1 AC-3 track and a deu stereo AAC track titled "Kommentar", the default.
            {"deu-default.mkv", "-f", "lavfi", "-i", small + "2", "-f", "lavfi", "-i",
             "sine=frequency=300:sample_rate=48000:duration=2", "-f", "lavfi", "-i",
             "sine=frequency=500:sample_rate=48000:duration=2", "-map", "0:v", "-map", "1:a", "-map", "2:a", "-c:v",
             "mpeg4", "-c:a:0", "ac3", "-ac:a:0", "6", "-c:a:1", "aac", "-ac:a:1", "2", "-metadata:s:a:0",
             "language=eng", "-metadata:s:a:1", "language=deu", "-metadata:s:a:1", "title=Kommentar",
             "-disposition:a:1", "default", "-disposition:a:0", "0"},
            // Six channels of one sine 0.5 dB below full scale.
            {"loud51.wav", "-f", "lavfi", "-i",
             "aevalsrc=" + QStringList(6, "0.9441*sin(2*PI*330*t)").join(u'|') + ":channel_layout=5.1(side):sample_rate=48000:duration=3",
             "-c:a", "pcm_s16le"}}),
                 qPrintable(m.lastError()));
    }

    void keeps_data()
    {
        QTest::addColumn<KeepRow>("row");
        const auto row = [](const char *name, const char *input, const char *profile, const char *output,
                            const char *aspect, const QString &expected, const QString &note = {}, double slack = 0) {
            QTest::newRow(name) << KeepRow {input, profile, output, aspect, expected, note, slack};
        };
        const char *h264 = "MP4 H.264 720p";
        row("turned upright, no matrix left", "phone.mp4", h264, "phone.mp4", "video",
            "180x320 yuv420p unknown progressive frames=25");
        row("upright in a fixed frame, not stretched", "phone.mp4", "Qimto Clipwright 320X240", "phone.wmv", "video",
            "320x240 yuv420p unknown unknown frames=30 bars");
        row("fields woven into frames", "dvd.mpg", h264, "dvd.mp4", "video", "720x576 yuv420p unknown progressive frames=25");
        row("variable rate keeps its pictures", "vfr.mkv", h264, "vfr.mp4", "video",
            "160x120 yuv420p unknown progressive frames=55");
        const QString hdr = "256x144 yuv420p10le smpte2084 progressive frames=24 mastering";
        row("HDR stays 10-bit with its mastering data", "hdr.mkv", "MP4 H.265 1080p", "hdr.mp4", "video", hdr);
        row("HDR in AV1 too", "hdr.mkv", "WebM AV1 1080p", "hdr.webm", "video", hdr);
        row("HDR tone-mapped for H.264", "hdr.mkv", h264, "sdr.mp4", "video", "256x144 yuv420p bt709 progressive frames=24");
        row("never enlarged, even sides", "odd.mkv", h264, "odd.mp4", "video", "852x478 yuv420p unknown progressive frames=5");
        // A reason, not "Invalid argument".
        row("too small for the encoder", "tiny.mkv", "MP4 H.265 1080p", "tiny.mp4", "video",
            QStringLiteral("error %1").arg(quint32(EngineError::PictureTooSmall), 0, 16));

        row("the source's default track goes first", "deu-default.mkv", h264, "c.mkv", "tracks", "deu/Kommentar* eng/-");
        row("audio-only takes the default track only", "deu-default.mkv", "Audio AAC 192 kbps", "d.m4a", "tracks", "deu/-*");

        const QString cues = " 2 cues from 0.1 | ", film = "chapters One@0.0 Two@0.3 Three@0.6 | title=A Film";
        row("film into .mkv", "film.mkv", h264, "out.mkv", "side", "subrip fre Français default forced" + cues + film);
        row("film into MP4", "film.mkv", h264, "out.mp4", "side", "mov_text fre - default forced" + cues + film);
        row("film into sound only", "film.mkv", "Audio AAC 192 kbps", "out.m4a", "side", film);
        row("film into ASF", "film.mkv", "Qimto Clipwright 176X144", "out.wmv", "side", film,
            "out.wmv cannot hold subrip subtitles; left out.");
        const QString music = "title=Song artist=Band album=Record track=3 date=2020";
        row("song into FLAC", "song.mp3", "Audio FLAC lossless", "out.flac", "side", "cover png | " + music);
        row("Opus song into MP3", "song.opus", "Audio MP3 192 kbps", "out.mp3", "side", music);

        const QString mp4 = "mov,mp4,m4a,3gp,3g2,mj2 ", webm = "matroska,webm ", small = " 160x120 sar 1:1";
        row("MP4 H.264 720p", "clip.mkv", h264, "b.mp4", "streams", mp4 + "h264" + small + " aac 48000 2 moov first", {}, 0.04);
        row("MP4 H.265 1080p", "clip.mkv", "MP4 H.265 1080p", "c.mp4", "streams",
            mp4 + "hevc" + small + " hvc1 aac 48000 2 moov first", {}, 0.04);
        row("WebM VP9 720p", "clip.mkv", "WebM VP9 720p", "e.webm", "streams", webm + "vp9" + small + " opus 48000 2", {}, 0.04);
        row("Audio Opus 128 kbps", "clip.mkv", "Audio Opus 128 kbps", "g.opus", "streams", "ogg opus 48000 2", {}, 0.03);
        // The encoder's delay, as in every MP3.
        row("Audio MP3 192 kbps", "clip.mkv", "Audio MP3 192 kbps", "i.mp3", "streams", "mp3 mp3 48000 2", {}, 0.05);
        row("portrait, odd, non-square", "portrait.mkv", h264, "k.mp4", "streams",
            mp4 + "h264 540x720 sar 1:1 aac 44100 2 moov first", {}, 0.1);
    }
    void keeps()
    {
        QFETCH(KeepRow, row);
        const auto &[input, profile, output, aspect, expected, note, slack] = row;
        QTemporaryDir out;
        const QString path = out.filePath(output);
        const JobOutcome outcome = encodeWith(m_media->path(input), profile, path);
        QCOMPARE(outcome.note, note);
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden),
                 outcome.number ? QStringList() : QStringList {output});
        if (outcome.number) {
            QCOMPARE(QStringLiteral("error %1").arg(quint32(outcome.number), 0, 16), expected);
            return;
        }
        ReadBack back(path);
        QVERIFY(back.ic);
        QCOMPARE(aspect == "video"    ? videoOf(back)
              : aspect == "tracks" ? tracksOf(back.ic)
              : aspect == "side"   ? sideOf(back.ic)
                                   : streamsOf(back, path),
              expected);
        if (slack > 0)
            QVERIFY2(qAbs(back.seconds() - 1.0) <= slack + 1e-3, qPrintable(QString::number(back.seconds())));
        if (input == QLatin1String("dvd.mpg"))
            QCOMPARE(combedFrames(path), 0);
    }

    // Centre and surround at -3 dB, the sum of each side's gains 1 so that
    // nothing clips: 0.4142 and 0.2929 are 1 and 0.7071 over 2.4142.
    void downmix_data()
    {
        QTest::addColumn<QString>("layout"); // empty: six channels without names
        QTest::addColumn<int>("outChannels");
        QTest::addColumn<QString>("pan"); // empty: none needed
        QTest::newRow("5.1 side: LFE out")
            << "5.1(side)" << 2 << "stereo|c0=0.41421356*c0+0.29289322*c2+0.29289322*c4|c1=0.41421356*c1+0.29289322*c2+0.29289322*c5";
        // 1 and three times 0.7071 over 3.1213.
        QTest::newRow("7.1: side and back both")
            << "7.1" << 2 << "stereo|c0=0.32037724*c0+0.22654092*c2+0.22654092*c4+0.22654092*c6"
                             "|c1=0.32037724*c1+0.22654092*c2+0.22654092*c5+0.22654092*c7";
        QTest::newRow("6.1: centre back to both sides")
            << "6.1" << 2 << "stereo|c0=0.32037724*c0+0.22654092*c2+0.22654092*c4+0.22654092*c5"
                             "|c1=0.32037724*c1+0.22654092*c2+0.22654092*c4+0.22654092*c6";
        QTest::newRow("5.1 to mono: all but LFE, evenly") << "5.1(side)" << 1 << "mono|c0=0.2*c0+0.2*c1+0.2*c2+0.2*c4+0.2*c5";
        QTest::newRow("unnamed channels: round-robin")
            << "" << 2 << "stereo|c0=0.33333333*c0+0.33333333*c2+0.33333333*c4|c1=0.33333333*c1+0.33333333*c3+0.33333333*c5";
        QTest::newRow("only LFE: not silent") << "LFE+LFE2" << 1 << "mono|c0=0.5*c0+0.5*c1";
        QTest::newRow("mono upmix left to the resampler") << "mono" << 2 << "";
    }
    void downmix()
    {
        QFETCH(QString, layout);
        QFETCH(int, outChannels);
        AVChannelLayout in {AV_CHANNEL_ORDER_UNSPEC, 6, {0}, nullptr};
        QVERIFY(layout.isEmpty() || av_channel_layout_from_string(&in, qPrintable(layout)) == 0);
        QTEST(transcode::downmixPan(in, outChannels).value_or(QString()), "pan");
        av_channel_layout_uninit(&in);
    }

    // Six channels of one sine near full scale: stereo has it at the sine's
    // own level, neither clipped nor faded.
    void loudness()
    {
        QTemporaryDir out;
        const QString path = out.filePath("a.mp3");
        QCOMPARE(quint32(encodeWith(m_media->path("loud51.wav"), "Audio MP3 192 kbps", path).number), 0u);
        const QList<double> level = levelOf(path); // peak, RMS
        QCOMPARE(level.size(), 2);
        QVERIFY2(level[0] <= 0.0, qPrintable(QString::number(level[0])));
        QVERIFY2(std::abs(level[1] - (-0.5 - 10 * std::log10(2.0))) <= 0.5, qPrintable(QString::number(level[1])));
    }
};

QTEST_GUILESS_MAIN(Tst_Keep)
#include "tst_keep.moc"
