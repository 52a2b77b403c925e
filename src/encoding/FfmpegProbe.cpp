#include "FfmpegProbe.h"

#include "EncoderFailure.h"
#include "FfmpegUtil.h"
#include "RegularInputs.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace joblet {

qint32 fileErrorNumber(int err, qint32 fallback)
{
    switch (err) {
    case ENOENT: return EngineError::FileNotFound;
    case ENOTDIR: return EngineError::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return EngineError::AccessDenied;
    case ENOSPC:
    case EDQUOT: return EngineError::DiskFull;
    default: return fallback;
    }
}

namespace {

QString fileName(const QString &path)
{
    return QFileInfo(path).fileName();
}

[[noreturn]] void fail(qint32 number, const QString &path, const QString &detail)
{
    throw EncoderFailure(number,
                         QStringLiteral("%1 (%2: %3)").arg(EngineError::describe(number), fileName(path), detail));
}

// The libraries would report all of these as "cannot open"; check the file
// system first so that the user learns which it is.
void checkReadable(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) {
        const int err = errno;
        fail(err == EACCES ? EngineError::AccessDenied : EngineError::FileNotFound, path,
             QString::fromLocal8Bit(strerror(err)));
    }
    // Opening a pipe would wait for a writer, a device would never end.
    refuseNonRegular(path, {});
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        fail(fileErrorNumber(err, EngineError::AccessDenied), path, QString::fromLocal8Bit(strerror(err)));
    }
    ::close(fd);
}

// Guessing the format tries every demuxer on the file's first bytes, most of
// the cost of a probe. For containers whose header has a strict signature the
// extension is a safe first guess: a wrong one fails at once and the full
// guess follows.
const AVInputFormat *formatHint(const QString &path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("avi"))
        return av_find_input_format("avi");
    if (ext == QLatin1String("wav"))
        return av_find_input_format("wav");
    if (ext == QLatin1String("asf") || ext == QLatin1String("wmv") || ext == QLatin1String("wma"))
        return av_find_input_format("asf");
    return nullptr;
}

bool headerIsEnough(const AVFormatContext *input)
{
    if (input->nb_streams == 0 || (input->ctx_flags & AVFMTCTX_NOHEADER))
        return false;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVCodecParameters *par = input->streams[i]->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_UNKNOWN || par->codec_id == AV_CODEC_ID_NONE)
            return false;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO && (par->width <= 0 || par->height <= 0))
            return false;
    }
    return true;
}

// Bounds of what a real recording has.
constexpr int MinSampleRate = 1000;
constexpr int MaxSampleRate = 768000;
constexpr int MaxChannels = 64; // the resampler's own limit
constexpr int MaxPictureSide = 16384;
constexpr double MaxFrameRate = 1000.0;

} // namespace

void checkAudioFormat(int sampleRate, int channels, const QString &path)
{
    if (sampleRate != 0 && (sampleRate < MinSampleRate || sampleRate > MaxSampleRate))
        fail(EngineError::UnsupportedFormat, path,
             QStringLiteral("sample rate %1 Hz, not %2 to %3 Hz").arg(sampleRate).arg(MinSampleRate).arg(MaxSampleRate));
    if (channels > MaxChannels)
        fail(EngineError::UnsupportedChannelLayout, path,
             QStringLiteral("%1 channels, more than %2").arg(channels).arg(MaxChannels));
}

void checkPlausible(const AVStream *st, const QString &path)
{
    const AVCodecParameters *par = st->codecpar;
    if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
        checkAudioFormat(par->sample_rate, par->ch_layout.nb_channels, path);
    } else if (ff::isRealVideo(st)) {
        if (par->width > MaxPictureSide || par->height > MaxPictureSide)
            fail(EngineError::UnsupportedFormat, path,
                 QStringLiteral("picture %1x%2, more than %3 a side").arg(par->width).arg(par->height).arg(MaxPictureSide));
        if (st->avg_frame_rate.num > 0 && st->avg_frame_rate.den > 0 && av_q2d(st->avg_frame_rate) > MaxFrameRate)
            fail(EngineError::UnsupportedFormat, path,
                 QStringLiteral("%1 frames a second, more than %2").arg(av_q2d(st->avg_frame_rate)).arg(MaxFrameRate));
    }
}

SourceInfo probeMediaFile(const QString &path)
{
    checkReadable(path);

    AVFormatContext *raw = nullptr;
    // "file:" so that a colon in the name is not taken for a protocol.
    const QByteArray url = "file:" + QFile::encodeName(path);
    int ret = -1;
    if (const AVInputFormat *hint = formatHint(path)) {
        ret = avformat_open_input(&raw, url.constData(), hint, nullptr);
        raw = ret < 0 ? nullptr : raw; // freed on failure
    }
    if (ret < 0)
        ret = avformat_open_input(&raw, url.constData(), nullptr, nullptr);
    if (ret < 0) {
        const qint32 number = ret == AVERROR(EACCES) ? EngineError::AccessDenied
                            : ret == AVERROR(ENOENT) ? EngineError::FileNotFound
                                                     : EngineError::UnrecognisedMedia;
        fail(number, path, ff::errorText(ret));
    }
    ff::InputPtr input(raw);
    // Reading ahead to find stream details costs as much as the rest of the
    // probe; skip it when the file's header already says what each stream is.
    if (!headerIsEnough(input.get())) {
        ret = avformat_find_stream_info(input.get(), nullptr);
        if (ret < 0)
            fail(EngineError::UnrecognisedMedia, path, ff::errorText(ret));
    }
    if (input->nb_streams == 0)
        fail(EngineError::UnrecognisedMedia, path, QStringLiteral("no streams"));

    SourceInfo info;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream *st = input->streams[i];
        checkPlausible(st, path);
        if (st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
            ++info.audioCount;
        } else if (ff::isRealVideo(st)) {
            if (info.videoCount++ == 0) {
                info.width = st->codecpar->width;
                info.height = st->codecpar->height;
            }
        }
    }
    if (input->duration != AV_NOPTS_VALUE && input->duration > 0) {
        info.durationUs = av_rescale_q(input->duration, AV_TIME_BASE_Q, {1, 1000000});
    } else {
        // Without the read-ahead only the streams' own headers know it.
        for (unsigned i = 0; i < input->nb_streams; ++i) {
            const AVStream *st = input->streams[i];
            if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
                info.durationUs = std::max<qint64>(info.durationUs, av_rescale_q(st->duration, st->time_base, {1, 1000000}));
        }
    }
    return info;
}

} // namespace joblet
