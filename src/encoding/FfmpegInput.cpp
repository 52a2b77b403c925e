#include "FfmpegInput.h"

#include "FfmpegProbe.h"
#include "FfmpegSideStreams.h"
#include "FfmpegVideo.h"

#include <QFile>

#include <algorithm>

namespace joblet::transcode {

namespace {

// A film has a handful; more is damage or abuse, and each costs an encoder.
constexpr std::size_t MaxAudioTracks = 16;

} // namespace

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
    if (!m_audioIndices.empty())
        checkPlausible(m_input->streams[m_audioIndices.front()], path);
    if (m_videoIndex >= 0)
        m_video.ctx = openDecoder(m_job, videoStream(), true);
    openAudio();
}

// A further track that cannot be decoded is left out rather than costing
// the whole encode; the default one fails it as before.
void InputStage::openAudio()
{
    std::vector<int> opened;
    for (const int index : m_audioIndices) {
        AVStream *st = m_input->streams[index];
        try {
            if (!opened.empty())
                checkPlausible(st, m_job.task.inputPath);
            m_audioDecoders.push_back(openDecoder(m_job, st, false));
            opened.push_back(index);
        } catch (const EncoderFailure &) {
            if (opened.empty())
                throw;
        }
    }
    m_audioIndices = std::move(opened);
}

// The first real video and the audio tracks, as far as the profile wants
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
        m_audioIndices = pickAudio();
    if (m_videoIndex < 0 && m_audioIndices.empty())
        fail(EngineError::NoMatchingStreams, baseName(m_job.task.inputPath));
}

// The source's default track; with video, into a container that holds
// several, every other one after it.
std::vector<int> InputStage::pickAudio() const
{
    const auto isTrack = [this](unsigned i) {
        const AVStream *st = m_input->streams[i];
        return st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && !(st->disposition & AV_DISPOSITION_ATTACHED_PIC);
    };
    int first = -1;
    for (unsigned i = 0; i < m_input->nb_streams && first < 0; ++i) {
        if (isTrack(i) && (m_input->streams[i]->disposition & AV_DISPOSITION_DEFAULT))
            first = int(i);
    }
    if (first < 0)
        first = av_find_best_stream(m_input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (first < 0)
        return {};
    std::vector<int> picked {first};
    const ProfileSettings &profile = m_job.task.profile;
    const Container c = profile.container;
    if (!profile.hasVideo() || (c != Container::Mp4 && c != Container::Matroska && c != Container::WebM))
        return picked;
    for (unsigned i = 0; i < m_input->nb_streams && picked.size() < MaxAudioTracks; ++i) {
        if (int(i) != first && isTrack(i))
            picked.push_back(int(i));
    }
    return picked;
}

std::vector<AudioSource> InputStage::takeAudio()
{
    std::vector<AudioSource> sources;
    for (std::size_t i = 0; i < m_audioDecoders.size(); ++i) {
        AVStream *st = m_input->streams[m_audioIndices[i]];
        sources.push_back({st, std::move(m_audioDecoders[i]), origin(st)});
    }
    m_audioDecoders.clear();
    return sources;
}

int64_t InputStage::origin(const AVStream *st) const
{
    const int64_t start = m_input->start_time == AV_NOPTS_VALUE ? 0 : m_input->start_time;
    return av_rescale_q(start, AV_TIME_BASE_Q, st->time_base);
}

namespace {

// A first picture is a few packets in; past this much the file keeps no
// picture worth waiting for.
constexpr std::size_t MaxPeekPackets = 1024;
constexpr qint64 MaxPeekBytes = 64 << 20;

} // namespace

const AVFrame *InputStage::firstPicture()
{
    if (m_videoIndex < 0)
        return nullptr;
    ff::PacketPtr pkt(av_packet_alloc());
    ff::FramePtr frame(av_frame_alloc());
    if (!pkt || !frame)
        throw std::bad_alloc();
    // Subtitles are picked only once the output exists; their first cues
    // may come before the first picture.
    for (unsigned i = 0; i < m_input->nb_streams; ++i) {
        if (m_input->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE)
            m_input->streams[i]->discard = AVDISCARD_DEFAULT;
    }
    qint64 bytes = 0;
    auto keep = [this](AVFrame *f) {
        ff::FramePtr copy(av_frame_clone(f));
        if (!copy)
            throw std::bad_alloc();
        m_peeked.push_back(std::move(copy));
    };
    while (m_peeked.empty() && m_stash.size() < MaxPeekPackets && bytes < MaxPeekBytes && !m_job.aborted()) {
        const int ret = av_read_frame(m_input.get(), pkt.get());
        if (ret < 0) {
            // The end, or damage that run() meets again and reports.
            m_readToEnd = ret == AVERROR_EOF;
            break;
        }
        if (pkt->stream_index == m_videoIndex) {
            ++m_video.packets;
            decode(m_job, m_video, pkt.get(), frame.get(), "video", keep);
            av_packet_unref(pkt.get());
            continue;
        }
        bytes += pkt->size;
        ff::PacketPtr copy(av_packet_alloc());
        if (!copy)
            throw std::bad_alloc();
        av_packet_move_ref(copy.get(), pkt.get());
        m_stash.push_back(std::move(copy));
    }
    return m_peeked.empty() ? nullptr : m_peeked.front().get();
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
    if (m_conversion) {
        for (const ff::FramePtr &f : m_peeked)
            m_conversion->convert(f.get());
    }
    m_peeked.clear();
    for (ff::PacketPtr &p : m_stash) {
        if (!handOn(p.get(), frame.get()))
            return;
    }
    m_stash.clear();
    while (!m_readToEnd) {
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
    } else if (std::find(m_audioIndices.begin(), m_audioIndices.end(), pkt->stream_index) != m_audioIndices.end()) {
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
