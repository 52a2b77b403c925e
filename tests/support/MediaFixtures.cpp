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

QString sizeArg(QSize s)
{
    return QStringLiteral("%1x%2").arg(s.width()).arg(s.height());
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

QString MediaFixtures::audioVideoClip(const QString &name, double seconds, QSize size, int fps)
{
    const QString out = path(name);
    const bool ok = ffmpeg(QStringList {
        "-f", "lavfi", "-i", QStringLiteral("testsrc=size=%1:rate=%2:duration=%3").arg(sizeArg(size)).arg(fps).arg(num(seconds)),
        "-f", "lavfi", "-i", QStringLiteral("sine=frequency=440:sample_rate=44100:duration=%1").arg(num(seconds)),
        "-ac", "2", "-c:v", "mpeg4", "-q:v", "4", "-c:a", "libmp3lame", "-b:a", "128k"}
        + Exact + QStringList {out});
    return ok ? out : QString();
}

QString MediaFixtures::audioOnly(const QString &name, double seconds)
{
    const QString out = path(name);
    const bool ok = ffmpeg(QStringList {
        "-f", "lavfi", "-i", QStringLiteral("sine=frequency=1000:sample_rate=48000:duration=%1").arg(num(seconds)),
        "-ac", "1", "-c:a", "pcm_s16le"} + Exact + QStringList {out});
    return ok ? out : QString();
}

QString MediaFixtures::videoOnly(const QString &name, double seconds, QSize size)
{
    const QString out = path(name);
    const bool ok = ffmpeg(QStringList {
        "-f", "lavfi", "-i", QStringLiteral("testsrc=size=%1:rate=25:duration=%2").arg(sizeArg(size), num(seconds)),
        "-c:v", "mpeg4", "-q:v", "4"} + Exact + QStringList {out});
    return ok ? out : QString();
}

QString MediaFixtures::stillImage(const QString &name, QSize size)
{
    const QString out = path(name);
    const bool ok = ffmpeg(QStringList {
        "-f", "lavfi", "-i", QStringLiteral("testsrc=size=%1:rate=1:duration=1").arg(sizeArg(size)),
        "-frames:v", "1", "-update", "1"} + Exact + QStringList {out});
    return ok ? out : QString();
}

QString MediaFixtures::subtitlesOnly(const QString &name)
{
    const QString srt = writeFile(name + QStringLiteral(".srt"),
                                  "1\n00:00:00,000 --> 00:00:01,000\nFirst line\n\n"
                                  "2\n00:00:01,500 --> 00:00:03,000\nSecond line\n");
    if (srt.isEmpty())
        return {};
    const QString out = path(name);
    const bool ok = ffmpeg(QStringList {"-i", srt, "-c:s", "srt"} + Exact + QStringList {out});
    QFile::remove(srt);
    return ok ? out : QString();
}

QString MediaFixtures::textFile(const QString &name)
{
    return writeFile(name, "Shopping list\n- milk\n- bread\n- a new video camera\n");
}

QString MediaFixtures::emptyFile(const QString &name)
{
    return writeFile(name, QByteArray());
}

QString MediaFixtures::truncatedMp4(const QString &name)
{
    const QString whole = path(QStringLiteral("whole-") + name);
    if (!ffmpeg(QStringList {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=2", "-c:v", "mpeg4"}
                + Exact + QStringList {whole}))
        return {};
    return truncateCopy(whole, name, 0.5);
}

QString MediaFixtures::truncatedAvi(const QString &name, double seconds)
{
    const QString whole = audioVideoClip(QStringLiteral("whole-") + name, seconds);
    if (whole.isEmpty())
        return {};
    return truncateCopy(whole, name, 0.6);
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

QString MediaFixtures::truncateCopy(const QString &from, const QString &name, double keep)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly)) {
        m_lastError = QStringLiteral("cannot read %1: %2").arg(from, in.errorString());
        return {};
    }
    const QByteArray head = in.read(qint64(double(in.size()) * keep));
    in.close();
    QFile::remove(from);
    return writeFile(name, head);
}

} // namespace joblet::test
