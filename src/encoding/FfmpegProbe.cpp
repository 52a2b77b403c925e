#include "FfmpegProbe.h"

#include "EncoderFailure.h"
#include "FfmpegUtil.h"

#include <QFile>
#include <QFileInfo>

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
    if (S_ISDIR(st.st_mode))
        fail(EngineError::AccessDenied, path, QStringLiteral("it is a folder"));
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        fail(fileErrorNumber(err, EngineError::AccessDenied), path, QString::fromLocal8Bit(strerror(err)));
    }
    ::close(fd);
}

} // namespace

SourceInfo probeMediaFile(const QString &path)
{
    checkReadable(path);

    AVFormatContext *raw = nullptr;
    int ret = avformat_open_input(&raw, QFile::encodeName(path).constData(), nullptr, nullptr);
    if (ret < 0) {
        const qint32 number = ret == AVERROR(EACCES) ? EngineError::AccessDenied
                            : ret == AVERROR(ENOENT) ? EngineError::FileNotFound
                                                     : EngineError::UnrecognisedMedia;
        fail(number, path, ff::errorText(ret));
    }
    ff::InputPtr input(raw);
    ret = avformat_find_stream_info(input.get(), nullptr);
    if (ret < 0)
        fail(EngineError::UnrecognisedMedia, path, ff::errorText(ret));
    if (input->nb_streams == 0)
        fail(EngineError::UnrecognisedMedia, path, QStringLiteral("no streams"));

    SourceInfo info;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream *st = input->streams[i];
        if (st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
            ++info.audioCount;
        } else if (ff::isRealVideo(st)) {
            if (info.videoCount++ == 0) {
                info.width = st->codecpar->width;
                info.height = st->codecpar->height;
            }
        }
    }
    if (input->duration != AV_NOPTS_VALUE && input->duration > 0)
        info.durationUs = av_rescale_q(input->duration, AV_TIME_BASE_Q, {1, 1000000});
    return info;
}

} // namespace joblet
