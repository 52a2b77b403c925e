// Encodes one 1280x720 clip through each built-in video profile with the
// engine and with the ffmpeg command at the same encoder settings, and
// compares wall time, CPU and PSNR against the source. Then two jobs at once
// with the cores divided, as `joblet-batch --jobs 2` runs them.
//
// modern_vs_ffmpeg [SECONDS [NAME-PART [RUNS]]]   (default 60 s, every video
// profile, one run; with more, the two sides alternate and medians count)

#include "MediaFixtures.h"

#include "encoding/EncoderFailure.h"
#include "encoding/FfmpegEncoder.h"
#include "encoding/FfmpegProbe.h"
#include "encoding/FfmpegVideoChain.h"
#include "encoding/ProfileCatalogue.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

extern "C" {
#include <libavutil/log.h>
}

#include <algorithm>
#include <cstdio>
#include <vector>
#include <sys/resource.h>

using namespace joblet;

namespace {

struct Result {
    double wall = 0;
    double cpu = 0; // seconds of all threads
    double psnr = 0;
};

double processCpu()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

QString ffmpeg()
{
    return test::MediaFixtures::ffmpegExecutable();
}

// The command line that encodes as the engine does for `p`.
QStringList commandFor(const ProfileSettings &p)
{
    const VideoSettings &v = p.video;
    QStringList a;
    switch (v.codec) {
    case VideoCodec::H264: a << "-c:v" << "libx264"; break;
    case VideoCodec::H265: a << "-c:v" << "libx265" << "-tag:v" << "hvc1" << "-x265-params" << "log-level=error"; break;
    case VideoCodec::Av1: a << "-c:v" << "libsvtav1"; break;
    case VideoCodec::Vp9: a << "-c:v" << "libvpx-vp9" << "-b:v" << "0" << "-row-mt" << "1"; break;
    case VideoCodec::Wmv2: break;
    }
    a << "-crf" << QString::number(v.quality);
    if (!v.preset.isEmpty())
        a << (v.codec == VideoCodec::Vp9 ? "-cpu-used" : "-preset") << v.preset;
    // The same chain the engine builds for this source.
    transcode::VideoSource source;
    source.width = 1280;
    source.height = 720;
    a << "-vf" << transcode::planVideo(source, v, nullptr).filters;
    // The engine keeps each picture's own timestamp, in the input's time
    // base; so must the command, or the PSNR pairs pictures a frame apart.
    a << "-fps_mode" << "passthrough" << "-enc_time_base" << "-1";
    a << "-c:a" << (p.audio.codec == AudioCodec::Aac ? "aac" : "libopus") << "-b:a" << QString::number(p.audio.bitRate)
      << "-ac" << "2";
    if (p.container == Container::Mp4)
        a << "-movflags" << "+faststart";
    return a;
}

double psnr(const QString &encoded, const QString &source)
{
    QProcess proc;
    proc.start(ffmpeg(), {"-hide_banner", "-nostats", "-i", encoded, "-i", source, "-lavfi", "[0:v][1:v]psnr", "-f",
                          "null", "-"});
    proc.waitForFinished(-1);
    const QString log = QString::fromLocal8Bit(proc.readAllStandardError());
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("average:([0-9.]+|inf)")).match(log);
    return m.hasMatch() ? m.captured(1).toDouble() : 0;
}

Result runCommand(const ProfileSettings &p, const QString &input, const QString &output)
{
    QProcess proc;
    QElapsedTimer timer;
    timer.start();
    proc.start(ffmpeg(), QStringList {"-hide_banner", "-nostats", "-loglevel", "info", "-benchmark", "-y", "-i", input}
                             + commandFor(p) + QStringList {output});
    proc.waitForFinished(-1);
    Result r;
    r.wall = double(timer.nsecsElapsed()) / 1e9;
    const QString out = QString::fromLocal8Bit(proc.readAllStandardOutput() + proc.readAllStandardError());
    const QRegularExpressionMatch m
        = QRegularExpression(QStringLiteral("utime=([0-9.]+)s stime=([0-9.]+)s")).match(out);
    if (proc.exitCode() != 0 || !m.hasMatch()) {
        std::fprintf(stderr, "ffmpeg failed: %s\n", qPrintable(out));
        std::exit(1);
    }
    r.cpu = m.captured(1).toDouble() + m.captured(2).toDouble();
    return r;
}

