#include "FfmpegTranscoder.h"

#include "BoundedQueue.h"
#include "EncoderFailure.h"
#include "FfmpegProbe.h"
#include "FfmpegUtil.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
}

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <thread>
#include <unistd.h>

namespace joblet {

namespace {

// Enough to keep both sides busy without holding more than about a second
// of decoded pictures.
constexpr std::size_t VideoQueueFrames = 24;
constexpr std::size_t AudioQueuePackets = 64;
// A few bad packets are normal in damaged files; this many in a row is not.
constexpr int MaxConsecutiveDecodeErrors = 64;

// The pipeline already keeps two cores busy (reader and video encoder), and
// on two cores decoder threads only added switching: measured 30 % slower.
// Beyond that, spare cores go to decoding, where heavy inputs spend most.
int videoDecoderThreads()
{
    const int cores = int(std::thread::hardware_concurrency());
    return cores <= 2 ? 1 : cores - 1;
}

struct OutputDeleter {
    void operator()(AVFormatContext *oc) const
    {
        if (oc->pb && !(oc->oformat->flags & AVFMT_NOFILE))
            avio_closep(&oc->pb);
        avformat_free_context(oc);
    }
};
using OutputPtr = std::unique_ptr<AVFormatContext, OutputDeleter>;

QString baseName(const QString &path)
{
    return QFileInfo(path).fileName();
}

QString nativeError(int err)
{
    return QString::fromLocal8Bit(strerror(err));
}

[[noreturn]] void fail(qint32 number, const QString &detail)
{
    throw EncoderFailure(number, QStringLiteral("%1 (%2)").arg(EngineError::describe(number), detail));
}

// Write errors surface as AVERROR(errno); keep the distinction the user can act on.
qint32 writeErrorNumber(int averr)
{
    if (averr == AVERROR(ENOSPC) || averr == AVERROR(EDQUOT))
        return EngineError::DiskFull;
    if (averr == AVERROR(EACCES) || averr == AVERROR(EPERM) || averr == AVERROR(EROFS))
        return EngineError::AccessDenied;
    return EngineError::WriteFailed;
}

// Out of memory, no thread to be had: nothing the user caused.
EncoderFailure internalFailure(const std::exception &e)
{
    return EncoderFailure(EngineError::Internal, QStringLiteral("%1 (%2)").arg(EngineError::describe(EngineError::Internal),
                                                                              QString::fromLocal8Bit(e.what())));
}

} // namespace

class FfmpegTranscoder::Job {
public:
    Job(EncodeJob job, std::shared_ptr<TranscodeCounters> counters, Reports reports)
        : m_task(std::move(job))
        , m_counters(std::move(counters))
        , m_reports(std::move(reports))
    {
    }

    ~Job() { stop(); }

    void start()
    {
        try {
            m_worker = std::thread([this] { run(); });
        } catch (const std::system_error &e) {
            throw internalFailure(e);
        }
    }

    void stop()
    {
        m_stop = true;
        abortQueues();
        if (m_worker.joinable())
            m_worker.join();
    }

private:
    // --- one decoded input stream and what it turns into -------------------
    struct VideoPath {
        int index = -1;
        AVStream *in = nullptr;
        ff::CodecPtr dec;
        ff::CodecPtr enc;
        AVStream *out = nullptr;
        ff::SwsPtr sws;
        ff::FramePtr last;      // most recent scaled picture, for duplicates
        int64_t nextIndex = 0;  // next output frame number
        int64_t origin = 0;     // input start in stream time base
        qint64 packets = 0;
        qint64 frames = 0;
        int errorRun = 0;
    };
    struct AudioPath {
        AudioPath() = default;
        AudioPath(const AudioPath &) = delete;
        AudioPath &operator=(const AudioPath &) = delete;
        ~AudioPath() { av_channel_layout_uninit(&swrLayout); }

