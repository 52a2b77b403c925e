#include "BenchSupport.h"

#include "MediaFixtures.h"
#include "encoding/ProfileCatalogue.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <ctime>

namespace joblet::bench {

double threadCpu()
{
    timespec ts {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

ProfileSettings defaultProfile()
{
    for (const ProfileSettings &p : ProfileCatalogue::builtIn())
        if (p.name == DefaultProfileName)
            return p;
    qFatal("default profile missing");
}

bool runFfmpeg(const ProfileSettings &profile, const QString &input, const QString &output, QString *error)
{
    const auto n = [](int v) { return QString::number(v); };
    const QStringList args {"-nostdin", "-loglevel", "error", "-y", "-i", input,
                            "-c:v", "wmv2", "-b:v", n(profile.video.bitRate),
                            "-s", n(profile.video.width) + "x" + n(profile.video.height),
                            "-r", n(profile.video.frameRate),
                            "-c:a", "wmav2", "-b:a", n(profile.audio.bitRate),
                            "-ar", n(profile.audio.sampleRate), "-ac", n(profile.audio.channels),
                            "-f", "asf", output};
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    QEventLoop loop;
    QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&p, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    p.start(test::MediaFixtures::ffmpegExecutable(), args);
    loop.exec();
    const bool ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0
                    && p.error() == QProcess::UnknownError;
    if (!ok && error)
        *error = p.errorString();
    return ok;
}

qint64 totalSize(const QStringList &paths)
{
    qint64 n = 0;
    for (const QString &p : paths)
        n += QFileInfo(p).size();
    return n;
}

} // namespace joblet::bench
