#pragma once

#include <QString>
#include <QtGlobal>

#include <exception>
#include <string>

namespace joblet {

// Every number the engines report. Numbers are 32-bit; those with the top bit
// set are negative as qint32, which is how callers store them.
namespace EngineError {
inline constexpr qint32 code(quint32 n) { return static_cast<qint32>(n); }

inline constexpr qint32 FileNotFound = code(0x80070002);     // input path does not exist
inline constexpr qint32 PathNotFound = code(0x80070003);     // output folder does not exist
inline constexpr qint32 AccessDenied = code(0x80070005);     // cannot read input / write output folder
inline constexpr qint32 DiskFull = code(0x80070070);         // no space left while writing
inline constexpr qint32 UnrecognisedMedia = code(0xC00D1B71); // not a media file we can read
inline constexpr qint32 NoEncoder = code(0xA04B0001);        // engine could not be created
inline constexpr qint32 NoSource = code(0xA04B0002);         // Start without a file source
inline constexpr qint32 NoProfile = code(0xA04B0003);        // Start without a profile
inline constexpr qint32 NoOutput = code(0xA04B0004);         // Start without an output file name
inline constexpr qint32 NoMatchingStreams = code(0xA04B0005); // input has none of the profile's streams
inline constexpr qint32 OutputIsInput = code(0xA04B0006);    // output path names the input file
inline constexpr qint32 DecodeFailed = code(0xA04B0007);     // input data corrupt past recovery
inline constexpr qint32 EncodeFailed = code(0xA04B0008);     // encoder or muxer refused the data
inline constexpr qint32 WriteFailed = code(0xA04B0009);      // other I/O error on the output
inline constexpr qint32 Stopped = code(0xA04B000A);          // job ended by Stop before it finished
inline constexpr qint32 Busy = code(0xA04B000B);             // Start while a job is running
inline constexpr qint32 InvalidArgument = code(0xA04B000C);  // bad index, media type or name
inline constexpr qint32 Internal = code(0xA04B000D);         // out of memory or similar
inline constexpr qint32 NothingEncoded = code(0xA04B000E);   // input yielded no media packet
inline constexpr qint32 UnsupportedFormat = code(0xA04B000F); // implausible rate, size or channel count
inline constexpr qint32 UnsupportedChannelLayout = code(0xA04B0010); // channels cannot be mixed down
inline constexpr qint32 NotRegularFile = code(0xA04B0011);   // input or output is a pipe, device, folder
inline constexpr qint32 OutputTypeMismatch = code(0xA04B0012); // output's extension cannot hold the profile's streams
inline constexpr qint32 PictureTooSmall = code(0xA04B0013);  // picture smaller than the video encoder takes
inline constexpr qint32 OutputShared = code(0xA04B0014);     // another job of the list writes the same output

// The standard description of a number, for callers that only kept the number.
QString describe(qint32 number);
} // namespace EngineError

// What every failing engine operation throws: a number the run can record and
// a text a dialog can show.
class EncoderFailure : public std::exception {
public:
    EncoderFailure(qint32 number, QString description);
    explicit EncoderFailure(qint32 number); // standard description

    qint32 number() const noexcept { return m_number; }
    const QString &description() const noexcept { return m_description; }
    const char *what() const noexcept override { return m_what.c_str(); }

private:
    qint32 m_number;
    QString m_description;
    std::string m_what;
};

} // namespace joblet
