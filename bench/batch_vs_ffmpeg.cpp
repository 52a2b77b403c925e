// Runs a list of clips through the session runner with the real engine, and
// the same clips through one ffmpeg command each at the same settings,
// alternately, and compares median wall times. The last line is
// "ratio <runner/ffmpeg loop>" for scripts.

#include "BenchSupport.h"
#include "MediaFixtures.h"

#include "batch/BatchList.h"
#include "encoding/EncoderFailure.h"
#include "encoding/ProfileCatalogue.h"
#include "encoding/EngineFactory.h"
#include "session/SessionRunner.h"

#include <QCoreApplication>
#include <QDir>
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

constexpr int ClipCount = 20;
constexpr double ClipSeconds = 10.0;

Sample runRunner(BatchList &list, SessionRunner &runner)
{
    list.clearResults();
    QElapsedTimer timer;
    const double cpu0 = threadCpu();
    timer.start();
    QEventLoop loop;
    SessionRunner::Outcome outcome = SessionRunner::Outcome::Stopped;
    QObject::connect(&runner, &SessionRunner::runEnded, &loop, [&](SessionRunner::Outcome o) {
        outcome = o;
        loop.quit();
    });
    runner.start();
    loop.exec();
    Sample s;
    s.wall = double(timer.nsecsElapsed()) / 1e9;
    s.mainCpu = threadCpu() - cpu0;
    QStringList outputs;
    for (int row = 1; row <= list.count(); ++row) {
        if (list.cell(row, BatchItem::ResultKey) != QLatin1String("Done")) {
            std::fprintf(stderr, "row %d: %s %s\n", row, qPrintable(list.cell(row, BatchItem::ResultKey)),
                         qPrintable(list.item(row).resultDetail));
            std::exit(1);
        }
        outputs << list.cell(row, BatchItem::OutputFileKey);
    }
    if (outcome != SessionRunner::Outcome::Finished)
        std::exit(1);
    s.bytes = totalSize(outputs);
    return s;
}

Sample runCommands(const QStringList &inputs, const QStringList &outputs)
{
    QElapsedTimer timer;
    const double cpu0 = threadCpu();
    timer.start();
    for (int i = 0; i < inputs.size(); ++i) {
        if (!runFfmpeg(defaultProfile(), inputs[i], outputs[i])) {
            std::fprintf(stderr, "ffmpeg failed on %s\n", qPrintable(inputs[i]));
            std::exit(1);
        }
    }
    Sample s;
    s.wall = double(timer.nsecsElapsed()) / 1e9;
    s.mainCpu = threadCpu() - cpu0;
    s.bytes = totalSize(outputs);
    return s;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, atoi(argv[1])) : 3;

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QDir root(dir.path());
    root.mkpath(QStringLiteral("runner"));
    root.mkpath(QStringLiteral("command"));
    test::MediaFixtures media(dir.path());
    std::printf("inputs: %d clips of %.0f s, 320x240 30 fps mpeg4 + stereo 44.1 kHz mp3, in AVI\n", ClipCount,
                ClipSeconds);
    std::fflush(stdout);

    BatchList list;
    QStringList inputs, commandOutputs;
    for (int i = 1; i <= ClipCount; ++i) {
        const QString name = QStringLiteral("clip%1").arg(i, 2, 10, QLatin1Char('0'));
        const QString input = media.audioVideoClip(name + QStringLiteral(".avi"), ClipSeconds, {320, 240}, 30);
        if (input.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(media.lastError()));
            return 1;
        }
        inputs << input;
        commandOutputs << root.filePath(QStringLiteral("command/") + name + QStringLiteral(".wmv"));
        list.append(BatchItem {input, root.filePath(QStringLiteral("runner/") + name + QStringLiteral(".wmv")),
                               DefaultProfileName, {}, {}});
    }
    const EngineFactory engines;
    SessionRunner runner(list, engines);

    try {
        // One untimed pass each, so that both start with the inputs cached.
        runRunner(list, runner);
        runCommands(inputs, commandOutputs);

        std::vector<double> runnerWall, commandWall, cpuShare, cpuSeconds;
        for (int i = 0; i < runs; ++i) {
            const Sample r = runRunner(list, runner);
            const Sample c = runCommands(inputs, commandOutputs);
            runnerWall.push_back(r.wall);
            commandWall.push_back(c.wall);
            cpuShare.push_back(r.mainCpu / r.wall);
            cpuSeconds.push_back(r.mainCpu);
            std::printf("run %d: runner %.3f s (main thread cpu %.4f s, %lld bytes)  ffmpeg loop %.3f s (%lld bytes)\n",
                        i + 1, r.wall, r.mainCpu, static_cast<long long>(r.bytes), c.wall,
                        static_cast<long long>(c.bytes));
            std::fflush(stdout);
        }
        const double r = median(runnerWall);
        const double c = median(commandWall);
        std::printf("median wall: runner %.3f s, ffmpeg loop %.3f s\n", r, c);
        // Per job too: the share alone depends on how fast the jobs encode.
        std::printf("runner main thread cpu: median %.3f %% of wall, %.2f ms per job\n",
                    100.0 * median(cpuShare), 1000.0 * median(cpuSeconds) / ClipCount);
        std::printf("ratio %.2f\n", r / c);
    } catch (const EncoderFailure &f) {
        std::fprintf(stderr, "run failed: %s\n", f.what());
        return 1;
    }
    return 0;
}
