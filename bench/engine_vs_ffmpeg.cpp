// Encodes one clip with the engine and with the ffmpeg command at the same
// settings, alternately, and compares median wall times. The last line is
// "ratio <engine/ffmpeg>" for scripts.

#include "MediaFixtures.h"

#include "encoding/EncoderFailure.h"
#include "encoding/FfmpegEngine.h"
#include "encoding/ProfileCatalogue.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace joblet;

namespace {

struct Sample {
    double wall = 0;       // seconds
    double mainCpu = 0;    // seconds of this thread's CPU while waiting
    qint64 bytes = 0;
};

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
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The default profile, which the ffmpeg command line below mirrors.
ProfileSettings clipProfile()
{
    for (const ProfileSettings &p : ProfileCatalogue::builtIn())
        if (p.name == DefaultProfileName)
            return p;
    qFatal("default profile missing");
}

Sample runEngine(const QString &input, const QString &output)
{
    FfmpegEngine engine {ProfileCollection()};
    SourceGroup &group = engine.SourceGroupCollection().Add(QStringLiteral("bench"));
    group.AutoSetFileSource(input); // a separate user step, not timed
    group.setProfile(EncoderProfile(clipProfile()));
    engine.File().setLocalFileName(output);

    QEventLoop loop;
    QObject::connect(&engine, &EncoderEngine::RunStateChanged, &loop, [&](qint32 s) {
        if (s == RunStopped)
            loop.quit();
    });
    QElapsedTimer timer;
    const double cpu0 = threadCpu();
    timer.start();
    engine.Start();
    loop.exec();
    Sample s;
    s.wall = double(timer.nsecsElapsed()) / 1e9;
    s.mainCpu = threadCpu() - cpu0;
    if (engine.ErrorState() != 0) {
        std::fprintf(stderr, "engine failed: %s\n", qPrintable(engine.ErrorDescription()));
        std::exit(1);
    }
    s.bytes = QFileInfo(output).size();
    return s;
}

Sample runCommand(const QString &input, const QString &output)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    QEventLoop loop;
    QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&p, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    const ProfileSettings prof = clipProfile();
    const auto n = [](int v) { return QString::number(v); };
    const QStringList args {"-nostdin", "-loglevel", "error", "-y", "-i", input,
                            "-c:v", "wmv2", "-b:v", n(prof.video.bitRate),
                            "-s", n(prof.video.width) + "x" + n(prof.video.height), "-r", n(prof.video.frameRate),
                            "-c:a", "wmav2", "-b:a", n(prof.audio.bitRate),
                            "-ar", n(prof.audio.sampleRate), "-ac", n(prof.audio.channels),
                            "-f", "asf", output};
    QElapsedTimer timer;
    const double cpu0 = threadCpu();
    timer.start();
    p.start(test::MediaFixtures::ffmpegExecutable(), args);
    loop.exec();
    Sample s;
    s.wall = double(timer.nsecsElapsed()) / 1e9;
    s.mainCpu = threadCpu() - cpu0;
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "ffmpeg failed: %s\n", qPrintable(p.errorString()));
        std::exit(1);
    }
    s.bytes = QFileInfo(output).size();
    return s;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, atoi(argv[1])) : 5;

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    test::MediaFixtures media(dir.path());
    std::printf("input: 60 s, 640x480 30 fps mpeg4 (q 4) + stereo 44.1 kHz mp3 128k, in AVI\n");
    std::fflush(stdout);
    const QString input = media.audioVideoClip(QStringLiteral("input.avi"), 60.0, {640, 480}, 30);
    if (input.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(media.lastError()));
        return 1;
    }
    const QString engineOut = dir.filePath(QStringLiteral("engine.wmv"));
    const QString commandOut = dir.filePath(QStringLiteral("command.wmv"));

    // One untimed pass each, so that both start with the input in the cache.
    runEngine(input, engineOut);
    runCommand(input, commandOut);

    std::vector<double> engineWall, commandWall, engineCpuShare;
    double engineCpuTotal = 0;
    for (int i = 0; i < runs; ++i) {
        const Sample e = runEngine(input, engineOut);
        const Sample c = runCommand(input, commandOut);
        engineWall.push_back(e.wall);
        commandWall.push_back(c.wall);
        engineCpuShare.push_back(e.mainCpu / e.wall);
        engineCpuTotal += e.mainCpu;
        std::printf("run %d: engine %.3f s (main thread cpu %.4f s, %lld bytes)  ffmpeg %.3f s (%lld bytes)\n", i + 1,
                    e.wall, e.mainCpu, static_cast<long long>(e.bytes), c.wall, static_cast<long long>(c.bytes));
        std::fflush(stdout);
    }
    const double e = median(engineWall);
    const double c = median(commandWall);
    std::printf("median wall: engine %.3f s, ffmpeg %.3f s\n", e, c);
    std::printf("engine main thread cpu while waiting: median %.3f %% of wall, total %.4f s\n",
                100.0 * median(engineCpuShare), engineCpuTotal);
    std::printf("ratio %.2f\n", e / c);
    return 0;
}
