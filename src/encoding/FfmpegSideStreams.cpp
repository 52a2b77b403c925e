#include "FfmpegSideStreams.h"

#include "FfmpegInput.h"

#include <algorithm>
#include <array>
#include <cstring>

extern "C" {
#include <libavutil/avstring.h>
}

namespace joblet::transcode {

namespace {

// Real subtitle packets are a few hundred bytes, pictures a few dozen KiB
// and covers well under a MiB; far beyond that is damage, and is skipped
// rather than copied.
constexpr int MaxTextPacketBytes = 64 * 1024;
constexpr int MaxPicturePacketBytes = 1024 * 1024;
constexpr int MaxCoverBytes = 16 * 1024 * 1024;
constexpr std::size_t MaxTagBytes = 64 * 1024;
constexpr unsigned MaxChapters = 1000;
// Room for one converted subtitle: its text plus the target's styling.
constexpr int MaxEncodedSubtitleBytes = 256 * 1024;
// A subtitle shown longer than this is damage; it is cut to this.
constexpr int MaxSubtitleSeconds = 3600;

// The muxer writes its own, or they mean nothing in another container.
constexpr std::array<const char *, 4> ContainerKeys {"major_brand", "minor_version", "compatible_brands", "encoder"};
// On a stream they describe the track, not the work.
constexpr std::array<const char *, 4> TrackKeys {"language", "handler_name", "vendor_id", "duration"};

template<std::size_t N>
bool listed(const std::array<const char *, N> &keys, const char *key)
{
    return std::any_of(keys.begin(), keys.end(), [key](const char *k) { return av_strcasecmp(k, key) == 0; });
}

void copyTagsInto(AVDictionary **to, const AVDictionary *from, bool track)
{
    const AVDictionaryEntry *e = nullptr;
    while ((e = av_dict_get(from, "", e, AV_DICT_IGNORE_SUFFIX))) {
        if (listed(ContainerKeys, e->key) || (track && listed(TrackKeys, e->key)) || strlen(e->value) > MaxTagBytes)
            continue;
        if (av_dict_set(to, e->key, e->value, AV_DICT_DONT_OVERWRITE) < 0)
            throw std::bad_alloc();
    }
}

enum class SubtitleKind { Text, Picture, Other };

SubtitleKind kindOf(AVCodecID id)
{
    switch (id) {
    case AV_CODEC_ID_SUBRIP:
    case AV_CODEC_ID_ASS:
    case AV_CODEC_ID_SSA:
    case AV_CODEC_ID_MOV_TEXT:
    case AV_CODEC_ID_WEBVTT:
        return SubtitleKind::Text;
    case AV_CODEC_ID_DVD_SUBTITLE:
    case AV_CODEC_ID_HDMV_PGS_SUBTITLE:
    case AV_CODEC_ID_DVB_SUBTITLE:
        return SubtitleKind::Picture;
    default:
        return SubtitleKind::Other;
    }
}

bool named(const AVOutputFormat *f, const char *name)
{
    return strcmp(f->name, name) == 0;
}

// What subtitles in `id` become in `out`; none when they cannot go in.
AVCodecID subtitleTarget(const AVOutputFormat *out, AVCodecID id)
{
    const SubtitleKind kind = kindOf(id);
    if (kind == SubtitleKind::Other)
        return AV_CODEC_ID_NONE;
    if (named(out, "matroska")) {
        if (avformat_query_codec(out, id, FF_COMPLIANCE_NORMAL) == 1)
            return id;
        return kind == SubtitleKind::Text ? AV_CODEC_ID_SUBRIP : AV_CODEC_ID_NONE;
    }
    if (kind != SubtitleKind::Text)
        return AV_CODEC_ID_NONE;
    if (named(out, "webm"))
        return AV_CODEC_ID_WEBVTT;
    if (named(out, "mp4") || named(out, "mov"))
        return AV_CODEC_ID_MOV_TEXT;
    return AV_CODEC_ID_NONE;
}

// The muxers that write an attached picture, and the pictures all of them take.
bool holdsCover(const AVOutputFormat *out, AVCodecID id)
{
    const bool muxer = named(out, "ipod") || named(out, "mp4") || named(out, "mov") || named(out, "mp3")
        || named(out, "flac");
    return muxer && (id == AV_CODEC_ID_MJPEG || id == AV_CODEC_ID_PNG);
}

struct ChapterDeleter {
    void operator()(AVChapter *c) const
    {
        av_dict_free(&c->metadata);
        av_free(c);
    }
};

struct SubtitleFree {
    AVSubtitle &sub;
    ~SubtitleFree() { avsubtitle_free(&sub); }
};

void addOnce(QStringList &list, const QString &item)
{
    if (!list.contains(item))
        list << item;
}

} // namespace

struct SideStreams::Subtitle {
    AVStream *in = nullptr;
    AVStream *out = nullptr;
    int64_t origin = 0; // in the input stream's time base
    int maxBytes = 0;
    ff::CodecPtr dec;   // both set when converted, neither when copied
    ff::CodecPtr enc;
    int64_t lastDts = AV_NOPTS_VALUE; // the muxers refuse to go back
};

SideStreams::SideStreams(JobContext &job, OutputFile &out, const InputStage &input)
    : m_job(job)
    , m_output(out)
    , m_input(input)
{
}

SideStreams::~SideStreams() = default;

void SideStreams::attach()
{
    m_in = m_input.demuxer();
    m_out = m_output.muxer();
    copyTags();
    copyChapters();
    addSubtitles();
    addCover();
}

void SideStreams::copyTags()
{
    copyTagsInto(&m_out->metadata, m_in->metadata, false);
    // The Ogg demuxer leaves a file's comments on the stream they came with.
    if (const AVStream *audio = m_input.audioStream(); audio && strcmp(m_in->iformat->name, "ogg") == 0)
        copyTagsInto(&m_out->metadata, audio->metadata, true);
}

void SideStreams::copyChapters()
{
    const int64_t startUs = m_in->start_time == AV_NOPTS_VALUE ? 0 : m_in->start_time;
    for (unsigned i = 0; i < m_in->nb_chapters && m_out->nb_chapters < MaxChapters; ++i) {
        const AVChapter *from = m_in->chapters[i];
        if (from->time_base.num <= 0 || from->time_base.den <= 0 || from->end < from->start)
            continue;
        const int64_t origin = av_rescale_q(startUs, AV_TIME_BASE_Q, from->time_base);
        const int64_t end = av_sat_sub64(from->end, origin);
        if (end < 0)
            continue;
        std::unique_ptr<AVChapter, ChapterDeleter> to(static_cast<AVChapter *>(av_mallocz(sizeof(AVChapter))));
        if (!to)
            throw std::bad_alloc();
        // Numbered afresh: some muxers take the id for a unique one.
        to->id = m_out->nb_chapters + 1;
        to->time_base = from->time_base;
        to->start = std::max<int64_t>(0, av_sat_sub64(from->start, origin));
        to->end = end;
        copyTagsInto(&to->metadata, from->metadata, false);
        if (av_reallocp_array(&m_out->chapters, m_out->nb_chapters + 1, sizeof(*m_out->chapters)) < 0) {
            m_out->nb_chapters = 0;
            throw std::bad_alloc();
        }
        m_out->chapters[m_out->nb_chapters++] = to.release();
    }
}

void SideStreams::addSubtitles()
{
    m_subtitleOf.assign(m_in->nb_streams, -1);
    if (!m_job.task.profile.hasVideo())
        return;
    for (unsigned i = 0; i < m_in->nb_streams; ++i) {
        AVStream *st = m_in->streams[i];
        if (st->codecpar->codec_type != AVMEDIA_TYPE_SUBTITLE)
            continue;
        const AVCodecID target = subtitleTarget(m_out->oformat, st->codecpar->codec_id);
        if (target == AV_CODEC_ID_NONE || !addSubtitle(st, target))
            addOnce(m_cannotHold, QStringLiteral("%1 subtitles").arg(QLatin1String(avcodec_get_name(st->codecpar->codec_id))));
    }
}

bool SideStreams::addSubtitle(AVStream *in, AVCodecID target)
{
    Subtitle s;
    s.in = in;
    s.origin = m_input.origin(in);
    s.maxBytes = kindOf(in->codecpar->codec_id) == SubtitleKind::Picture ? MaxPicturePacketBytes : MaxTextPacketBytes;
    if (target != in->codecpar->codec_id) {
        const AVCodec *decoder = avcodec_find_decoder(in->codecpar->codec_id);
        const AVCodec *encoder = avcodec_find_encoder(target);
        if (!decoder || !encoder)
            return false;
        s.dec.reset(avcodec_alloc_context3(decoder));
        s.enc.reset(avcodec_alloc_context3(encoder));
        if (!s.dec || !s.enc)
            throw std::bad_alloc();
        if (avcodec_parameters_to_context(s.dec.get(), in->codecpar) < 0)
            return false;
        s.dec->pkt_timebase = in->time_base;
        if (avcodec_open2(s.dec.get(), decoder, nullptr) < 0)
            return false;
        // The text encoders style what they write after the decoder's header.
        if (s.dec->subtitle_header_size > 0) {
            s.enc->subtitle_header = static_cast<uint8_t *>(av_mallocz(s.dec->subtitle_header_size + 1));
            if (!s.enc->subtitle_header)
                throw std::bad_alloc();
            memcpy(s.enc->subtitle_header, s.dec->subtitle_header, s.dec->subtitle_header_size);
            s.enc->subtitle_header_size = s.dec->subtitle_header_size;
        }
        s.enc->time_base = AV_TIME_BASE_Q;
        if (m_out->oformat->flags & AVFMT_GLOBALHEADER)
            s.enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(s.enc.get(), encoder, nullptr) < 0)
            return false;
    }
    AVStream *out = avformat_new_stream(m_out, nullptr);
    if (!out)
        throw std::bad_alloc();
    const int ret = s.enc ? avcodec_parameters_from_context(out->codecpar, s.enc.get())
                          : avcodec_parameters_copy(out->codecpar, in->codecpar);
    if (ret < 0)
        throw std::bad_alloc();
    out->codecpar->codec_tag = 0;
    out->time_base = s.enc ? AVRational {1, 1000} : in->time_base;
    out->disposition = in->disposition & (AV_DISPOSITION_DEFAULT | AV_DISPOSITION_FORCED);
    for (const char *key : {"language", "title"}) {
        if (const AVDictionaryEntry *e = av_dict_get(in->metadata, key, nullptr, 0); e && strlen(e->value) <= MaxTagBytes)
            av_dict_set(&out->metadata, key, e->value, 0);
    }
    s.out = out;
    in->discard = AVDISCARD_DEFAULT;
    m_subtitleOf[in->index] = int(m_subtitles.size());
    m_subtitles.push_back(std::move(s));
    return true;
}