        int index = -1;
        AVStream *in = nullptr;
        ff::CodecPtr dec;
        ff::CodecPtr enc;
        AVStream *out = nullptr;
        ff::SwrPtr swr;
        AVSampleFormat swrFormat = AV_SAMPLE_FMT_NONE;
        int swrRate = 0;
        AVChannelLayout swrLayout {};
        ff::FifoPtr fifo;
        ff::FramePtr scratch;  // resampler output before it enters the fifo
        ff::PacketPtr encoded;
        int64_t nextPts = AV_NOPTS_VALUE;  // in 1/sample_rate
        int64_t origin = 0;
        qint64 packets = 0;
        qint64 frames = 0;
        int errorRun = 0;
    };

    // --- the job's own thread -----------------------------------------------
    void run()
    {
        try {
            openInput();
            openEncoders();
            openOutput();
            m_reports.running();
            pipeline();
            finishOutput();
        } catch (const EncoderFailure &e) {
            recordFailure(e);
        } catch (const std::exception &e) {
            recordFailure(internalFailure(e));
        }
        if (m_failure || m_stop)
            discardOutput();
        releaseAll();
        if (m_stop)
            return; // Stop() reports the end itself
        if (m_failure)
            m_reports.error(m_failure->number(), m_failure->description());
        m_reports.stopped();
    }

    void recordFailure(const EncoderFailure &e)
    {
        {
            std::lock_guard lock(m_failureMutex);
            if (!m_failure)
                m_failure = e;
        }
        abortQueues();
    }

    void abortQueues()
    {
        m_videoQueue.abort();
        m_audioPackets.abort();
    }

    bool aborted() const
    {
        std::lock_guard lock(m_failureMutex);
        return m_stop || m_failure.has_value();
    }

    static int interruptCallback(void *opaque)
    {
        return static_cast<Job *>(opaque)->m_stop.load() ? 1 : 0;
    }

