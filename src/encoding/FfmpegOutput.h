#pragma once

#include "FfmpegJob.h"

namespace joblet::transcode {

// The muxer and the hidden temporary file it writes, published by a rename
// once complete. Set up by the job thread; write() is called by the encoder
// threads and serialises them.
class OutputFile {
public:
    explicit OutputFile(JobContext &job) : m_job(job) {}
    ~OutputFile() { discard(); }
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // The temporary file and an empty muxer for the streams to be added.
    void create();
    // Opens `enc` as the muxer needs it, with the encoder's private
    // `options` (consumed) when given, and adds its stream.
    AVStream *addStream(AVCodecContext *enc, const char *what, AVDictionary **options = nullptr);
    // For what rides along, between create() and open(): its streams, chapters and tags.
    AVFormatContext *muxer() { return m_muxer.get(); }
    // Writes the header, once every stream is in.
    void open();
    void write(AVPacket *pkt, AVStream *st);
    // Trailer, close, and the rename into place; false when a stop came
    // first and nothing was published.
    bool finish();
    // Removes the temporary file; harmless after finish().
    void discard();

private:
    void createTempFile();
    bool isMp4Family() const;
    void checkError();
    void checkStillThere();
    void closeTemp();
    [[noreturn]] void failWrite(int averr);
    [[noreturn]] void failFile(int err, const QString &what);

    JobContext &m_job;
    struct Deleter {
        void operator()(AVFormatContext *oc) const;
    };
    std::unique_ptr<AVFormatContext, Deleter> m_muxer;
    QString m_tempPath;
    int m_tempFd = -1; // kept open to notice when the file is taken away
    quint64 m_folderId[2] = {0, 0}; // device and inode of the folder written into
    qint64 m_packets = 0;
    std::mutex m_mutex;
};

} // namespace joblet::transcode

namespace joblet::transcode {

// Sends `frame` (null to flush) to `enc` and writes every packet it yields.
void encodeInto(OutputFile &out, AVCodecContext *enc, AVStream *st, const AVFrame *frame, AVPacket *pkt,
                const char *what);

} // namespace joblet::transcode
