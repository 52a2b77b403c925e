#include "FfmpegOutput.h"

#include "EncodedLength.h"
#include "FfmpegProbe.h"
#include "PartialOutput.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace joblet::transcode {

namespace {

QString nativeError(int err)
{
    return QString::fromLocal8Bit(strerror(err));
}

// On the output side a missing name means a missing folder, never a
// missing input.
qint32 outputErrorNumber(int err)
{
    if (err == ENOENT || err == ENOTDIR)
        return EngineError::PathNotFound;
    return fileErrorNumber(err, EngineError::WriteFailed);
}

// A removed folder does not make writes fail (the open file lives on
// unlinked), so look every so many packets: cheap, and early enough.
constexpr qint64 PacketsBetweenChecks = 32;

// ".<output name>.<16 hex digits>.partial" beside the output.
const QString PartialSuffix = QStringLiteral(".partial");
constexpr int PartialDigits = 16;

QString partialName(const QString &outputName, quint64 random)
{
    return QStringLiteral(".%1.%2%3").arg(outputName).arg(random, PartialDigits, 16, QLatin1Char('0')).arg(PartialSuffix);
}

// The output name `entry` is the partial file of, or empty.
QString partialOwner(const QString &entry)
{
    const qsizetype nameSize = entry.size() - 1 - 1 - PartialDigits - PartialSuffix.size();
    if (nameSize < 1 || !entry.startsWith(u'.') || !entry.endsWith(PartialSuffix)
        || entry.at(1 + nameSize) != u'.')
        return {};
    const QStringView hex = QStringView(entry).sliced(2 + nameSize, PartialDigits);
    const bool isHex = std::all_of(hex.begin(), hex.end(),
                                   [](QChar c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'); });
    return isHex ? entry.sliced(1, nameSize) : QString();
}

} // namespace

} // namespace joblet::transcode

namespace joblet {

void removePartialOutputs(const QStringList &outputPaths)
{
    // A list of thousands of rows shares few folders.
    QHash<QString, QSet<QString>> byFolder;
    for (const QString &output : outputPaths) {
        const QFileInfo info(output);
        byFolder[info.absolutePath()].insert(info.fileName());
    }
    for (auto it = byFolder.cbegin(); it != byFolder.cend(); ++it) {
        QDir dir(it.key());
        const QStringList entries = dir.entryList({QStringLiteral(".*") + transcode::PartialSuffix},
                                                  QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
        for (const QString &entry : entries) {
            if (it.value().contains(transcode::partialOwner(entry)))
                dir.remove(entry);
        }
    }
}

} // namespace joblet

namespace joblet::transcode {

void OutputFile::Deleter::operator()(AVFormatContext *oc) const
{
    if (oc->pb && !(oc->oformat->flags & AVFMT_NOFILE))
        avio_closep(&oc->pb);
    avformat_free_context(oc);
}

void OutputFile::create()
{
    createTempFile();
    AVFormatContext *raw = nullptr;
    const char *muxer = m_job.task.profile.muxerFor(m_job.task.outputPath);
    const int ret = avformat_alloc_output_context2(&raw, nullptr, muxer, nullptr);
    if (ret < 0 || !raw)
        fail(EngineError::EncodeFailed, QStringLiteral("%1 muxer: %2").arg(QLatin1String(muxer), ff::errorText(ret)));
    m_muxer.reset(raw);
}

bool OutputFile::isMp4Family() const
{
    const char *name = m_muxer->oformat->name;
    return strcmp(name, "mp4") == 0 || strcmp(name, "mov") == 0 || strcmp(name, "ipod") == 0;
}

// A hidden, unique sibling of the output so that a rename publishes the
// finished file in one step and nothing half-written is ever visible.
void OutputFile::createTempFile()
{
    const QFileInfo out(m_job.task.outputPath);
    const QString dir = out.absolutePath();
    const QFileInfo dirInfo(dir);
    if (!dirInfo.exists() || !dirInfo.isDir())
        fail(EngineError::PathNotFound, QDir::toNativeSeparators(dir));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate =
            dir + u'/' + partialName(out.fileName(), QRandomGenerator::global()->generate64());
        const int fd = ::open(QFile::encodeName(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            m_tempFd = fd;
            m_tempPath = candidate;
            struct stat st {};
            if (::stat(QFile::encodeName(dir).constData(), &st) == 0)
                m_folderId[0] = st.st_dev, m_folderId[1] = st.st_ino;
            return;
        }
        const int err = errno;
        if (err == EEXIST)
            continue;
        failFile(err, QDir::toNativeSeparators(dir));
    }
    fail(EngineError::WriteFailed, QStringLiteral("no unique temporary name in %1").arg(QDir::toNativeSeparators(dir)));
}

AVStream *OutputFile::addStream(AVCodecContext *enc, const char *what, AVDictionary **options)
{
    if (m_muxer->oformat->flags & AVFMT_GLOBALHEADER)
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int ret = avcodec_open2(enc, enc->codec, options);
    if (ret < 0)
        fail(EngineError::EncodeFailed, QStringLiteral("%1 encoder: %2").arg(QLatin1String(what), ff::errorText(ret)));
    AVStream *st = avformat_new_stream(m_muxer.get(), nullptr);
    if (!st)
        throw std::bad_alloc();
    ret = avcodec_parameters_from_context(st->codecpar, enc);
    if (ret < 0)
        fail(EngineError::EncodeFailed, ff::errorText(ret));
    st->time_base = enc->time_base;
    // Players of the Apple family take H.265 in MP4 only under this tag.
    if (enc->codec_id == AV_CODEC_ID_HEVC && isMp4Family())
        st->codecpar->codec_tag = MKTAG('h', 'v', 'c', '1');
    return st;
}

void OutputFile::open()
{
    const AVIOInterruptCB cb = m_job.interrupt();
    const QByteArray url = "file:" + QFile::encodeName(m_tempPath);
    int ret = avio_open2(&m_muxer->pb, url.constData(), AVIO_FLAG_WRITE, &cb, nullptr);
    if (ret < 0)
        failWrite(ret);
    // The fast-start pass reopens the file by this name.
    av_freep(&m_muxer->url);
    m_muxer->url = av_strdup(url.constData());
    if (!m_muxer->url)
        throw std::bad_alloc();
    AVDictionary *options = nullptr;
    // The index at the front: the file plays while it downloads.
    if (isMp4Family())
        av_dict_set(&options, "movflags", "+faststart", 0);
    ret = avformat_write_header(m_muxer.get(), &options);
    av_dict_free(&options);
    if (ret < 0)
        fail(ret == AVERROR(EINVAL) ? EngineError::EncodeFailed : writeErrorNumber(ret),
             QStringLiteral("%1: %2").arg(baseName(m_job.task.outputPath), ff::errorText(ret)));
    checkError();
}

void OutputFile::write(AVPacket *pkt, AVStream *st)
{
    std::lock_guard lock(m_mutex);
    // Subtitles and a cover ride along: neither makes the output nor measures its length.
    const bool encoded = st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO || ff::isRealVideo(st);
    const int64_t end = !encoded || pkt->pts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : pkt->pts + pkt->duration;
    const int ret = av_interleaved_write_frame(m_muxer.get(), pkt);
    if (ret < 0)
        fail(ret == AVERROR(EINVAL) ? EngineError::EncodeFailed : writeErrorNumber(ret),
             QStringLiteral("%1: %2").arg(baseName(m_job.task.outputPath), ff::errorText(ret)));
    checkError();
    if (encoded && ++m_packets % PacketsBetweenChecks == 0)
        checkStillThere();
    if (end != AV_NOPTS_VALUE) {
        const qint64 us = av_rescale_q(end, st->time_base, {1, 1000000});
        if (us > m_job.counters->encodedUs)
            m_job.counters->encodedUs = us;
    }
}

void OutputFile::checkError()
{
    if (m_muxer->pb && m_muxer->pb->error < 0)
        failWrite(m_muxer->pb->error);
}

void OutputFile::checkStillThere()
{
    struct stat st {};
    if (m_tempFd >= 0 && ::fstat(m_tempFd, &st) == 0 && st.st_nlink == 0) {
        const QString dir = QFileInfo(m_job.task.outputPath).absolutePath();
        // A folder of that name made again is not the one written into.
        struct stat now {};
        const bool sameFolder = ::stat(QFile::encodeName(dir).constData(), &now) == 0
            && quint64(now.st_dev) == m_folderId[0] && quint64(now.st_ino) == m_folderId[1];
        if (!sameFolder)
            fail(EngineError::PathNotFound,
                 QStringLiteral("%1: the folder was removed while the job ran").arg(QDir::toNativeSeparators(dir)));
        fail(EngineError::WriteFailed, QStringLiteral("%1: the temporary output file was deleted while the job ran")
                                           .arg(QDir::toNativeSeparators(dir)));
    }
}

void OutputFile::failFile(int err, const QString &what)
{
    fail(outputErrorNumber(err), QStringLiteral("%1: %2").arg(what, nativeError(err)));
}

void OutputFile::failWrite(int averr)
{
    fail(writeErrorNumber(averr), QStringLiteral("%1: %2").arg(baseName(m_job.task.outputPath), ff::errorText(averr)));
}

bool OutputFile::finish()
{
    if (m_packets == 0)
        fail(EngineError::NothingEncoded, baseName(m_job.task.inputPath));
    checkStillThere();
    int ret = av_write_trailer(m_muxer.get());
    if (ret < 0)
        failWrite(ret);
    avio_flush(m_muxer->pb);
    checkError();
    ret = avio_closep(&m_muxer->pb);
    if (ret < 0)
        failWrite(ret);
    m_muxer.reset();
    if (!m_job.commit())
        return false;
    if (::rename(QFile::encodeName(m_tempPath).constData(), QFile::encodeName(m_job.task.outputPath).constData()) != 0)
        failFile(errno, baseName(m_job.task.outputPath));
    m_tempPath.clear();
    closeTemp();
    return true;
}

void OutputFile::closeTemp()
{
    if (m_tempFd >= 0) {
        ::close(m_tempFd);
        m_tempFd = -1;
    }
}

void OutputFile::discard()
{
    m_muxer.reset();
    closeTemp();
    if (!m_tempPath.isEmpty()) {
        ::unlink(QFile::encodeName(m_tempPath).constData());
        m_tempPath.clear();
    }
}

} // namespace joblet::transcode

namespace joblet::transcode {

void encodeInto(OutputFile &out, AVCodecContext *enc, AVStream *st, const AVFrame *frame, AVPacket *pkt,
                const char *what)
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
        giveDuration(pkt, enc);
        av_packet_rescale_ts(pkt, enc->time_base, st->time_base);
        out.write(pkt, st);
    }
}

} // namespace joblet::transcode
