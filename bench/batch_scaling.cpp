// One list of 40 short clips through joblet-batch with --jobs 1, --jobs 2 and
// two shards under GNU parallel (then merged), against a loop of one ffmpeg
// command per clip at the same settings; then a projection for 10 000 clips
// from the measured CPU time per job, the bookkeeping per row and one fold of
// a list of that size per shard.
// Then the cost per row alone: lists of 1 000, 4 000 and 32 767 rows whose
// inputs are missing, so every job fails at once and the time is the
// bookkeeping of its Result.
//   batch_scaling            both parts
//   batch_scaling rows N...  only the rows part, at the given sizes

#include "BenchSupport.h"
#include "MediaFixtures.h"

#include "batchcli/ListDocument.h"
#include "encoding/ProfileCatalogue.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <functional>
#include <sys/resource.h>

using namespace joblet;
using namespace joblet::bench;

namespace {

constexpr int ClipCount = 40;
constexpr double ClipSeconds = 3.0;
constexpr int Rounds = 3;
constexpr int ProjectedClips = 10000;

struct Pass {
    double wall = 0;
    double cpu = 0; // user + system of every child process
};

double childCpu()
{
    rusage ru {};
    getrusage(RUSAGE_CHILDREN, &ru);
    const auto s = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return s(ru.ru_utime) + s(ru.ru_stime);
}

Pass timed(const std::function<void()> &work)
{
    const double cpu0 = childCpu();
    QElapsedTimer timer;
    timer.start();
    work();
    return {double(timer.nsecsElapsed()) / 1e9, childCpu() - cpu0};
}

void runOrDie(const QString &program, const QStringList &args, int expected = 0, bool quiet = false)
{
    QProcess p;
    if (quiet)
        p.setStandardErrorFile(QProcess::nullDevice());
    else
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != expected) {
        std::fprintf(stderr, "%s %s failed (%d)\n", qPrintable(program), qPrintable(args.join(' ')),
                     p.exitCode());
        std::exit(1);
    }
}