    // --- input --------------------------------------------------------------
    void openInput()
    {
        const QString &path = m_task.inputPath;
        m_input.reset(avformat_alloc_context());
        if (!m_input)
            throw std::bad_alloc();
        m_input->interrupt_callback = {&Job::interruptCallback, this};
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
            m_counters->durationUs = av_rescale_q(m_input->duration, AV_TIME_BASE_Q, {1, 1000000});
        else
            m_counters->durationUs = m_task.source.durationUs;
        const int64_t origin = m_input->start_time == AV_NOPTS_VALUE ? 0 : m_input->start_time;

        for (unsigned i = 0; i < m_input->nb_streams; ++i)
            m_input->streams[i]->discard = AVDISCARD_ALL;

        if (m_task.profile.hasVideo()) {
            for (unsigned i = 0; i < m_input->nb_streams; ++i) {
                if (ff::isRealVideo(m_input->streams[i])) {
                    m_video.emplace();
                    m_video->index = int(i);
                    break;
                }
            }
        }
        if (m_task.profile.hasAudio()) {
            const int best = av_find_best_stream(m_input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
            if (best >= 0) {
                m_audio.emplace();
                m_audio->index = best;
            }
        }
        if (!m_video && !m_audio)
            fail(EngineError::NoMatchingStreams, baseName(path));

        if (m_video) {
            m_video->in = m_input->streams[m_video->index];
            m_video->dec = openDecoder(m_video->in, true);
            m_video->origin = av_rescale_q(origin, AV_TIME_BASE_Q, m_video->in->time_base);
        }
        if (m_audio) {
            m_audio->in = m_input->streams[m_audio->index];
            m_audio->dec = openDecoder(m_audio->in, false);
            m_audio->origin = av_rescale_q(origin, AV_TIME_BASE_Q, m_audio->in->time_base);
        }
    }

    ff::CodecPtr openDecoder(AVStream *st, bool threaded)
    {
        const AVCodec *codec = avcodec_find_decoder(st->codecpar->codec_id);
        if (!codec)
            fail(EngineError::DecodeFailed, QStringLiteral("%1: no decoder for %2")
                                                .arg(baseName(m_task.inputPath),
                                                     QString::fromLatin1(avcodec_get_name(st->codecpar->codec_id))));
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
            fail(EngineError::DecodeFailed, QStringLiteral("%1: %2").arg(baseName(m_task.inputPath), ff::errorText(ret)));
        st->discard = AVDISCARD_DEFAULT;
        return dec;
    }

    // --- encoders and output ------------------------------------------------
    void openEncoders()
    {
        const ProfileSettings &p = m_task.profile;
        if (m_video) {
            const AVCodec *codec = findEncoder("wmv2");
            ff::CodecPtr enc(avcodec_alloc_context3(codec));
            if (!enc)
                throw std::bad_alloc();
            enc->width = p.video.width;
            enc->height = p.video.height;
            enc->pix_fmt = AV_PIX_FMT_YUV420P;
            enc->time_base = {1, p.video.frameRate};
            enc->framerate = {p.video.frameRate, 1};
            enc->bit_rate = p.video.bitRate;
            enc->sample_aspect_ratio = {1, 1};
            m_video->enc = std::move(enc);
        }
        if (m_audio) {
            const AVCodec *codec = findEncoder("wmav2");
            ff::CodecPtr enc(avcodec_alloc_context3(codec));
            if (!enc)
                throw std::bad_alloc();
            enc->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
            enc->sample_rate = p.audio.sampleRate;
            av_channel_layout_default(&enc->ch_layout, p.audio.channels);
            enc->bit_rate = p.audio.bitRate;
            enc->time_base = {1, p.audio.sampleRate};
            m_audio->enc = std::move(enc);
        }
    }

    const AVCodec *findEncoder(const char *name)
    {
        const AVCodec *codec = avcodec_find_encoder_by_name(name);
        if (!codec)
            fail(EngineError::EncodeFailed, QStringLiteral("encoder %1 is not available").arg(QLatin1String(name)));
        return codec;
    }

    void openEncoder(AVCodecContext *enc, const char *what)
    {
        if (m_output->oformat->flags & AVFMT_GLOBALHEADER)
            enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        const int ret = avcodec_open2(enc, enc->codec, nullptr);
        if (ret < 0)
            fail(EngineError::EncodeFailed, QStringLiteral("%1 encoder: %2").arg(QLatin1String(what), ff::errorText(ret)));
    }

    AVStream *addStream(AVCodecContext *enc)
    {
        AVStream *st = avformat_new_stream(m_output.get(), nullptr);
        if (!st)
            throw std::bad_alloc();
        const int ret = avcodec_parameters_from_context(st->codecpar, enc);
        if (ret < 0)
            fail(EngineError::EncodeFailed, ff::errorText(ret));
        st->time_base = enc->time_base;
        return st;
    }

    // A hidden, unique sibling of the output so that a rename publishes the
    // finished file in one step and nothing half-written is ever visible.
    void createTempFile()
    {
        const QFileInfo out(m_task.outputPath);
        const QString dir = out.absolutePath();
        const QFileInfo dirInfo(dir);
        if (!dirInfo.exists() || !dirInfo.isDir())
            fail(EngineError::PathNotFound, QDir::toNativeSeparators(dir));
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QString candidate = QStringLiteral("%1/.%2.%3.partial")
                                          .arg(dir, out.fileName())
                                          .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
            const int fd = ::open(QFile::encodeName(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) {
                ::close(fd);
                m_tempPath = candidate;
                return;
            }
            const int err = errno;
            if (err == EEXIST)
                continue;
            qint32 number = fileErrorNumber(err, EngineError::WriteFailed);
            if (number == EngineError::FileNotFound)
                number = EngineError::PathNotFound;
            fail(number, QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(dir), nativeError(err)));
        }
        fail(EngineError::WriteFailed, QStringLiteral("no unique temporary name in %1").arg(QDir::toNativeSeparators(dir)));
    }

