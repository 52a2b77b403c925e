// Encodes one clip with the engine and with the ffmpeg command at the same
// settings, alternately, and compares median wall times. The last line is
// "ratio <engine/ffmpeg>" for scripts.

#include "BenchSupport.h"
#include "MediaFixtures.h"

#include "encoding/EncoderFailure.h"
#include "encoding/FfmpegEncoder.h"
#include "encoding/FfmpegProbe.h"
#include "encoding/ProfileCatalogue.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace joblet;
using namespace joblet::bench;

namespace {

Sample runEngine(const QString &input, const QString &output)
{
    FfmpegEncoder encoder;
    EncodeJob job;
    job.inputPath = input;
    job.source = probeMediaFile(input); // a separate user step, not timed
    job.profile = defaultProfile();
    job.outputPath = output;

    QEventLoop loop;
    JobOutcome outcome;
    QObject::connect(&encoder, &Encoder::jobEnded, &loop, [&](const JobOutcome &o) {
        outcome = o;
        loop.quit();
    });
    QElapsedTimer timer;
    const double cpu0 = threadCpu();
    timer.start();
    encoder.start(job);
    loop.exec();
    Sample s;
    s.wall = double(timer.nsecsElapsed()) / 1e9;
    s.mainCpu = threadCpu() - cpu0;
    if (!outcome.done()) {
        std::fprintf(stderr, "engine failed: %s\n", qPrintable(outcome.text));
        std::exit(1);
    }
    s.bytes = QFileInfo(output).size();
    return s;
}

Sample runCommand(const QString &input, const QString &output)
{
    QElapsedTimer timer;
    const double cpu0 = threadCpu();
    timer.start();
    QString error;
    const bool ok = runFfmpeg(defaultProfile(), input, output, &error);
    Sample s;
    s.wall = double(timer.nsecsElapsed()) / 1e9;
    s.mainCpu = threadCpu() - cpu0;
    if (!ok) {
        std::fprintf(stderr, "ffmpeg failed: %s\n", qPrintable(error));
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
