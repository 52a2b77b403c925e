#include "EngineRun.h"
#include "MediaFixtures.h"

#include "encoding/FfmpegAudio.h"
#include "encoding/FfmpegEngine.h"
#include "encoding/ProfileCatalogue.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <QtTest>

#include <cmath>

using namespace joblet;
using joblet::test::MediaFixtures;
using joblet::test::builtInProfile;
using joblet::test::encodeWith;

namespace {

// No built-in profile is Matroska; this one is the MP4 720p one in it.
ProfileSettings profileNamed(const QString &name)
{
    if (name != QLatin1String("MKV H.264"))
        return builtInProfile(name);
    ProfileSettings p = builtInProfile(QStringLiteral("MP4 H.264 720p"));
    p.name = name;
    p.container = Container::Matroska;
    return p;
}

struct InputFile {
    ~InputFile() { avformat_close_input(&ic); }
    AVFormatContext *ic = nullptr;
};

// The audio tracks in file order: "language/title", "*" for the default.
QString tracksOf(const QString &path)
{
    InputFile in;
    if (avformat_open_input(&in.ic, QFile::encodeName(path).constData(), nullptr, nullptr) < 0
        || avformat_find_stream_info(in.ic, nullptr) < 0)
        return QStringLiteral("unreadable");
    QStringList tracks;
    for (unsigned i = 0; i < in.ic->nb_streams; ++i) {
        const AVStream *st = in.ic->streams[i];
        if (st->codecpar->codec_type != AVMEDIA_TYPE_AUDIO)
            continue;
        const AVDictionaryEntry *lang = av_dict_get(st->metadata, "language", nullptr, 0);
        const AVDictionaryEntry *title = av_dict_get(st->metadata, "title", nullptr, 0);
        QString t = lang ? QString::fromUtf8(lang->value) : QStringLiteral("?");
        if (title)
            t += u'/' + QString::fromUtf8(title->value);
        if (st->disposition & AV_DISPOSITION_DEFAULT)
            t += u'*';
        tracks << t;
    }
    return tracks.join(u' ');
}

struct Level {
    double peakDb = -INFINITY;
    double rmsDb = -INFINITY;
};

// Decodes the first audio stream, every channel, as the player would hear it.
std::optional<Level> levelOf(const QString &path)
{
    InputFile in;
    if (avformat_open_input(&in.ic, QFile::encodeName(path).constData(), nullptr, nullptr) < 0
        || avformat_find_stream_info(in.ic, nullptr) < 0)
        return std::nullopt;
    const int index = av_find_best_stream(in.ic, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (index < 0)
        return std::nullopt;
    const AVCodecParameters *par = in.ic->streams[index]->codecpar;
    AVCodecContext *dec = avcodec_alloc_context3(avcodec_find_decoder(par->codec_id));
    const auto freeDec = qScopeGuard([&] { avcodec_free_context(&dec); });
    if (!dec || avcodec_parameters_to_context(dec, par) < 0 || avcodec_open2(dec, nullptr, nullptr) < 0)
        return std::nullopt;
    AVPacket *pkt = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    const auto freeRest = qScopeGuard([&] { av_packet_free(&pkt); av_frame_free(&frame); });
    double peak = 0, sumSquares = 0;
    qint64 count = 0;
    bool more = true;
    while (more) {
        more = av_read_frame(in.ic, pkt) >= 0;
        if (more && pkt->stream_index != index) {
            av_packet_unref(pkt);
            continue;
        }
        avcodec_send_packet(dec, more ? pkt : nullptr);
        av_packet_unref(pkt);
        while (avcodec_receive_frame(dec, frame) >= 0) {
            if (frame->format != AV_SAMPLE_FMT_FLTP)
                return std::nullopt;
            for (int c = 0; c < frame->ch_layout.nb_channels; ++c) {
                const auto *s = reinterpret_cast<const float *>(frame->extended_data[c]);
                for (int i = 0; i < frame->nb_samples; ++i) {
                    peak = std::max(peak, double(std::abs(s[i])));
                    sumSquares += double(s[i]) * s[i];
                }
            }
            count += qint64(frame->nb_samples) * frame->ch_layout.nb_channels;
        }
    }
    if (count == 0)
        return std::nullopt;
    return Level {20 * std::log10(peak), 10 * std::log10(sumSquares / double(count))};
}

using Matrix = QList<QList<double>>;

// "stereo|c0=0.5*c0+0.5*c2|c1=..." as gains [output][input].
Matrix parsePan(const QString &arg, int inChannels)
{
    const QStringList outputs = arg.split(u'|').mid(1);
    Matrix m(outputs.size(), QList<double>(inChannels, 0.0));
    for (qsizetype o = 0; o < outputs.size(); ++o) {
        const QString terms = outputs[o].section(u'=', 1);
        for (const QString &term : terms.split(u'+')) {
            const int in = term.section(u'*', 1).mid(1).toInt();
            if (in >= 0 && in < inChannels)
                m[o][in] += term.section(u'*', 0, 0).toDouble();
        }
    }
    return m;
}

} // namespace

class Tst_KeepAudio : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<MediaFixtures> m_media;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        av_log_set_level(AV_LOG_QUIET);
        m_media = std::make_unique<MediaFixtures>(m_dir.path());
        QVERIFY2(!test::twoLanguageFilm(*m_media, "eng-first.mkv", 0).isEmpty(), qPrintable(m_media->lastError()));
        QVERIFY2(!test::twoLanguageFilm(*m_media, "deu-default.mkv", 1).isEmpty(), qPrintable(m_media->lastError()));
        QVERIFY2(!test::surroundSine(*m_media, "loud51.wav", -0.5).isEmpty(), qPrintable(m_media->lastError()));
        QVERIFY2(!test::surroundSine(*m_media, "quiet51.wav", -12).isEmpty(), qPrintable(m_media->lastError()));
    }

    void downmix_data()
    {
        QTest::addColumn<QString>("layout"); // empty: channels without names
        QTest::addColumn<int>("inChannels");
        QTest::addColumn<int>("outChannels");
        QTest::addColumn<Matrix>("gains"); // empty: no pan needed
        const double f = 0.414214, s = 0.292893; // 1 and 0.7071 over their sum 2.4142
        const double f7 = 0.320377, s7 = 0.226541; // 1 and three times 0.7071
        const double t = 1.0 / 3;
        QTest::newRow("5.1 side: LFE out, centre and surround at -3 dB, no clipping")
            << "5.1(side)" << 6 << 2 << Matrix {{f, 0, s, 0, s, 0}, {0, f, s, 0, 0, s}};
        QTest::newRow("5.1 back: back channels count as surround")
            << "5.1" << 6 << 2 << Matrix {{f, 0, s, 0, s, 0}, {0, f, s, 0, 0, s}};
        QTest::newRow("7.1: side and back both")
            << "7.1" << 8 << 2 << Matrix {{f7, 0, s7, 0, s7, 0, s7, 0}, {0, f7, s7, 0, 0, s7, 0, s7}};
        QTest::newRow("6.1: centre back to both sides")
            << "6.1" << 7 << 2 << Matrix {{f7, 0, s7, 0, s7, s7, 0}, {0, f7, s7, 0, s7, 0, s7}};
        QTest::newRow("5.1 to mono: all but LFE, evenly")
            << "5.1(side)" << 6 << 1 << Matrix {{0.2, 0.2, 0.2, 0, 0.2, 0.2}};
        QTest::newRow("unnamed channels: round-robin")
            << "" << 6 << 2 << Matrix {{t, 0, t, 0, t, 0}, {0, t, 0, t, 0, t}};
        QTest::newRow("only LFE: not silent") << "LFE+LFE2" << 2 << 1 << Matrix {{0.5, 0.5}};
        QTest::newRow("stereo stays") << "stereo" << 2 << 2 << Matrix {};
        QTest::newRow("mono upmix left to the resampler") << "mono" << 1 << 2 << Matrix {};
    }
    void downmix()
    {
        QFETCH(QString, layout);
        QFETCH(int, inChannels);
        QFETCH(int, outChannels);
        QFETCH(Matrix, gains);
        AVChannelLayout in {};
        if (layout.isEmpty())
            in = AVChannelLayout {AV_CHANNEL_ORDER_UNSPEC, inChannels, {0}, nullptr};
        else
            QCOMPARE(av_channel_layout_from_string(&in, qPrintable(layout)), 0);
        QCOMPARE(in.nb_channels, inChannels);
        const std::optional<QString> pan = transcode::downmixPan(in, outChannels);
        av_channel_layout_uninit(&in);
        QCOMPARE(pan.has_value(), !gains.isEmpty());
        if (!pan)
            return;
        const Matrix m = parsePan(*pan, inChannels);
        QCOMPARE(m.size(), gains.size());
        for (qsizetype o = 0; o < m.size(); ++o) {
            for (int i = 0; i < inChannels; ++i)
                QVERIFY2(std::abs(m[o][i] - gains[o][i]) < 1e-5, qPrintable(*pan));
        }
    }

    void tracks_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("tracks");
        // MP4 and M4A as written by the libraries have no place for a track's title.
        QTest::newRow("MP4 keeps both, languages and default") << "eng-first.mkv" << "MP4 H.264 720p" << "a.mp4"
                                                               << "eng* deu";
        QTest::newRow("MKV keeps both") << "eng-first.mkv" << "MKV H.264" << "b.mkv" << "eng* deu/Kommentar";
        QTest::newRow("the source's default goes first") << "deu-default.mkv" << "MKV H.264" << "c.mkv"
                                                         << "deu/Kommentar* eng";
        QTest::newRow("audio-only takes the default only") << "deu-default.mkv" << "Audio AAC 192 kbps" << "d.m4a"
                                                           << "deu*";
    }
    void tracks()
    {
        QFETCH(QString, input);
        QFETCH(QString, profile);
        QFETCH(QString, output);
        QFETCH(QString, tracks);
        QTemporaryDir out;
        const QString path = out.filePath(output);
        QCOMPARE(quint32(encodeWith(m_media->path(input), profileNamed(profile), path).error), 0u);
        QCOMPARE(tracksOf(path), tracks);
    }

    // Six channels of one sine: stereo has it at the sine's own level
    // whatever the codec, never beyond full scale.
    void loudness_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<double>("peakDb");
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("output");
        QTest::newRow("AAC, -0.5 dBFS") << "loud51.wav" << -0.5 << "Audio AAC 192 kbps" << "a.m4a";
        QTest::newRow("Opus, -0.5 dBFS") << "loud51.wav" << -0.5 << "Audio Opus 128 kbps" << "b.opus";
        QTest::newRow("MP3, -0.5 dBFS") << "loud51.wav" << -0.5 << "Audio MP3 192 kbps" << "c.mp3";
        QTest::newRow("AAC, -12 dBFS") << "quiet51.wav" << -12.0 << "Audio AAC 192 kbps" << "d.m4a";
        QTest::newRow("Opus, -12 dBFS") << "quiet51.wav" << -12.0 << "Audio Opus 128 kbps" << "e.opus";
        QTest::newRow("MP3, -12 dBFS") << "quiet51.wav" << -12.0 << "Audio MP3 192 kbps" << "f.mp3";
    }
    void loudness()
    {
        QFETCH(QString, input);
        QFETCH(double, peakDb);
        QFETCH(QString, profile);
        QFETCH(QString, output);
        QTemporaryDir out;
        const QString path = out.filePath(output);
        QCOMPARE(quint32(encodeWith(m_media->path(input), builtInProfile(profile), path).error), 0u);
        const std::optional<Level> level = levelOf(path);
        QVERIFY(level);
        qInfo("%s from %s: peak %.2f dBFS, RMS %.2f dBFS", qPrintable(profile), qPrintable(input), level->peakDb,
              level->rmsDb);
        QVERIFY2(level->peakDb <= 0.0, qPrintable(QString::number(level->peakDb)));
        const double sineRms = peakDb - 10 * std::log10(2.0);
        QVERIFY2(std::abs(level->rmsDb - sineRms) <= 0.5, qPrintable(QString::number(level->rmsDb)));
    }
};

QTEST_GUILESS_MAIN(Tst_KeepAudio)
#include "tst_keepaudio.moc"