    void openOutput()
    {
        createTempFile();
        AVFormatContext *raw = nullptr;
        int ret = avformat_alloc_output_context2(&raw, nullptr, "asf", nullptr);
        if (ret < 0 || !raw)
            fail(EngineError::EncodeFailed, QStringLiteral("asf muxer: %1").arg(ff::errorText(ret)));
        m_output.reset(raw);

        if (m_video) {
            openEncoder(m_video->enc.get(), "video");
            m_video->out = addStream(m_video->enc.get());
        }
        if (m_audio) {
            openEncoder(m_audio->enc.get(), "audio");
            m_audio->out = addStream(m_audio->enc.get());
            prepareAudioConversion();
        }

        const AVIOInterruptCB cb {&Job::interruptCallback, this};
        const QByteArray url = "file:" + QFile::encodeName(m_tempPath);
        ret = avio_open2(&m_output->pb, url.constData(), AVIO_FLAG_WRITE, &cb, nullptr);
        if (ret < 0)
            fail(writeErrorNumber(ret), QStringLiteral("%1: %2").arg(baseName(m_task.outputPath), ff::errorText(ret)));
        ret = avformat_write_header(m_output.get(), nullptr);
        if (ret < 0)
            fail(ret == AVERROR(EINVAL) ? EngineError::EncodeFailed : writeErrorNumber(ret),
                 QStringLiteral("%1: %2").arg(baseName(m_task.outputPath), ff::errorText(ret)));
        checkOutputError();
    }

    void prepareAudioConversion()
    {
        AVCodecContext *enc = m_audio->enc.get();
        m_audio->fifo.reset(av_audio_fifo_alloc(enc->sample_fmt, enc->ch_layout.nb_channels, frameSize() * 2));
        m_audio->scratch.reset(av_frame_alloc());
        if (!m_audio->fifo || !m_audio->scratch)
            throw std::bad_alloc();
    }

    int frameSize() const
    {
        const int n = m_audio->enc->frame_size;
        return n > 0 ? n : 1024;
    }

    void checkOutputError()
    {
        if (m_output->pb && m_output->pb->error < 0) {
            const int err = m_output->pb->error;
            fail(writeErrorNumber(err), QStringLiteral("%1: %2").arg(baseName(m_task.outputPath), ff::errorText(err)));
        }
    }

    void finishOutput()
    {
        if (aborted())
            return;
        int ret = av_write_trailer(m_output.get());
        if (ret < 0)
            fail(writeErrorNumber(ret), QStringLiteral("%1: %2").arg(baseName(m_task.outputPath), ff::errorText(ret)));
        avio_flush(m_output->pb);
        checkOutputError();
        ret = avio_closep(&m_output->pb);
        if (ret < 0)
            fail(writeErrorNumber(ret), QStringLiteral("%1: %2").arg(baseName(m_task.outputPath), ff::errorText(ret)));
        m_output.reset();
        if (m_stop)
            return;
        if (::rename(QFile::encodeName(m_tempPath).constData(), QFile::encodeName(m_task.outputPath).constData()) != 0) {
            const int err = errno;
            fail(fileErrorNumber(err, EngineError::WriteFailed),
                 QStringLiteral("%1: %2").arg(baseName(m_task.outputPath), nativeError(err)));
        }
        m_tempPath.clear();
        // The container's duration was an estimate; what was written is the
        // real length, so a finished job reads as complete.
        if (m_counters->encodedUs > 0)
            m_counters->durationUs = m_counters->encodedUs.load();
    }

    void discardOutput()
    {
        m_output.reset();
        if (!m_tempPath.isEmpty()) {
            ::unlink(QFile::encodeName(m_tempPath).constData());
            m_tempPath.clear();
        }
    }

    void releaseAll()
    {
        m_video.reset();
        m_audio.reset();
        m_input.reset();
    }

