#include "EncoderFailure.h"

namespace joblet {

QString EngineError::describe(qint32 number)
{
    switch (number) {
    case FileNotFound: return QStringLiteral("The file does not exist.");
    case PathNotFound: return QStringLiteral("The output folder does not exist.");
    case AccessDenied: return QStringLiteral("Access to the file or folder was denied.");
    case DiskFull: return QStringLiteral("There is not enough space on the disk.");
    case UnrecognisedMedia: return QStringLiteral("The file is not a media file that can be read, or it is damaged.");
    case NoEncoder: return QStringLiteral("No encoder is available.");
    case NoSource: return QStringLiteral("No input file has been set for the job.");
    case NoProfile: return QStringLiteral("No profile has been set for the job.");
    case NoOutput: return QStringLiteral("No output file has been set for the job.");
    case NoMatchingStreams: return QStringLiteral("The input has none of the streams the profile encodes.");
    case OutputIsInput: return QStringLiteral("The output file is the input file.");
    case DecodeFailed: return QStringLiteral("The input file is damaged and could not be decoded.");
    case EncodeFailed: return QStringLiteral("The encoder could not encode the input.");
    case WriteFailed: return QStringLiteral("The output file could not be written.");
    case Stopped: return QStringLiteral("The job was stopped before it finished.");
    case Busy: return QStringLiteral("The encoder is already running a job.");
    case InvalidArgument: return QStringLiteral("An invalid argument was passed to the encoder.");
    case Internal: return QStringLiteral("The encoder ran out of memory or failed internally.");
    case NothingEncoded: return QStringLiteral("The input yielded no audio or video that could be encoded.");
    case UnsupportedFormat:
        return QStringLiteral("The input declares a sample rate, channel count, picture size or frame rate "
                              "outside what the encoder accepts.");
    case UnsupportedChannelLayout: return QStringLiteral("The input's audio channel layout cannot be mixed down.");
    case NotRegularFile: return QStringLiteral("The input or the output is not a regular file.");
    case OutputTypeMismatch: return QStringLiteral("The output file's type cannot hold what the profile encodes.");
    case PictureTooSmall: return QStringLiteral("The picture is too small for the profile's video encoder.");
    case OutputShared: return QStringLiteral("Another job of the list writes the same output file.");
    default: return QStringLiteral("Unknown encoder error.");
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
