#include "MediaFixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace joblet::test {

namespace {

QString num(double v)
{
    return QString::number(v, 'f', 3);
}

// Same bytes on every run, so that a failure can be reproduced.
const QStringList Exact {QStringLiteral("-fflags"), QStringLiteral("+bitexact"), QStringLiteral("-flags:v"),
                         QStringLiteral("+bitexact"), QStringLiteral("-flags:a"), QStringLiteral("+bitexact")};

} // namespace

MediaFixtures::MediaFixtures(QString folder)
    : m_folder(std::move(folder))
{
}

QString MediaFixtures::ffmpegExecutable()
{
#ifdef JOBLET_FFMPEG_EXECUTABLE
    if (QFileInfo(QStringLiteral(JOBLET_FFMPEG_EXECUTABLE)).isExecutable())
        return QStringLiteral(JOBLET_FFMPEG_EXECUTABLE);
#endif
    const QString found = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    return found.isEmpty() ? QStringLiteral("ffmpeg") : found;
}

QString MediaFixtures::path(const QString &name) const
{
    return QDir(m_folder).filePath(name);
}

bool MediaFixtures::ffmpeg(const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(ffmpegExecutable(), QStringList {QStringLiteral("-nostdin"), QStringLiteral("-hide_banner"),
                                             QStringLiteral("-loglevel"), QStringLiteral("error"),
                                             QStringLiteral("-y")}
                                    + args);
    if (!p.waitForFinished(300000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        m_lastError = QStringLiteral("ffmpeg %1 failed: %2 %3")
                          .arg(args.join(QLatin1Char(' ')), p.errorString(), QString::fromLocal8Bit(p.readAll()));
        return false;
    }
    return true;
}

QString MediaFixtures::makeOne(const QString &name, const QStringList &args)
{
    const QString out = path(name);
    return ffmpeg(args + Exact + QStringList {out}) ? out : QString();
}

bool MediaFixtures::make(const QList<QStringList> &files)
{
    for (const QStringList &f : files) {
        if (!ffmpeg(f.mid(1) << path(f.first())))
            return false;
    }
    return true;
}

QString MediaFixtures::audioVideoClip(const QString &name, double seconds, QSize size, int fps)
{
    return makeOne(name, {"-f", "lavfi", "-i",
                          QStringLiteral("testsrc=size=%1x%2:rate=%3:duration=%4")
                              .arg(size.width()).arg(size.height()).arg(fps).arg(num(seconds)),
                          "-f", "lavfi", "-i", QStringLiteral("sine=frequency=440:sample_rate=44100:duration=%1").arg(num(seconds)),
                          "-ac", "2", "-c:v", "mpeg4", "-q:v", "4", "-c:a", "libmp3lame", "-b:a", "128k"});
}

QString MediaFixtures::audioOnly(const QString &name, double seconds)
{
    return makeOne(name, {"-f", "lavfi", "-i", QStringLiteral("sine=frequency=1000:sample_rate=48000:duration=%1").arg(num(seconds)),
                          "-ac", "1", "-c:a", "pcm_s16le"});
}

QString MediaFixtures::textFile(const QString &name)
{
    return writeFile(name, "Shopping list\n- milk\n- bread\n- a new video camera\n");
}

QString MediaFixtures::writeFile(const QString &name, const QByteArray &data)
{
    const QString out = path(name);
    QFile f(out);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(data) != data.size()) {
        m_lastError = QStringLiteral("cannot write %1: %2").arg(out, f.errorString());
        return {};
    }
    return out;
}