    // --- the pipeline -------------------------------------------------------
    void pipeline()
    {
        std::thread reader([this] { guarded([this] { readInput(); }); });
        std::optional<std::thread> audioEncoder;
        if (m_audio && m_video) {
            try {
                audioEncoder.emplace([this] { guarded([this] { runAudio(); }); });
            } catch (...) {
                abortQueues();
                reader.join();
                throw;
            }
        }
        if (m_video)
            guarded([this] { encodeVideo(); });
        else
            guarded([this] { runAudio(); });
        if (audioEncoder)
            audioEncoder->join();
        reader.join();
        std::lock_guard lock(m_failureMutex);
        if (m_failure)
            throw *m_failure;
    }

    template<typename F>
    void guarded(F &&f)
    {
        try {
            f();
        } catch (const EncoderFailure &e) {
            recordFailure(e);
        } catch (const std::exception &e) {
            recordFailure(internalFailure(e));
        }
    }

    // Reader thread: demuxes, and turns video packets into pictures ready
    // for the encoder. Audio is cheap to decode and goes to its own thread
    // as packets, which keeps this one from becoming the bottleneck.
    void readInput()
    {
        ff::PacketPtr pkt(av_packet_alloc());
        ff::FramePtr frame(av_frame_alloc());
        if (!pkt || !frame)
            throw std::bad_alloc();
        for (;;) {
            if (aborted())
                return;
            const int ret = av_read_frame(m_input.get(), pkt.get());
            if (ret == AVERROR_EOF)
                break;
            if (ret < 0) {
                if (m_stop)
                    return;
                // A file cut short ends with a read error at the end; what
                // came before it is still worth encoding.
                if (m_input->pb && avio_feof(m_input->pb))
                    break;
                fail(EngineError::DecodeFailed, QStringLiteral("%1: %2").arg(baseName(m_task.inputPath), ff::errorText(ret)));
            }
            if (m_video && pkt->stream_index == m_video->index) {
                ++m_video->packets;
                decodeVideo(pkt.get(), frame.get());
                av_packet_unref(pkt.get());
            } else if (m_audio && pkt->stream_index == m_audio->index) {
                ff::PacketPtr copy(av_packet_alloc());
                if (!copy)
                    throw std::bad_alloc();
                av_packet_move_ref(copy.get(), pkt.get());
                if (!m_audioPackets.push(std::move(copy)))
                    return;
            } else {
                av_packet_unref(pkt.get());
            }
        }
        m_audioPackets.close();
        if (m_video) {
            decodeVideo(nullptr, frame.get());
            if (aborted())
                return;
            checkDecoded(m_video->packets, m_video->frames, "video");
        }
        m_videoQueue.close();
    }

    void checkDecoded(qint64 packets, qint64 frames, const char *what)
    {
        if (packets > 0 && frames == 0)
            fail(EngineError::DecodeFailed, QStringLiteral("%1: no %2 frame could be decoded")
                                                .arg(baseName(m_task.inputPath), QLatin1String(what)));
    }

    void decodeError(int &errorRun, int err, const char *what)
    {
        if (++errorRun > MaxConsecutiveDecodeErrors)
            fail(EngineError::DecodeFailed, QStringLiteral("%1: %2 decoder: %3")
                                                .arg(baseName(m_task.inputPath), QLatin1String(what), ff::errorText(err)));
    }

    // Sends one packet (null to flush) and hands on every frame it yields.
    template<typename Path, typename Handle>
    void decode(Path &path, const AVPacket *pkt, AVFrame *frame, const char *what, Handle &&handle)
    {
        int ret = avcodec_send_packet(path.dec.get(), pkt);
        if (ret < 0 && ret != AVERROR_EOF) {
            decodeError(path.errorRun, ret, what);
            return;
        }
        for (;;) {
            ret = avcodec_receive_frame(path.dec.get(), frame);
            if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
                return;
            if (ret < 0) {
                decodeError(path.errorRun, ret, what);
                return;
            }
            path.errorRun = 0;
            ++path.frames;
            handle(frame);
            av_frame_unref(frame);
            if (aborted())
                return;
        }
    }

