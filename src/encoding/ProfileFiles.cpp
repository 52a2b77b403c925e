#include "ProfileCatalogue.h"

// The users' own profiles: `.jprofile` text files in the profile folders.

#include "fileio/RegularFile.h"
#include "fileio/TerminalText.h"

#include <QDir>
#include <QHash>
#include <QtDebug>

#include <algorithm>
#include <array>

namespace joblet {

namespace {

// Keys of a profile file, in the lower case they are compared in.
enum class Key { Name, Description, VideoWidth, VideoHeight, VideoFrameRate, VideoBitRate,
                 AudioSampleRate, AudioChannels, AudioBitRate,
                 Container, VideoCodec, AudioCodec, VideoQuality, VideoPreset, VideoMaxWidth, VideoMaxHeight };

const QHash<QString, Key> &keyTable()
{
    static const QHash<QString, Key> table = {
        {QStringLiteral("name"), Key::Name},
        {QStringLiteral("description"), Key::Description},
        {QStringLiteral("videowidth"), Key::VideoWidth},
        {QStringLiteral("videoheight"), Key::VideoHeight},
        {QStringLiteral("videoframerate"), Key::VideoFrameRate},
        {QStringLiteral("videobitrate"), Key::VideoBitRate},
        {QStringLiteral("audiosamplerate"), Key::AudioSampleRate},
        {QStringLiteral("audiochannels"), Key::AudioChannels},
        {QStringLiteral("audiobitrate"), Key::AudioBitRate},
        {QStringLiteral("container"), Key::Container},
        {QStringLiteral("videocodec"), Key::VideoCodec},
        {QStringLiteral("audiocodec"), Key::AudioCodec},
        {QStringLiteral("videoquality"), Key::VideoQuality},
        {QStringLiteral("videopreset"), Key::VideoPreset},
        {QStringLiteral("videomaxwidth"), Key::VideoMaxWidth},
        {QStringLiteral("videomaxheight"), Key::VideoMaxHeight},
    };
    return table;
}

struct Entry {
    QString key;   // as written, for messages
    QString value; // trimmed
    int line = 0;
};

// A profile is a few dozen short lines; anything near this is no profile.
constexpr qint64 MaxProfileBytes = 64 * 1024;

QString lineError(int line, const QString &reason)
{
    return QStringLiteral("line %1: %2").arg(line).arg(reason);
}

template<typename E>
struct Choice {
    const char *text; // as written in a profile file, lower case
    E value;
};

constexpr std::array<Choice<Container>, 7> Containers {{{"asf", Container::Asf}, {"mp4", Container::Mp4},
    {"mkv", Container::Matroska}, {"webm", Container::WebM}, {"ogg", Container::Ogg}, {"flac", Container::Flac},
    {"mp3", Container::Mp3}}};
constexpr std::array<Choice<VideoCodec>, 5> VideoCodecs {{{"wmv2", VideoCodec::Wmv2}, {"h264", VideoCodec::H264},
    {"h265", VideoCodec::H265}, {"av1", VideoCodec::Av1}, {"vp9", VideoCodec::Vp9}}};
constexpr std::array<Choice<AudioCodec>, 5> AudioCodecs {{{"wma2", AudioCodec::Wma2}, {"aac", AudioCodec::Aac},
    {"opus", AudioCodec::Opus}, {"flac", AudioCodec::Flac}, {"mp3", AudioCodec::Mp3}}};

template<typename E, std::size_t N>
QString allowed(const std::array<Choice<E>, N> &choices)
{
    QStringList names;
    for (const Choice<E> &c : choices)
        names << QLatin1String(c.text);
    return names.join(QStringLiteral(", "));
}

// The codecs a container gets when the file names none.
VideoCodec defaultVideo(Container c)
{
    switch (c) {
    case Container::Asf: return VideoCodec::Wmv2;
    case Container::WebM: return VideoCodec::Vp9;
    default: return VideoCodec::H264;
    }
}

AudioCodec defaultAudio(Container c)
{
    switch (c) {
    case Container::Asf: return AudioCodec::Wma2;
    case Container::Mp4: return AudioCodec::Aac;
    case Container::Flac: return AudioCodec::Flac;
    case Container::Mp3: return AudioCodec::Mp3;
    default: return AudioCodec::Opus;
    }
}

// The presets each encoder knows.
QStringList presetsOf(VideoCodec codec)
{
    switch (codec) {
    case VideoCodec::H264:
    case VideoCodec::H265:
        return {QStringLiteral("ultrafast"), QStringLiteral("superfast"), QStringLiteral("veryfast"),
                QStringLiteral("faster"), QStringLiteral("fast"), QStringLiteral("medium"), QStringLiteral("slow"),
                QStringLiteral("slower"), QStringLiteral("veryslow")};
    case VideoCodec::Av1: {
        QStringList n;
        for (int i = 0; i <= 13; ++i)
            n << QString::number(i);
        return n;
    }
    case VideoCodec::Vp9: {
        QStringList n;
        for (int i = 0; i <= 8; ++i)
            n << QString::number(i);
        return n;
    }
    case VideoCodec::Wmv2: break;
    }
    return {};
}

int maxQuality(VideoCodec codec)
{
    return codec == VideoCodec::Av1 || codec == VideoCodec::Vp9 ? 63 : 51;
}

} // namespace

QList<ProfileSettings> ProfileCatalogue::loadFolder(const QString &folder, QStringList *warnings)
{
    QList<ProfileSettings> result;
    const QDir dir(folder);
    if (!dir.exists())
        return result;
    const QStringList names = dir.entryList({QStringLiteral("*.jprofile")},
                                            QDir::Files, QDir::Name);
    for (const QString &name : names) {
        const QString path = QDir::toNativeSeparators(dir.filePath(name));
        QString error;
        std::optional<ProfileSettings> profile;
        // Whoever could plant a link to /dev/zero or a huge file there must
        // not make us read it.
        QString why;
        const std::optional<QByteArray> text = readRegularFile(dir.filePath(name), MaxProfileBytes, &why);
        if (!text)
            error = lineError(0, QStringLiteral("the file ") + why);
        else
            profile = parse(*text, &error);
        if (profile) {
            result << *profile;
            continue;
        }
        const QString message = QStringLiteral("Profile file %1 skipped, %2").arg(path, error);
        qWarning().noquote() << escapeControls(message);
        if (warnings)
            warnings->append(message);
    }
    return result;
}

std::optional<ProfileSettings> ProfileCatalogue::parse(const QByteArray &text, QString *error)
{
    auto fail = [error](int line, const QString &reason) -> std::optional<ProfileSettings> {
        if (error)
            *error = lineError(line, reason);
        return std::nullopt;
    };

    QString decoded = QString::fromLocal8Bit(text);
    if (decoded.startsWith(QChar(0xFEFF)))
        decoded.remove(0, 1); // editors that save a byte-order mark
    const QStringList lines = decoded.split(QLatin1Char('\n'));
    QHash<Key, Entry> entries;
    int lineNo = 0;
    for (const QString &raw : lines) {
        ++lineNo;
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            return fail(lineNo, QStringLiteral("'=' missing"));
        const QString key = line.left(eq).trimmed();
        const auto it = keyTable().constFind(key.toLower());
        if (it == keyTable().constEnd())
            return fail(lineNo, QStringLiteral("unknown key '%1'").arg(key));
        if (entries.contains(*it))
            return fail(lineNo, QStringLiteral("key '%1' given twice").arg(key));
        entries.insert(*it, Entry{key, line.mid(eq + 1).trimmed(), lineNo});
    }
    // Whole-file problems are reported at the last line.
    int endLine = int(lines.size());
    if (endLine > 1 && lines.last().isEmpty())
        --endLine; // the text ended with a line break

    ProfileSettings p;
    p.name = entries.value(Key::Name).value;
    if (p.name.isEmpty())
        return fail(entries.contains(Key::Name) ? entries.value(Key::Name).line : endLine,
                    QStringLiteral("Name missing or empty"));
    p.description = entries.value(Key::Description).value;

    // Reads one number key and checks it with `valid`; false with reason set.
    QString reason;
    int reasonLine = 0;
    auto number = [&](Key key, const char *keyName, int &out, auto valid, const char *rule) {
        if (!entries.contains(key)) {
            reason = QStringLiteral("%1 missing").arg(QLatin1String(keyName));
            reasonLine = endLine;
            return false;
        }
        const Entry e = entries.value(key);
        bool ok = false;
        out = e.value.toInt(&ok);
        if (!ok) {
            reason = QStringLiteral("'%1' is not a whole number").arg(e.value);
            reasonLine = e.line;
            return false;
        }
        if (!valid(out)) {
            reason = QStringLiteral("%1 %2 out of range: %3")
                         .arg(e.key).arg(out).arg(QLatin1String(rule));
            reasonLine = e.line;
            return false;
        }
        return true;
    };

    // Reads one named value among `choices`; absent leaves `out` as it is.
    auto choose = [&](Key key, const auto &choices, auto &out) {
        if (!entries.contains(key))
            return true;
        const Entry e = entries.value(key);
        for (const auto &c : choices) {
            if (e.value.compare(QLatin1String(c.text), Qt::CaseInsensitive) == 0) {
                out = c.value;
                return true;
            }
        }
        reason = QStringLiteral("%1 '%2' is not one of: %3").arg(e.key, e.value, allowed(choices));
        reasonLine = e.line;
        return false;
    };
    // An optional number: absent leaves `out` at 0.
    auto optionalNumber = [&](Key key, const char *keyName, int &out, auto valid, const char *rule) {
        return !entries.contains(key) || number(key, keyName, out, valid, rule);
    };

    Container container = Container::Asf;
    if (!choose(Key::Container, Containers, container))
        return fail(reasonLine, reason);
    if (container != Container::Asf) {
        p.container = container;
        VideoSettings &v = p.video;
        AudioSettings &a = p.audio;
        v.codec = defaultVideo(container);
        a.codec = defaultAudio(container);
        for (const Key k : {Key::VideoWidth, Key::VideoHeight}) {
            if (entries.contains(k)) {
                const Entry e = entries.value(k);
                return fail(e.line, QStringLiteral("%1 is for Container asf; use VideoMaxWidth and VideoMaxHeight")
                                        .arg(e.key));
            }
        }
        const bool anyVideo = entries.contains(Key::VideoCodec) || entries.contains(Key::VideoQuality)
            || entries.contains(Key::VideoBitRate) || entries.contains(Key::VideoPreset)
            || entries.contains(Key::VideoMaxWidth) || entries.contains(Key::VideoMaxHeight)
            || entries.contains(Key::VideoFrameRate);
        if (anyVideo) {
            auto box = [](int n) { return n >= 16 && n <= 8192 && n % 2 == 0; };
            if (!choose(Key::VideoCodec, VideoCodecs, v.codec) || v.codec == VideoCodec::Wmv2) {
                if (v.codec == VideoCodec::Wmv2) {
                    reason = QStringLiteral("VideoCodec wmv2 needs Container asf");
                    reasonLine = entries.value(Key::VideoCodec).line;
                }
                return fail(reasonLine, reason);
            }
            const Entry q = entries.value(Key::VideoQuality);
            const bool ok = optionalNumber(Key::VideoMaxWidth, "VideoMaxWidth", v.maxWidth, box, "even, 16 to 8192")
                && optionalNumber(Key::VideoMaxHeight, "VideoMaxHeight", v.maxHeight, box, "even, 16 to 8192")
                && optionalNumber(Key::VideoFrameRate, "VideoFrameRate", v.frameRate,
                                  [](int n) { return n >= 1 && n <= 120; }, "1 to 120")
                && optionalNumber(Key::VideoQuality, "VideoQuality", v.quality,
                                  [&](int n) { return n >= 1 && n <= maxQuality(v.codec); },
                                  maxQuality(v.codec) == 63 ? "1 to 63" : "1 to 51")
                && optionalNumber(Key::VideoBitRate, "VideoBitRate", v.bitRate,
                                  [](int n) { return n >= 16000 && n <= 100000000; }, "16000 to 100000000");
            if (!ok)
                return fail(reasonLine, reason);
            if ((v.quality > 0) == (v.bitRate > 0))
                return fail(v.quality > 0 ? q.line : endLine,
                            QStringLiteral("give either VideoQuality or VideoBitRate"));
            if (entries.contains(Key::VideoPreset)) {
                const Entry e = entries.value(Key::VideoPreset);
                const QStringList presets = presetsOf(v.codec);
                if (!presets.contains(e.value.toLower()))
                    return fail(e.line, QStringLiteral("VideoPreset '%1' is not one of: %2")
                                            .arg(e.value, presets.join(QStringLiteral(", "))));
                v.preset = e.value.toLower();
            }
        }
        const bool anyAudio = entries.contains(Key::AudioCodec) || entries.contains(Key::AudioBitRate)
            || entries.contains(Key::AudioSampleRate) || entries.contains(Key::AudioChannels)
            || (!anyVideo && (container == Container::Flac || container == Container::Mp3 || container == Container::Ogg));
        if (anyAudio) {
            static constexpr std::array rates {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 96000};
            if (!choose(Key::AudioCodec, AudioCodecs, a.codec))
                return fail(reasonLine, reason);
            if (a.codec == AudioCodec::Wma2)
                return fail(entries.value(Key::AudioCodec).line, QStringLiteral("AudioCodec wma2 needs Container asf"));
            const bool lossless = a.codec == AudioCodec::Flac;
            const bool ok = optionalNumber(Key::AudioSampleRate, "AudioSampleRate", a.sampleRate,
                                           [](int n) { return std::find(rates.begin(), rates.end(), n) != rates.end(); },
                                           "8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000 or 96000")
                && optionalNumber(Key::AudioChannels, "AudioChannels", a.channels,
                                  [](int n) { return n == 1 || n == 2; }, "1 or 2")
                && (lossless ? !entries.contains(Key::AudioBitRate) || number(Key::AudioBitRate, "AudioBitRate", a.bitRate,
                                   [](int) { return false; }, "none for flac")
                             : number(Key::AudioBitRate, "AudioBitRate", a.bitRate,
                                      [](int n) { return n >= 24000 && n <= 320000; }, "24000 to 320000"));
            if (!ok)
                return fail(reasonLine, reason);
        }
        if (!anyVideo && !anyAudio)
            return fail(endLine, QStringLiteral("neither audio nor video settings"));
        if (!p.codecsFitContainer()) {
            const Entry c = entries.value(Key::Container);
            return fail(c.line, QStringLiteral("Container %1 cannot hold these codecs").arg(c.value));
        }
        return p;
    }
    for (const Key k : {Key::VideoCodec, Key::AudioCodec, Key::VideoQuality, Key::VideoPreset, Key::VideoMaxWidth,
                        Key::VideoMaxHeight}) {
        if (entries.contains(k)) {
            const Entry e = entries.value(k);
            return fail(e.line, QStringLiteral("%1 needs a Container other than asf (%2)").arg(e.key, allowed(Containers)));
        }
    }

    auto size = [](int v) { return v >= 16 && v <= 4096 && v % 2 == 0; };
    const bool anyVideo = entries.contains(Key::VideoWidth) || entries.contains(Key::VideoHeight)
        || entries.contains(Key::VideoFrameRate) || entries.contains(Key::VideoBitRate);
    if (anyVideo) {
        VideoSettings &v = p.video;
        const bool ok = number(Key::VideoWidth, "VideoWidth", v.width, size, "even, 16 to 4096")
            && number(Key::VideoHeight, "VideoHeight", v.height, size, "even, 16 to 4096")
            && number(Key::VideoFrameRate, "VideoFrameRate", v.frameRate,
                      [](int n) { return n >= 1 && n <= 60; }, "1 to 60")
            && number(Key::VideoBitRate, "VideoBitRate", v.bitRate,
                      [](int n) { return n >= 16000 && n <= 20000000; }, "16000 to 20000000");
        if (!ok)
            return fail(reasonLine, reason);
    }

    const bool anyAudio = entries.contains(Key::AudioSampleRate)
        || entries.contains(Key::AudioChannels) || entries.contains(Key::AudioBitRate);
    if (anyAudio) {
        static constexpr std::array rates{8000, 11025, 16000, 22050, 32000, 44100, 48000};
        AudioSettings &a = p.audio;
        // The bit-rate range is what the audio encoder accepts.
        const bool ok = number(Key::AudioSampleRate, "AudioSampleRate", a.sampleRate,
                               [](int n) { return std::find(rates.begin(), rates.end(), n) != rates.end(); },
                               "8000, 11025, 16000, 22050, 32000, 44100 or 48000")
            && number(Key::AudioChannels, "AudioChannels", a.channels,
                      [](int n) { return n == 1 || n == 2; }, "1 or 2")
            && number(Key::AudioBitRate, "AudioBitRate", a.bitRate,
                      [](int n) { return n >= 24000 && n <= 320000; }, "24000 to 320000");
        if (!ok)
            return fail(reasonLine, reason);
    }

    if (!anyVideo && !anyAudio)
        return fail(endLine, QStringLiteral("neither audio nor video settings"));
    return p;
}

} // namespace joblet
