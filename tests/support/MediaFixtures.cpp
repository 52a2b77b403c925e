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
const QStringList Exact {"-fflags", "+bitexact", "-flags:v", "+bitexact", "-flags:a", "+bitexact"};

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
    p.start(ffmpegExecutable(), QStringList {"-nostdin", "-hide_banner", "-loglevel", "error", "-y"} + args);
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

} // namespace joblet::test