void SideStreams::addCover()
{
    if (m_job.task.profile.hasVideo())
        return;
    for (unsigned i = 0; i < m_in->nb_streams; ++i) {
        const AVStream *st = m_in->streams[i];
        if (!(st->disposition & AV_DISPOSITION_ATTACHED_PIC) || st->attached_pic.size <= 0)
            continue;
        if (st->attached_pic.size > MaxCoverBytes) {
            addOnce(m_tooLarge, QStringLiteral("the cover picture"));
            return;
        }
        if (!holdsCover(m_out->oformat, st->codecpar->codec_id)) {
            addOnce(m_cannotHold, QStringLiteral("the cover picture"));
            return;
        }
        AVStream *out = avformat_new_stream(m_out, nullptr);
        if (!out || avcodec_parameters_copy(out->codecpar, st->codecpar) < 0)
            throw std::bad_alloc();
        out->codecpar->codec_tag = 0;
        out->time_base = st->time_base;
        out->disposition = AV_DISPOSITION_ATTACHED_PIC;
        // Its description and its kind (front, back...).
        copyTagsInto(&out->metadata, st->metadata, false);
        m_coverIn = st;
        m_coverOut = out;
        return;
    }
}

void SideStreams::writeCover()
{
    if (!m_coverOut)
        return;
    ff::PacketPtr pkt(av_packet_alloc());
    if (!pkt || av_packet_ref(pkt.get(), &m_coverIn->attached_pic) < 0)
        throw std::bad_alloc();
    pkt->stream_index = m_coverOut->index;
    pkt->pts = pkt->dts = 0;
    pkt->duration = 0;
    pkt->pos = -1;
    pkt->flags |= AV_PKT_FLAG_KEY;
    m_output.write(pkt.get(), m_coverOut);
}