    void decodeVideo(const AVPacket *pkt, AVFrame *frame)
    {
        decode(*m_video, pkt, frame, "video", [this](AVFrame *f) { convertVideo(f); });
    }

    void decodeAudio(const AVPacket *pkt, AVFrame *frame)
    {
        decode(*m_audio, pkt, frame, "audio", [this](AVFrame *f) { convertAudio(f); });
    }

    // Scales to the profile size and places the picture on the constant
    // frame grid: pictures that land on a slot already filled are dropped,
    // gaps are filled by repeating the previous picture.
    void convertVideo(const AVFrame *in)
    {
        VideoPath &v = *m_video;
        const AVCodecContext *enc = v.enc.get();
        const AVRational outRate = enc->time_base;
        int64_t slot = v.nextIndex;
        const int64_t ts = in->best_effort_timestamp != AV_NOPTS_VALUE ? in->best_effort_timestamp : in->pts;
        if (ts != AV_NOPTS_VALUE)
            slot = av_rescale_q(ts - v.origin, v.in->time_base, outRate);
        if (!v.last)
            slot = std::max<int64_t>(slot, 0);
        else if (slot < v.nextIndex)
            return;

        v.sws.reset(sws_getCachedContext(v.sws.release(), in->width, in->height, AVPixelFormat(in->format),
                                         enc->width, enc->height, enc->pix_fmt, SWS_BICUBIC, nullptr, nullptr,
                                         nullptr));
        if (!v.sws)
            fail(EngineError::DecodeFailed, QStringLiteral("%1: cannot convert %2x%3 %4 pictures")
                                                .arg(baseName(m_task.inputPath))
                                                .arg(in->width)
                                                .arg(in->height)
                                                .arg(QLatin1String(av_get_pix_fmt_name(AVPixelFormat(in->format)))));
        ff::FramePtr out(av_frame_alloc());
        if (!out)
            throw std::bad_alloc();
        out->format = enc->pix_fmt;
        out->width = enc->width;
        out->height = enc->height;
        if (av_frame_get_buffer(out.get(), 0) < 0)
            throw std::bad_alloc();
        sws_scale(v.sws.get(), in->data, in->linesize, 0, in->height, out->data, out->linesize);

        if (v.last) {
            while (v.nextIndex < slot) {
                if (!pushVideo(v.last.get(), v.nextIndex++))
                    return;
            }
        }
        v.last = std::move(out);
        v.nextIndex = slot + 1;
        pushVideo(v.last.get(), slot);
    }

    bool pushVideo(const AVFrame *picture, int64_t pts)
    {
        ff::FramePtr f(av_frame_clone(picture));
        if (!f)
            throw std::bad_alloc();
        f->pts = pts;
        f->pict_type = AV_PICTURE_TYPE_NONE;
        return m_videoQueue.push(std::move(f));
    }

    void configureResampler(const AVFrame *in)
    {
        AudioPath &a = *m_audio;
        if (a.swr && a.swrFormat == in->format && a.swrRate == in->sample_rate
            && av_channel_layout_compare(&a.swrLayout, &in->ch_layout) == 0)
            return;
        if (a.swr)
            drainResampler();
        AVCodecContext *enc = a.enc.get();
        AVChannelLayout inLayout {};
        av_channel_layout_copy(&inLayout, &in->ch_layout);
        if (inLayout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&inLayout, in->ch_layout.nb_channels);
        SwrContext *raw = nullptr;
        int ret = swr_alloc_set_opts2(&raw, &enc->ch_layout, enc->sample_fmt, enc->sample_rate, &inLayout,
                                      AVSampleFormat(in->format), in->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&inLayout);
        a.swr.reset(raw);
        if (ret >= 0)
            ret = swr_init(a.swr.get());
        if (ret < 0)
            fail(EngineError::DecodeFailed, QStringLiteral("%1: cannot resample audio: %2")
                                                .arg(baseName(m_task.inputPath), ff::errorText(ret)));
        a.swrFormat = AVSampleFormat(in->format);
        a.swrRate = in->sample_rate;
        av_channel_layout_uninit(&a.swrLayout);
        av_channel_layout_copy(&a.swrLayout, &in->ch_layout);
    }

