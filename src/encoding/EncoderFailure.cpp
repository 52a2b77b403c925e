#include "EncoderFailure.h"

#include <QCoreApplication>

namespace joblet {

namespace {

// The window shows these; joblet-batch installs no translator and stays English.
struct Text {
    Q_DECLARE_TR_FUNCTIONS(joblet::EngineError)
};

} // namespace

QString EngineError::describe(qint32 number)
{
    switch (number) {
    case FileNotFound: return Text::tr("The file does not exist.");
    case PathNotFound: return Text::tr("The output folder does not exist.");
    case AccessDenied: return Text::tr("Access to the file or folder was denied.");
    case DiskFull: return Text::tr("There is not enough space on the disk.");
    case UnrecognisedMedia: return Text::tr("The file is not a media file that can be read, or it is damaged.");
    case NoEncoder: return Text::tr("No encoder is available.");
    case NoSource: return Text::tr("No input file has been set for the job.");
    case NoProfile: return Text::tr("No profile has been set for the job.");
    case NoOutput: return Text::tr("No output file has been set for the job.");
    case NoMatchingStreams: return Text::tr("The input has none of the streams the profile encodes.");
    case OutputIsInput: return Text::tr("The output file is the input file.");
    case DecodeFailed: return Text::tr("The input file is damaged and could not be decoded.");
    case EncodeFailed: return Text::tr("The encoder could not encode the input.");
    case WriteFailed: return Text::tr("The output file could not be written.");
    case Stopped: return Text::tr("The job was stopped before it finished.");
    case Busy: return Text::tr("The encoder is already running a job.");
    case InvalidArgument: return Text::tr("An invalid argument was passed to the encoder.");
    case Internal: return Text::tr("The encoder ran out of memory or failed internally.");
    case NothingEncoded: return Text::tr("The input yielded no audio or video that could be encoded.");
    case UnsupportedFormat:
        return Text::tr("The input declares a sample rate, channel count, picture size or frame rate "
                              "outside what the encoder accepts.");
    case UnsupportedChannelLayout: return Text::tr("The input's audio channel layout cannot be mixed down.");
    case NotRegularFile: return Text::tr("The input or the output is not a regular file.");
    case OutputTypeMismatch: return Text::tr("The output file's type cannot hold what the profile encodes.");
    case PictureTooSmall: return Text::tr("The picture is too small for the profile's video encoder.");
    case OutputShared: return Text::tr("Another job of the list writes the same output file.");
    default: return Text::tr("Unknown encoder error.");
    }
}

EncoderFailure::EncoderFailure(qint32 number, QString description)
    : m_number(number)
    , m_description(std::move(description))
    , m_what(m_description.toStdString())
{
}

EncoderFailure::EncoderFailure(qint32 number)
    : EncoderFailure(number, EngineError::describe(number))
{
}

} // namespace joblet