bool SideStreams::take(AVPacket *pkt)
{
    const int index = pkt->stream_index;
    if (index < 0 || std::size_t(index) >= m_subtitleOf.size() || m_subtitleOf[index] < 0)
        return false;
    Subtitle &s = m_subtitles[m_subtitleOf[index]];
    if (pkt->pts == AV_NOPTS_VALUE)
        pkt->pts = pkt->dts;
    if (pkt->size > 0 && pkt->size <= s.maxBytes && pkt->pts != AV_NOPTS_VALUE) {
        const int64_t longest = av_rescale_q(MaxSubtitleSeconds, {1, 1}, s.in->time_base);
        pkt->duration = std::clamp<int64_t>(pkt->duration, 0, longest);
        if (s.enc)
            convert(s, pkt);
        else
            write(s, pkt);
    }
    av_packet_unref(pkt);
    return true;
}

void SideStreams::write(Subtitle &s, AVPacket *pkt)
{
    pkt->pts = av_sat_sub64(pkt->pts, s.origin);
    // Cut where the other streams start, as they are.
    if (pkt->pts < 0)
        return;
    pkt->dts = pkt->pts;
    av_packet_rescale_ts(pkt, s.in->time_base, s.out->time_base);
    if (s.lastDts != AV_NOPTS_VALUE && pkt->dts < s.lastDts)
        return;
    s.lastDts = pkt->dts;
    pkt->stream_index = s.out->index;
    pkt->pos = -1;
    m_output.write(pkt, s.out);
}

