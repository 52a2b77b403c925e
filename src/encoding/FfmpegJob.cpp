#include "FfmpegJob.h"

#include <QFileInfo>

#include <thread>

namespace joblet::transcode {

namespace {

// The pipeline already keeps two cores busy (reader and video encoder), and
// on two cores decoder threads only added switching: measured 30 % slower.
// Beyond that, spare cores go to decoding, where heavy inputs spend most.
int videoDecoderThreads()
{
    const int cores = int(std::thread::hardware_concurrency());
    return cores <= 2 ? 1 : cores - 1;
}

} // namespace

QString baseName(const QString &path)
{
    return QFileInfo(path).fileName();
}

void fail(qint32 number, const QString &detail)
{
    throw EncoderFailure(number, QStringLiteral("%1 (%2)").arg(EngineError::describe(number), detail));
}

qint32 writeErrorNumber(int averr)
{
    if (averr == AVERROR(ENOSPC) || averr == AVERROR(EDQUOT))
        return EngineError::DiskFull;
    if (averr == AVERROR(EACCES) || averr == AVERROR(EPERM) || averr == AVERROR(EROFS))
        return EngineError::AccessDenied;
    return EngineError::WriteFailed;
}

EncoderFailure internalFailure(const std::exception &e)
{
    return EncoderFailure(EngineError::Internal, QStringLiteral("%1 (%2)").arg(EngineError::describe(EngineError::Internal),
                                                                              QString::fromLocal8Bit(e.what())));
}

void JobContext::recordFailure(const EncoderFailure &e)
{
    {
        std::lock_guard lock(m_failureMutex);
        if (!m_failure)
            m_failure = e;
    }
    abortQueues();
}

std::optional<EncoderFailure> JobContext::failure() const
{
    std::lock_guard lock(m_failureMutex);
    return m_failure;
}

bool JobContext::aborted() const
{
    std::lock_guard lock(m_failureMutex);
    return stop || m_failure.has_value();
}

bool JobContext::requestStop()
{
    {
        std::lock_guard lock(m_failureMutex);
        if (m_committed)
            return false;
        stop = true;
    }
    abortQueues();
    return true;
}

bool JobContext::commit()
{
    std::lock_guard lock(m_failureMutex);
    if (stop || m_failure)
        return false;
    m_committed = true;
    return true;
}

void JobContext::abortQueues()
{
    videoQueue.abort();
    audioPackets.abort();
}

int JobContext::interrupted(void *opaque)
{
    return static_cast<JobContext *>(opaque)->stop.load() ? 1 : 0;
}

ff::CodecPtr openDecoder(const JobContext &job, AVStream *st, bool threaded)
{
    const QString input = baseName(job.task.inputPath);
    const AVCodec *codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec)
        fail(EngineError::DecodeFailed, QStringLiteral("%1: no decoder for %2")
                                            .arg(input, QString::fromLatin1(avcodec_get_name(st->codecpar->codec_id))));
    ff::CodecPtr dec(avcodec_alloc_context3(codec));
    if (!dec)
        throw std::bad_alloc();
    int ret = avcodec_parameters_to_context(dec.get(), st->codecpar);
    if (ret < 0)
        fail(EngineError::DecodeFailed, ff::errorText(ret));
    dec->pkt_timebase = st->time_base;
    if (threaded) {
        dec->thread_count = videoDecoderThreads();
        dec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    }
    ret = avcodec_open2(dec.get(), codec, nullptr);
    if (ret < 0)
        fail(EngineError::DecodeFailed, QStringLiteral("%1: %2").arg(input, ff::errorText(ret)));
    st->discard = AVDISCARD_DEFAULT;
    return dec;
}

const AVCodec *findEncoder(const char *name)
{
    const AVCodec *codec = avcodec_find_encoder_by_name(name);
    if (!codec)
        fail(EngineError::EncodeFailed, QStringLiteral("encoder %1 is not available").arg(QLatin1String(name)));
    return codec;
}

void checkDecoded(const JobContext &job, const Decoder &d, const char *what)
{
    if (d.packets > 0 && d.frames == 0)
        fail(EngineError::DecodeFailed, QStringLiteral("%1: no %2 frame could be decoded")
                                            .arg(baseName(job.task.inputPath), QLatin1String(what)));
}

void decodeError(const JobContext &job, Decoder &d, int err, const char *what)
{
    if (++d.errorRun > MaxConsecutiveDecodeErrors)
        fail(EngineError::DecodeFailed, QStringLiteral("%1: %2 decoder: %3")
                                            .arg(baseName(job.task.inputPath), QLatin1String(what), ff::errorText(err)));
}

} // namespace joblet::transcode
