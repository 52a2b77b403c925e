#include "EngineRun.h"
#include "MediaFixtures.h"


extern "C" {
#include <libavformat/avformat.h>
}

#include <QtTest>

using namespace joblet;
using joblet::test::MediaFixtures;

namespace {

QString seconds(int64_t ts, AVRational timeBase)
{
    return QString::number(double(ts) * av_q2d(timeBase), 'f', 1);
}

// What rides beside the picture and the sound in a finished output, in one
// line: subtitle streams (codec, language, title, dispositions, cues and
// when the first shows), covers, chapters and when they start, and the
// music tags wherever the container keeps them.
QString sideOf(const QString &path)
{
    AVFormatContext *ic = nullptr;
    if (avformat_open_input(&ic, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return QStringLiteral("unreadable");
    const auto guard = qScopeGuard([&] { avformat_close_input(&ic); });
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
    const AVDictionary *tags = ic->metadata;
    for (unsigned i = 0; i < ic->nb_streams; ++i) {
        const AVStream *st = ic->streams[i];
        const auto tag = [st](const char *key) {
            const AVDictionaryEntry *e = av_dict_get(st->metadata, key, nullptr, 0);
            return e ? QString::fromUtf8(e->value) : QStringLiteral("-");
        };
        if (st->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE)
            parts << QStringLiteral("%1 %2 %3%4%5 %6 cues from %7")
                         .arg(QLatin1String(avcodec_get_name(st->codecpar->codec_id)), tag("language"), tag("title"),
                              st->disposition & AV_DISPOSITION_DEFAULT ? " default" : "",
                              st->disposition & AV_DISPOSITION_FORCED ? " forced" : "")
                         .arg(cues[int(i)])
                         .arg(first[int(i)]);
        else if (st->disposition & AV_DISPOSITION_ATTACHED_PIC)
            parts << QStringLiteral("cover %1").arg(QLatin1String(avcodec_get_name(st->codecpar->codec_id)));
        else if (st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && !av_dict_get(tags, "title", nullptr, 0))
            tags = st->metadata; // Ogg keeps them there
    }
    QStringList chapters;
    for (unsigned i = 0; i < ic->nb_chapters; ++i) {
        const AVChapter *c = ic->chapters[i];
        const AVDictionaryEntry *e = av_dict_get(c->metadata, "title", nullptr, 0);
        chapters << QStringLiteral("%1@%2").arg(e ? QString::fromUtf8(e->value) : QStringLiteral("-"),
                                                seconds(c->start, c->time_base));
    }
    if (!chapters.isEmpty())
        parts << QStringLiteral("chapters ") + chapters.join(u' ');
    QStringList music;
    for (const char *key : {"title", "artist", "album", "track", "date"}) {
        if (const AVDictionaryEntry *e = av_dict_get(tags, key, nullptr, 0))
            music << QStringLiteral("%1=%2").arg(QLatin1String(key), QString::fromUtf8(e->value));
    }
    parts << music.join(u' ');
    return parts.join(QStringLiteral(" | "));
}

} // namespace

class Tst_KeepSide : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<MediaFixtures> m_media;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        av_log_set_level(AV_LOG_QUIET);
        m_media = std::make_unique<MediaFixtures>(m_dir.path());
        // A clock that does not start at 0, as in broadcast recordings:
        // what rides along must move with the picture and the sound.
        QVERIFY2(!m_media->filmWithSubtitles(QStringLiteral("film.mkv"), 0.1).isEmpty(), qPrintable(m_media->lastError()));
        QVERIFY2(!m_media->taggedSongWithCover().isEmpty(), qPrintable(m_media->lastError()));
        // Ogg keeps the tags on the sound's stream.
        QVERIFY2(m_media->ffmpeg({"-i", m_media->path("song.mp3"), "-map", "0:a", "-c:a", "libopus",
                                  m_media->path("song.opus")}),
                 qPrintable(m_media->lastError()));
    }

    void keeps_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("side");
        QTest::addColumn<QString>("note");
        const QString cues = " 2 cues from 0.1 | ";
        const QString film = "chapters One@0.0 Two@0.3 Three@0.6 | title=A Film";
        QTest::newRow("film into .mkv") << "film.mkv" << "MP4 H.264 720p" << "out.mkv"
                                        << "subrip fre Français default forced" + cues + film << "";
        QTest::newRow("film into MP4") << "film.mkv" << "MP4 H.264 720p" << "out.mp4"
                                       << "mov_text fre - default forced" + cues + film << "";
        QTest::newRow("film into WebM") << "film.mkv" << "WebM VP9 720p" << "out.webm"
                                        << "webvtt fre Français default forced" + cues + film << "";
        QTest::newRow("film into sound only") << "film.mkv" << "Audio AAC 192 kbps" << "out.m4a" << film << "";
        QTest::newRow("film into ASF") << "film.mkv" << "Qimto Clipwright 176X144" << "out.wmv" << film
                                       << "out.wmv cannot hold subrip subtitles; left out.";
        const QString music = "title=Song artist=Band album=Record track=3 date=2020";
        QTest::newRow("song into M4A") << "song.mp3" << "Audio AAC 192 kbps" << "out.m4a" << "cover png | " + music
                                       << "";
        QTest::newRow("song into MP3") << "song.mp3" << "Audio MP3 192 kbps" << "out.mp3" << "cover png | " + music
                                       << "";
        QTest::newRow("song into FLAC") << "song.mp3" << "Audio FLAC lossless" << "out.flac" << "cover png | " + music
                                        << "";
        QTest::newRow("song into Opus") << "song.mp3" << "Audio Opus 128 kbps" << "out.opus" << music
                                        << "out.opus cannot hold the cover picture; left out.";
        QTest::newRow("Opus song into MP3") << "song.opus" << "Audio MP3 192 kbps" << "out.mp3" << music << "";
    }
    void keeps()
    {
        QFETCH(QString, input);
        QFETCH(QString, profile);
        QFETCH(QString, output);
        QFETCH(QString, side);
        QFETCH(QString, note);
        const ProfileSettings settings = joblet::test::builtInProfile(profile);
        QVERIFY(!settings.name.isEmpty());
        QTemporaryDir out;
        const QString path = out.filePath(output);
        const joblet::test::EngineOutcome outcome = joblet::test::encodeWith(m_media->path(input), settings, path);
        QCOMPARE(quint32(outcome.error), 0u);
        QCOMPARE(sideOf(path), side);
        QCOMPARE(outcome.note, note);
    }
};

QTEST_GUILESS_MAIN(Tst_KeepSide)
#include "tst_keepside.moc"