void SideStreams::convert(Subtitle &s, AVPacket *pkt)
{
    AVSubtitle sub {};
    int got = 0;
    if (avcodec_decode_subtitle2(s.dec.get(), &sub, &got, pkt) < 0 || !got)
        return;
    const SubtitleFree freed {sub};
    if (sub.num_rects == 0 || sub.pts == AV_NOPTS_VALUE)
        return;
    // The encoders take the time shown from the start; the start goes in the packet.
    const uint32_t shown = sub.end_display_time > sub.start_display_time ? sub.end_display_time - sub.start_display_time : 0;
    const int64_t originUs = av_rescale_q(s.origin, s.in->time_base, AV_TIME_BASE_Q);
    const int64_t startUs = av_sat_add64(av_sat_sub64(sub.pts, originUs), int64_t(sub.start_display_time) * 1000);
    if (startUs < 0)
        return;
    sub.start_display_time = 0;
    sub.end_display_time = shown;
    m_scratch.resize(MaxEncodedSubtitleBytes);
    const int size = avcodec_encode_subtitle(s.enc.get(), m_scratch.data(), int(m_scratch.size()), &sub);
    if (size <= 0)
        return;
    ff::PacketPtr out(av_packet_alloc());
    if (!out || av_new_packet(out.get(), size) < 0)
        throw std::bad_alloc();
    memcpy(out->data, m_scratch.data(), std::size_t(size));
    out->pts = out->dts = av_rescale_q(startUs, AV_TIME_BASE_Q, s.out->time_base);
    out->duration = av_rescale_q(shown, {1, 1000}, s.out->time_base);
    out->flags |= AV_PKT_FLAG_KEY;
    if (s.lastDts != AV_NOPTS_VALUE && out->dts < s.lastDts)
        return;
    s.lastDts = out->dts;
    out->stream_index = s.out->index;
    m_output.write(out.get(), s.out);
}

QString SideStreams::note() const
{
    QStringList parts;
    if (!m_cannotHold.isEmpty())
        parts << QStringLiteral("%1 cannot hold %2; left out.")
                     .arg(baseName(m_job.task.outputPath), m_cannotHold.join(QStringLiteral(", ")));
    if (!m_tooLarge.isEmpty())
        parts << QStringLiteral("Left out as too large: %1.").arg(m_tooLarge.join(QStringLiteral(", ")));
    return parts.join(u' ');
}

} // namespace joblet::transcode
