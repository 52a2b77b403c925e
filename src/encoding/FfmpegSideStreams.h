#pragma once

#include "FfmpegOutput.h"

#include <QStringList>

#include <vector>

namespace joblet::transcode {

class InputStage;

// What rides beside the picture and the sound: subtitles, chapters, tags and
// the cover picture. The job thread sets it up between OutputFile::create()
// and open(); then the reader thread hands it the subtitle packets.
class SideStreams {
public:
    SideStreams(JobContext &job, OutputFile &out, const InputStage &input);
    ~SideStreams();
    SideStreams(const SideStreams &) = delete;
    SideStreams &operator=(const SideStreams &) = delete;

    // Adds to the muxer what it can hold, and marks those input streams to be read.
    void attach();
    // Right after the header: the muxers that take a cover hold the sound back until it came.
    void writeCover();
    // Reader thread: writes or drops a packet of a stream it carries; false
    // for any other stream's packet, which it leaves alone.
    bool take(AVPacket *pkt);
    // What the output could not hold, for the job's note; empty when nothing.
    QString note() const;

private:
    struct Subtitle;

    void copyTags();
    void copyChapters();
    void addSubtitles();
    void addCover();
    bool addSubtitle(AVStream *in, AVCodecID target);
    void convert(Subtitle &s, AVPacket *pkt);
    void write(Subtitle &s, AVPacket *pkt);

    JobContext &m_job;
    OutputFile &m_output;
    const InputStage &m_input;
    AVFormatContext *m_in = nullptr;
    AVFormatContext *m_out = nullptr;
    std::vector<Subtitle> m_subtitles;
    std::vector<int> m_subtitleOf; // by input stream index; -1 when not carried
    const AVStream *m_coverIn = nullptr;
    AVStream *m_coverOut = nullptr;
    std::vector<uint8_t> m_scratch; // one converted subtitle, on the reader thread
    QStringList m_cannotHold;
    QStringList m_tooLarge;
};

} // namespace joblet::transcode