// Rows of missing inputs: the run's own cost per Result, without encoding.
// *perRowCpu: CPU seconds a row at the largest size.
int rowOverhead(const QList<int> &sizes, double *perRowCpu = nullptr)
{
    QTemporaryDir dir;
    const QString batch = QStringLiteral(JOBLET_BATCH_EXECUTABLE);
    std::printf("%-8s %9s %9s %16s %14s\n", "rows", "wall s", "CPU s", "Results/s", "CPU ms/row");
    for (const int rows : sizes) {
        QByteArray bytes;
        for (int i = 1; i <= rows; ++i)
            bytes += (dir.filePath(QStringLiteral("missing/m%1.avi").arg(i)) + u';'
                      + dir.filePath(QStringLiteral("out/m%1.wmv").arg(i)) + u';' + DefaultProfileName + u';')
                         .toLocal8Bit()
                     + "\r\n";
        const QString list = dir.filePath(QStringLiteral("rows%1.jlt").arg(rows));
        QFile f(list);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return 1;
        f.close();
        const Pass p = timed([&] { runOrDie(batch, {"run", list}, 1, true); });
        std::printf("%-8d %9.2f %9.2f %16.1f %14.3f\n", rows, p.wall, p.cpu, rows / p.wall, 1000 * p.cpu / rows);
        std::fflush(stdout);
        if (perRowCpu)
            *perRowCpu = p.cpu / rows;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.value(0) == QLatin1String("rows")) {
        QList<int> sizes;
        for (const QString &a : args.mid(1))
            sizes << a.toInt();
        return rowOverhead(sizes.isEmpty() ? QList<int>{1000, 4000, 32767} : sizes);
    }
    const QString batch = QStringLiteral(JOBLET_BATCH_EXECUTABLE);
    const QString parallel = QStandardPaths::findExecutable(QStringLiteral("parallel"));
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("xdg"))));
    test::MediaFixtures media(dir.path());
    QDir(dir.path()).mkpath(QStringLiteral("out"));

    QStringList inputs, outputs, ffOutputs;
    QByteArray listBytes;
    for (int i = 1; i <= ClipCount; ++i) {
        const QString clip = media.audioVideoClip(QStringLiteral("c%1.avi").arg(i), ClipSeconds);
        if (clip.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(media.lastError()));
            return 1;
        }
        inputs << clip;
        outputs << dir.filePath(QStringLiteral("out/c%1.wmv").arg(i));
        ffOutputs << dir.filePath(QStringLiteral("out/f%1.wmv").arg(i));
        listBytes += (clip + u';' + outputs.last() + u';' + DefaultProfileName + u';').toLocal8Bit() + "\r\n";
    }
    const QString list = dir.filePath(QStringLiteral("list.jlt"));
    const auto freshList = [&] {
        QFile f(list);
        if (!f.open(QIODevice::WriteOnly) || f.write(listBytes) != listBytes.size())
            std::exit(1);
        for (const QString &o : outputs)
            QFile::remove(o);
    };

    struct Mode {
        const char *name;
        std::function<void()> run;
        std::vector<double> wall, cpu;
    };
    std::vector<Mode> modes;
    modes.push_back({"ffmpeg command loop", [&] {
                         for (int i = 0; i < ClipCount; ++i)
                             if (!runFfmpeg(defaultProfile(), inputs[i], ffOutputs[i]))
                                 std::exit(1);
                     }, {}, {}});
    modes.push_back({"joblet-batch --jobs 1", [&] { runOrDie(batch, {"run", list}); }, {}, {}});
    modes.push_back({"joblet-batch --jobs 2", [&] { runOrDie(batch, {"run", "--jobs", "2", list}); }, {}, {}});
    if (!parallel.isEmpty()) {
        modes.push_back({"2 shards, parallel + merge", [&] {
                             const QString shardOut = dir.filePath(QStringLiteral("list.{}.jlt"));
                             runOrDie(parallel, {batch, "run", "--shard", "{}/2", "--results", shardOut, list,
                                                 ":::", "1", "2"});
                             runOrDie(batch, {"merge", list, dir.filePath(QStringLiteral("list.1.jlt")),
                                              dir.filePath(QStringLiteral("list.2.jlt"))});
                         }, {}, {}});
    }
    // Start-up alone: a list whose rows are all Done.
    const QString doneList = dir.filePath(QStringLiteral("done.jlt"));
    {
        QFile f(doneList);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray("x.avi;x.wmv;P;Done\r\n"));
    }
    modes.push_back({"joblet-batch start-up only", [&] { runOrDie(batch, {"run", doneList}); }, {}, {}});

    // Alternating rounds, so a busy moment of the shared machine hits every mode.
    for (int round = 0; round < Rounds; ++round) {
        for (Mode &m : modes) {
            freshList();
            for (int i = 1; i <= 2; ++i)
                QFile::remove(dir.filePath(QStringLiteral("list.%1.jlt").arg(i)));
            const Pass p = timed(m.run);
            m.wall.push_back(p.wall);
            m.cpu.push_back(p.cpu);
        }
    }

    const double loopWall = median(modes[0].wall);
    std::printf("%d clips of %.0f s, 320x240, %d rounds, medians; %d cores\n", ClipCount, ClipSeconds, Rounds,
                QThread::idealThreadCount());
    std::printf("%-30s %9s %9s %12s\n", "mode", "wall s", "CPU s", "wall/loop");
    for (const Mode &m : modes)
        std::printf("%-30s %9.2f %9.2f %12.2f\n", m.name, median(m.wall), median(m.cpu), median(m.wall) / loopWall);

    std::printf("\nper row, inputs missing:\n");
    double rowCpu = 0;
    if (rowOverhead({1000, 4000, 32767}, &rowCpu) != 0)
        return 1;

    // Each shard folds its journal into the list once, at its end: at
    // 10 000 rows one read and replace of the list, under the lock.
    QByteArray big;
    for (int i = 0; i < ProjectedClips; ++i)
        big += (inputs[i % ClipCount] + u';' + outputs[i % ClipCount] + u';' + DefaultProfileName + u';')
                   .toLocal8Bit()
               + "Done\r\n";
    const QString bigList = dir.filePath(QStringLiteral("big.jlt"));
    {
        QFile f(bigList);
        f.open(QIODevice::WriteOnly);
        f.write(big);
    }
    std::vector<double> folds;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        auto doc = batchcli::ListDocument::read(bigList, nullptr);
        if (!doc || !doc->setResult(1 + i, QStringLiteral("Done")) || !doc->save(bigList, nullptr))
            return 1;
        folds.push_back(double(t.nsecsElapsed()) / 1e9);
    }
    const double foldS = median(folds);
    const double jobCpu = (median(modes[1].cpu) - median(modes.back().cpu)) / ClipCount;
    const double startCpu = median(modes.back().cpu);
    std::printf("\nper job: %.3f s CPU (from --jobs 1, start-up taken off); start-up %.3f s CPU\n", jobCpu,
                startCpu);
    std::printf("bookkeeping per row: %.3f ms CPU; one fold of %d rows: %.3f s\n", 1000 * rowCpu, ProjectedClips,
                foldS);
    std::printf("\nprojected wall for %d clips, one shard per core on one list:\n", ProjectedClips);
    std::printf("%-8s %14s %20s\n", "cores", "encode s", "+ bookkeeping s");
    for (const int cores : {1, 8, 64}) {
        const double encode = ProjectedClips * jobCpu / cores;
        // Journal appends run side by side like the encodes; the folds take the lock in turn.
        const double total = encode + ProjectedClips * rowCpu / cores + cores * foldS;
        std::printf("%-8d %14.0f %20.0f\n", cores, encode, total);
    }
    std::printf("\nratio %.2f\n", median(modes[1].wall) / loopWall);
    return 0;
}