// Runs every job at once, each engine given `threads`; wall and CPU of all.
Result runEngines(const ProfileSettings &p, const QString &input, const QStringList &outputs, int threads)
{
    EncodeJob job;
    job.inputPath = input;
    job.source = probeMediaFile(input);
    job.profile = p;
    job.threads = threads;
    std::vector<std::unique_ptr<FfmpegEncoder>> encoders;
    QEventLoop loop;
    int running = int(outputs.size());
    QString failure;
    for (qsizetype i = 0; i < outputs.size(); ++i) {
        encoders.push_back(std::make_unique<FfmpegEncoder>());
        QObject::connect(encoders.back().get(), &Encoder::jobEnded, &loop, [&](const JobOutcome &o) {
            if (!o.done())
                failure = o.text;
            if (--running == 0)
                loop.quit();
        });
    }
    QElapsedTimer timer;
    const double cpu0 = processCpu();
    timer.start();
    for (qsizetype i = 0; i < outputs.size(); ++i) {
        job.outputPath = outputs[i];
        encoders[size_t(i)]->start(job);
    }
    loop.exec();
    Result r;
    r.wall = double(timer.nsecsElapsed()) / 1e9;
    r.cpu = processCpu() - cpu0;
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "engine failed: %s\n", qPrintable(failure));
        std::exit(1);
    }
    return r;
}

Result medianOf(std::vector<Result> v)
{
    std::sort(v.begin(), v.end(), [](const Result &a, const Result &b) { return a.wall < b.wall; });
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    av_log_set_level(AV_LOG_ERROR);
    const double seconds = argc > 1 ? std::max(1.0, atof(argv[1])) : 60.0;
    const QString only = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    const int runs = argc > 3 ? std::max(1, atoi(argv[3])) : 1;
    const int cores = QThread::idealThreadCount();

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    test::MediaFixtures media(dir.path());
    const QString input = dir.filePath(QStringLiteral("source.mkv"));
    std::printf("input: %.0f s 1280x720 30 fps (moving test picture, mpeg4 q 2) + stereo 48 kHz, %d cores\n", seconds,
                cores);
    std::fflush(stdout);
    const QString len = QString::number(seconds);
    if (!media.ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=30:duration=" + len, "-f", "lavfi", "-i",
                       "sine=frequency=440:sample_rate=48000:duration=" + len, "-ac", "2", "-c:v", "mpeg4", "-q:v",
                       "2", "-c:a", "pcm_s16le", input})) {
        std::fprintf(stderr, "%s\n", qPrintable(media.lastError()));
        return 1;
    }

    std::printf("%-18s %9s %9s %6s %8s %8s %8s %8s %7s %13s\n", "profile", "engine s", "ffmpeg s", "ratio", "eng cpu",
                "ffm cpu", "eng dB", "ffm dB", "d dB", "2 jobs s/cpu");
    bool withinTargets = true;
    for (const ProfileSettings &p : ProfileCatalogue::builtIn()) {
        if (p.container == Container::Asf || !p.hasVideo() || !p.name.contains(only, Qt::CaseInsensitive))
            continue;
        const QString ext = p.extension();
        const QString engineOut = dir.filePath("engine" + ext);
        const QString commandOut = dir.filePath("command" + ext);
        std::vector<Result> es, cs;
        for (int i = 0; i < runs; ++i) {
            es.push_back(runEngines(p, input, {engineOut}, 0));
            cs.push_back(runCommand(p, input, commandOut));
        }
        const Result e = medianOf(es);
        const Result c = medianOf(cs);
        const double ep = psnr(engineOut, input);
        const double cp = psnr(commandOut, input);
        // The cores divided between two jobs, as --jobs 2 gives them.
        const Result two = runEngines(p, input, {dir.filePath("a" + ext), dir.filePath("b" + ext)},
                                      std::max(1, cores / 2));
        const double ratio = e.wall / c.wall;
        withinTargets = withinTargets && ratio <= 1.05 && qAbs(ep - cp) <= 0.2;
        std::printf("%-18s %9.2f %9.2f %6.3f %8.1f %8.1f %8.2f %8.2f %+7.2f %6.2f/%6.1f\n", qPrintable(p.name), e.wall,
                    c.wall, ratio, e.cpu, c.cpu, ep, cp, ep - cp, two.wall, two.cpu);
        std::fflush(stdout);
    }
    std::printf("%s\n", withinTargets ? "all rows within 1.05x and 0.2 dB" : "some rows outside 1.05x or 0.2 dB");
    return 0;
}