// What rides beside the picture and the sound.
QString MediaFixtures::filmWithSubtitles(const QString &name, double startSeconds)
{
    const QString srt = writeFile(name + QStringLiteral(".srt"),
                                  "1\n00:00:00,100 --> 00:00:00,400\nBonjour\n\n"
                                  "2\n00:00:00,500 --> 00:00:00,900\n<i>Au revoir</i>\n\n"
                                  "3\n00:00:00,920 --> 00:00:00,980\n"
                                  + QByteArray(100 * 1024, 'x') + "\n");
    // Chapters are not moved with the clock; they are given where it starts.
    const qint64 ms = qRound64(startSeconds * 1000);
    QByteArray chapters = ";FFMETADATA1\ntitle=A Film\n";
    const char *titles[] = {"One", "Two", "Three"};
    for (int i = 0; i < 3; ++i)
        chapters += QStringLiteral("[CHAPTER]\nTIMEBASE=1/1000\nSTART=%1\nEND=%2\ntitle=%3\n")
                        .arg(ms + i * 300).arg(ms + (i + 1) * 300).arg(QLatin1String(titles[i])).toUtf8();
    const QString meta = writeFile(name + QStringLiteral(".txt"), chapters);
    if (srt.isEmpty() || meta.isEmpty())
        return {};
    const QString out = makeOne(name, {
        "-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=1", "-f", "lavfi", "-i",
        "sine=sample_rate=48000:duration=1", "-i", srt, "-i", meta, "-map", "0", "-map", "1", "-map", "2",
        "-map_metadata", "3", "-map_chapters", "3", "-c:v", "mpeg4", "-c:a", "pcm_s16le", "-c:s", "srt",
        "-metadata:s:s:0", "language=fre", "-metadata:s:s:0", QStringLiteral("title=Fran\u00e7ais"),
        "-disposition:s:0", "default+forced", "-output_ts_offset", num(startSeconds)});
    QFile::remove(srt);
    QFile::remove(meta);
    return out;
}

QString MediaFixtures::taggedSongWithCover(const QString &name)
{
    return makeOne(name, {"-f", "lavfi", "-i", "sine=sample_rate=44100:duration=1", "-f", "lavfi", "-i",
                       "testsrc=size=64x64:rate=1:duration=1", "-map", "0", "-map", "1", "-frames:v", "1", "-c:a",
                       "libmp3lame", "-c:v", "png", "-disposition:v", "attached_pic", "-metadata", "title=Song",
                       "-metadata", "artist=Band", "-metadata", "album=Record", "-metadata", "track=3", "-metadata",
                       "date=2020"});
}

} // namespace joblet::test

// Inputs for the audio tracks' tests.
#include <cmath>

namespace joblet::test {

QString twoLanguageFilm(MediaFixtures &media, const QString &name, int defaultTrack)
{
    const QString out = media.path(name);
    const QString other = QString::number(1 - defaultTrack);
    return media.ffmpeg({
        "-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=2",
        "-f", "lavfi", "-i", "sine=frequency=300:sample_rate=48000:duration=2",
        "-f", "lavfi", "-i", "sine=frequency=500:sample_rate=48000:duration=2",
        "-map", "0:v", "-map", "1:a", "-map", "2:a", "-c:v", "mpeg4",
        "-c:a:0", "ac3", "-ac:a:0", "6", "-c:a:1", "aac", "-ac:a:1", "2",
        "-metadata:s:a:0", "language=eng", "-metadata:s:a:1", "language=deu", "-metadata:s:a:1", "title=Kommentar",
        "-disposition:a:" + QString::number(defaultTrack), "default", "-disposition:a:" + other, "0", out})
               ? out : QString();
}

QString surroundSine(MediaFixtures &media, const QString &name, double peakDb, double seconds)
{
    const QString out = media.path(name);
    const QString tone = QStringLiteral("%1*sin(2*PI*330*t)").arg(std::pow(10.0, peakDb / 20), 0, 'f', 4);
    return media.ffmpeg({"-f", "lavfi", "-i",
                         QStringLiteral("aevalsrc=%1:channel_layout=5.1(side):sample_rate=48000:duration=%2")
                             .arg(QStringList(6, tone).join(u'|'), QString::number(seconds, 'f', 3)),
                         "-c:a", "pcm_s16le", out})
               ? out : QString();
}

} // namespace joblet::test
