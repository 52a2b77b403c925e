#include "ReadableMedia.h"

#include <QtGlobal>

namespace joblet {

const QList<MediaFamily> &readableMedia()
{
    // The containers of everyday recordings, downloads and rips, each read
    // by a demuxer of the libraries we build on.
    static const QList<MediaFamily> families{
        {QT_TRANSLATE_NOOP("joblet::ReadableMedia", "MPEG-4 and QuickTime"),
         {"mp4", "m4v", "m4a", "mov", "3gp", "3g2"}},
        {QT_TRANSLATE_NOOP("joblet::ReadableMedia", "Matroska and WebM"), {"mkv", "mka", "webm"}},
        {QT_TRANSLATE_NOOP("joblet::ReadableMedia", "Ogg"), {"ogg", "ogv", "oga", "opus"}},
        {QT_TRANSLATE_NOOP("joblet::ReadableMedia", "MPEG transport stream"), {"ts", "m2ts", "mts"}},
        {QT_TRANSLATE_NOOP("joblet::ReadableMedia", "MPEG program stream"), {"mpg", "mpeg", "vob"}},
        {QT_TRANSLATE_NOOP("joblet::ReadableMedia", "AVI"), {"avi"}},
        {QT_TRANSLATE_NOOP("joblet::ReadableMedia", "ASF"), {"asf", "wmv", "wma"}},
        {QT_TRANSLATE_NOOP("joblet::ReadableMedia", "Flash video"), {"flv"}},
        {QT_TRANSLATE_NOOP("joblet::ReadableMedia", "DV"), {"dv"}},
        {QT_TRANSLATE_NOOP("joblet::ReadableMedia", "MP3"), {"mp3"}},
        {QT_TRANSLATE_NOOP("joblet::ReadableMedia", "AAC"), {"aac", "adts"}},
        {QT_TRANSLATE_NOOP("joblet::ReadableMedia", "AC-3"), {"ac3"}},
        {QT_TRANSLATE_NOOP("joblet::ReadableMedia", "FLAC"), {"flac"}},
        {QT_TRANSLATE_NOOP("joblet::ReadableMedia", "WAV"), {"wav"}},
        {QT_TRANSLATE_NOOP("joblet::ReadableMedia", "AIFF"), {"aif", "aiff"}},
        {QT_TRANSLATE_NOOP("joblet::ReadableMedia", "Bitmap image"), {"bmp"}},
    };
    return families;
}

QStringList readableExtensions()
{
    QStringList all;
    for (const MediaFamily &family : readableMedia())
        all << family.extensions;
    return all;
}

} // namespace joblet
