#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <QFile>
#include <QStringList>

namespace joblet::test {

// An output opened for reading back, independently of the engine; ic null
// when it cannot be.
struct ReadBack {
    explicit ReadBack(const QString &path)
    {
        if (avformat_open_input(&ic, QFile::encodeName(path).constData(), nullptr, nullptr) == 0
            && avformat_find_stream_info(ic, nullptr) < 0)
            avformat_close_input(&ic);
    }
    ~ReadBack()
    {
        avcodec_free_context(&dec);
        av_packet_free(&pkt);
        av_frame_free(&frame);
        avformat_close_input(&ic);
    }
    ReadBack(const ReadBack &) = delete;
    ReadBack &operator=(const ReadBack &) = delete;

    // "<demuxer> <codec WxH sar a:b>|<codec rate channels>...", and the
    // hvc1 tag, the only one for HEVC some players take.
    QString streams() const
    {
        QStringList parts {ic ? QString::fromLatin1(ic->iformat->name) : QStringLiteral("unreadable")};
        for (unsigned i = 0; ic && i < ic->nb_streams; ++i) {
            const AVCodecParameters *par = ic->streams[i]->codecpar;
            const AVRational sar = par->sample_aspect_ratio.num > 0 ? par->sample_aspect_ratio : AVRational {1, 1};
            parts << QString::fromLatin1(avcodec_get_name(par->codec_id))
                         + (par->codec_type == AVMEDIA_TYPE_VIDEO
                                ? QStringLiteral(" %1x%2 sar %3:%4").arg(par->width).arg(par->height).arg(sar.num).arg(sar.den)
                                : QStringLiteral(" %1 %2").arg(par->sample_rate).arg(par->ch_layout.nb_channels))
                         + (par->codec_tag == MKTAG('h', 'v', 'c', '1') ? " hvc1" : "");
        }
        return parts.join(u' ');
    }
    double seconds() const { return !ic || ic->duration == AV_NOPTS_VALUE ? 0 : double(ic->duration) / AV_TIME_BASE; }

    // Decodes the best stream of `type` to its end, each frame to `each`;
    // false when there is none to decode.
    template <class Each>
    bool decode(AVMediaType type, Each each)
    {
        const int index = ic ? av_find_best_stream(ic, type, -1, -1, nullptr, 0) : -1;
        const AVCodecParameters *par = index < 0 ? nullptr : ic->streams[index]->codecpar;
        dec = par ? avcodec_alloc_context3(avcodec_find_decoder(par->codec_id)) : nullptr;
        if (!dec || avcodec_parameters_to_context(dec, par) < 0 || avcodec_open2(dec, nullptr, nullptr) < 0)
            return false;
        for (bool more = true; more;) {
            more = av_read_frame(ic, pkt) >= 0;
            if (!more || pkt->stream_index == index)
                avcodec_send_packet(dec, more ? pkt : nullptr);
            av_packet_unref(pkt);
            while (avcodec_receive_frame(dec, frame) >= 0)
                each(frame);
        }
        return true;
    }

    AVFormatContext *ic = nullptr;
    AVCodecContext *dec = nullptr;
    AVPacket *pkt = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
};

} // namespace joblet::test