    // Runs `in` (null to drain) through the resampler into the fifo.
    void resample(const AVFrame *in)
    {
        AudioPath &a = *m_audio;
        const AVCodecContext *enc = a.enc.get();
        const int inSamples = in ? in->nb_samples : 0;
        const int capacity = swr_get_out_samples(a.swr.get(), inSamples);
        if (capacity <= 0)
            return;
        AVFrame *s = a.scratch.get();
        if (s->nb_samples < capacity) {
            av_frame_unref(s);
            s->format = enc->sample_fmt;
            s->sample_rate = enc->sample_rate;
            av_channel_layout_copy(&s->ch_layout, &enc->ch_layout);
            s->nb_samples = capacity;
            if (av_frame_get_buffer(s, 0) < 0)
                throw std::bad_alloc();
        }
        const int n = swr_convert(a.swr.get(), s->data, capacity, in ? const_cast<const uint8_t **>(in->extended_data) : nullptr,
                                  inSamples);
        if (n < 0)
            fail(EngineError::DecodeFailed, QStringLiteral("%1: resampling failed: %2")
                                                .arg(baseName(m_task.inputPath), ff::errorText(n)));
        if (n > 0 && av_audio_fifo_write(a.fifo.get(), reinterpret_cast<void **>(s->data), n) < n)
            throw std::bad_alloc();
    }

    void drainResampler()
    {
        resample(nullptr);
    }

    void convertAudio(const AVFrame *in)
    {
        AudioPath &a = *m_audio;
        if (a.nextPts == AV_NOPTS_VALUE) {
            const int64_t ts = in->best_effort_timestamp != AV_NOPTS_VALUE ? in->best_effort_timestamp : in->pts;
            a.nextPts = ts == AV_NOPTS_VALUE ? 0 : std::max<int64_t>(0, av_rescale_q(ts - a.origin, a.in->time_base, a.enc->time_base));
        }
        configureResampler(in);
        resample(in);
        encodeAudioChunks(false);
    }

    void drainAudio()
    {
        if (aborted() || !m_audio->swr)
            return;
        drainResampler();
        encodeAudioChunks(true);
    }

    // The encoder takes fixed-size frames; the last one is padded with silence.
    void encodeAudioChunks(bool final)
    {
        AudioPath &a = *m_audio;
        const AVCodecContext *enc = a.enc.get();
        const int size = frameSize();
        for (;;) {
            const int available = av_audio_fifo_size(a.fifo.get());
            if (available == 0 || (available < size && !final))
                return;
            ff::FramePtr f(av_frame_alloc());
            if (!f)
                throw std::bad_alloc();
            f->format = enc->sample_fmt;
            f->sample_rate = enc->sample_rate;
            av_channel_layout_copy(&f->ch_layout, &enc->ch_layout);
            f->nb_samples = size;
            if (av_frame_get_buffer(f.get(), 0) < 0)
                throw std::bad_alloc();
            const int n = av_audio_fifo_read(a.fifo.get(), reinterpret_cast<void **>(f->data), size);
            if (n < size)
                av_samples_set_silence(f->data, n, size - n, enc->ch_layout.nb_channels, enc->sample_fmt);
            f->pts = a.nextPts;
            a.nextPts += size;
            encode(a.enc.get(), a.out, f.get(), a.encoded.get(), "audio");
        }
    }

