#include "FfmpegInput.h"

#include "FfmpegProbe.h"
#include "FfmpegSideStreams.h"
#include "FfmpegVideo.h"

#include <QFile>

namespace joblet::transcode {

void InputStage::open()
{
    const QString &path = m_job.task.inputPath;
    m_input.reset(avformat_alloc_context());
    if (!m_input)
        throw std::bad_alloc();
    m_input->interrupt_callback = m_job.interrupt();
    AVFormatContext *raw = m_input.release();
    // "file:" so that a colon in the name is not taken for a protocol.
    const QByteArray url = "file:" + QFile::encodeName(path);
    int ret = avformat_open_input(&raw, url.constData(), nullptr, nullptr);
    if (ret < 0) {
        // avformat_open_input frees the context on failure.
        const qint32 number = ret == AVERROR(ENOENT) ? EngineError::FileNotFound
                            : ret == AVERROR(EACCES) ? EngineError::AccessDenied
                                                     : EngineError::UnrecognisedMedia;
        fail(number, QStringLiteral("%1: %2").arg(baseName(path), ff::errorText(ret)));
    }
    m_input.reset(raw);
    ret = avformat_find_stream_info(m_input.get(), nullptr);
    if (ret < 0)
        fail(EngineError::UnrecognisedMedia, QStringLiteral("%1: %2").arg(baseName(path), ff::errorText(ret)));

    if (m_input->duration != AV_NOPTS_VALUE && m_input->duration > 0)
        m_job.counters->durationUs = av_rescale_q(m_input->duration, AV_TIME_BASE_Q, {1, 1000000});
    else
        m_job.counters->durationUs = m_job.task.source.durationUs;

    pickStreams();
    if (m_videoIndex >= 0)
        checkPlausible(videoStream(), path);
    if (m_audioIndex >= 0)
        checkPlausible(audioStream(), path);
    if (m_videoIndex >= 0)
        m_video.ctx = openDecoder(m_job, videoStream(), true);
    if (m_audioIndex >= 0)
        m_audioDecoder = openDecoder(m_job, audioStream(), false);
}

// The first real video and the best audio, as far as the profile wants
// them; everything else is not even read.
void InputStage::pickStreams()
{
    for (unsigned i = 0; i < m_input->nb_streams; ++i)
        m_input->streams[i]->discard = AVDISCARD_ALL;
    if (m_job.task.profile.hasVideo()) {
        for (unsigned i = 0; i < m_input->nb_streams; ++i) {
            if (ff::isRealVideo(m_input->streams[i])) {
                m_videoIndex = int(i);
                break;
            }
        }
    }
    if (m_job.task.profile.hasAudio())
        m_audioIndex = std::max(-1, av_find_best_stream(m_input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0));
    if (m_videoIndex < 0 && m_audioIndex < 0)
        fail(EngineError::NoMatchingStreams, baseName(m_job.task.inputPath));
}

int64_t InputStage::origin(const AVStream *st) const
{
    const int64_t start = m_input->start_time == AV_NOPTS_VALUE ? 0 : m_input->start_time;
    return av_rescale_q(start, AV_TIME_BASE_Q, st->time_base);
}

// Audio is cheap to decode and goes to its own thread as packets, which
// keeps this one from becoming the bottleneck.
void InputStage::run(VideoConversion *video)
{
    m_conversion = video;
    ff::PacketPtr pkt(av_packet_alloc());
    ff::FramePtr frame(av_frame_alloc());
    if (!pkt || !frame)
        throw std::bad_alloc();
    for (;;) {
        if (m_job.aborted())
            return;
        const int ret = av_read_frame(m_input.get(), pkt.get());
        if (ret == AVERROR_EOF)
            break;
        if (ret < 0) {
            if (m_job.stop)
                return;
            // A file cut short ends with a read error at the end; what
            // came before it is still worth encoding.
            if (m_input->pb && avio_feof(m_input->pb))
                break;
            fail(EngineError::DecodeFailed, QStringLiteral("%1: %2").arg(baseName(m_job.task.inputPath), ff::errorText(ret)));
        }
        if (!handOn(pkt.get(), frame.get()))
            return;
    }
    m_job.audioPackets.close();
    if (m_conversion) {
        decodeVideo(nullptr, frame.get());
        if (m_job.aborted())
            return;
        m_conversion->finish();
        checkDecoded(m_job, m_video, "video");
    }
    m_job.videoQueue.close();
}

// False once the audio queue has been aborted.
bool InputStage::handOn(AVPacket *pkt, AVFrame *frame)
{
    if (m_side && m_side->take(pkt))
        return true;
    if (m_conversion && pkt->stream_index == m_videoIndex) {
        ++m_video.packets;
        decodeVideo(pkt, frame);
    } else if (pkt->stream_index == m_audioIndex) {
        ff::PacketPtr copy(av_packet_alloc());
        if (!copy)
            throw std::bad_alloc();
        av_packet_move_ref(copy.get(), pkt);
        return m_job.audioPackets.push(std::move(copy));
    }
    av_packet_unref(pkt);
    return true;
}

void InputStage::decodeVideo(const AVPacket *pkt, AVFrame *frame)
{
    decode(m_job, m_video, pkt, frame, "video", [this](AVFrame *f) { m_conversion->convert(f); });
}

} // namespace joblet::transcode