    // --- encoder threads ----------------------------------------------------
    void encodeVideo()
    {
        ff::PacketPtr pkt(av_packet_alloc());
        if (!pkt)
            throw std::bad_alloc();
        while (std::optional<ff::FramePtr> picture = m_videoQueue.pop()) {
            encode(m_video->enc.get(), m_video->out, picture->get(), pkt.get(), "video");
            ++m_counters->videoFrames;
        }
        if (!aborted())
            encode(m_video->enc.get(), m_video->out, nullptr, pkt.get(), "video");
    }

    // Audio thread: decode, resample, cut into encoder frames, encode.
    void runAudio()
    {
        AudioPath &a = *m_audio;
        ff::FramePtr frame(av_frame_alloc());
        a.encoded.reset(av_packet_alloc());
        if (!frame || !a.encoded)
            throw std::bad_alloc();
        while (std::optional<ff::PacketPtr> pkt = m_audioPackets.pop()) {
            ++a.packets;
            decodeAudio(pkt->get(), frame.get());
        }
        if (aborted())
            return;
        decodeAudio(nullptr, frame.get());
        drainAudio();
        if (aborted())
            return;
        checkDecoded(a.packets, a.frames, "audio");
        encode(a.enc.get(), a.out, nullptr, a.encoded.get(), "audio");
    }

    void encode(AVCodecContext *enc, AVStream *st, const AVFrame *frame, AVPacket *pkt, const char *what)
    {
        int ret = avcodec_send_frame(enc, frame);
        if (ret < 0)
            fail(EngineError::EncodeFailed, QStringLiteral("%1 encoder: %2").arg(QLatin1String(what), ff::errorText(ret)));
        for (;;) {
            ret = avcodec_receive_packet(enc, pkt);
            if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
                return;
            if (ret < 0)
                fail(EngineError::EncodeFailed, QStringLiteral("%1 encoder: %2").arg(QLatin1String(what), ff::errorText(ret)));
            pkt->stream_index = st->index;
            av_packet_rescale_ts(pkt, enc->time_base, st->time_base);
            write(pkt, st);
        }
    }

    void write(AVPacket *pkt, AVStream *st)
    {
        std::lock_guard lock(m_muxMutex);
        const int64_t end = pkt->pts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : pkt->pts + pkt->duration;
        const int ret = av_interleaved_write_frame(m_output.get(), pkt);
        if (ret < 0)
            fail(ret == AVERROR(EINVAL) ? EngineError::EncodeFailed : writeErrorNumber(ret),
                 QStringLiteral("%1: %2").arg(baseName(m_task.outputPath), ff::errorText(ret)));
        checkOutputError();
        if (end != AV_NOPTS_VALUE) {
            const qint64 us = av_rescale_q(end, st->time_base, {1, 1000000});
            if (us > m_counters->encodedUs)
                m_counters->encodedUs = us;
        }
    }

    EncodeJob m_task;
    std::shared_ptr<TranscodeCounters> m_counters;
    Reports m_reports;

    std::thread m_worker;
    std::atomic<bool> m_stop {false};
    mutable std::mutex m_failureMutex;
    std::optional<EncoderFailure> m_failure;

    ff::InputPtr m_input;
    OutputPtr m_output;
    QString m_tempPath;
    std::optional<VideoPath> m_video;
    std::optional<AudioPath> m_audio;
    std::mutex m_muxMutex;
    BoundedQueue<ff::FramePtr> m_videoQueue {VideoQueueFrames};
    BoundedQueue<ff::PacketPtr> m_audioPackets {AudioQueuePackets};
};

FfmpegTranscoder::FfmpegTranscoder(EncodeJob job, std::shared_ptr<TranscodeCounters> counters, Reports reports)
    : m_job(std::make_unique<Job>(std::move(job), std::move(counters), std::move(reports)))
{
}

FfmpegTranscoder::~FfmpegTranscoder() = default;

void FfmpegTranscoder::start()
{
    m_job->start();
}

void FfmpegTranscoder::stop()
{
    m_job->stop();
}

} // namespace joblet
