#include "ProfileCatalogue.h"

#include "EngineFactory.h"
#include "SourceGroup.h"

#include "fileio/RegularFile.h"
#include "fileio/TerminalText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QStandardPaths>
#include <QtDebug>

#include <algorithm>
#include <array>

namespace joblet {

namespace {

ProfileSettings makeProfile(const char *name, const char *description, VideoSettings video,
                            AudioSettings audio)
{
    ProfileSettings p;
    p.name = QString::fromLatin1(name);
    p.description = QString::fromLatin1(description);
    p.video = video;
    p.audio = audio;
    return p;
}

// Keys of a profile file, in the lower case they are compared in.
enum class Key { Name, Description, VideoWidth, VideoHeight, VideoFrameRate, VideoBitRate,
                 AudioSampleRate, AudioChannels, AudioBitRate };

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

} // namespace

QList<ProfileSettings> ProfileCatalogue::builtIn()
{
    return {
        makeProfile("Qimto Clipwright 320X240", "Video for the web at 320x240, stereo sound.",
                    {320, 240, 30, 512000}, {44100, 2, 64000}),
        makeProfile("Qimto Clipwright 640X480", "Full-screen video at 640x480, stereo sound.",
                    {640, 480, 30, 1500000}, {44100, 2, 128000}),
        makeProfile("Qimto Clipwright 176X144", "Small video for phones at 176x144, mono sound.",
                    {176, 144, 15, 160000}, {22050, 1, 32000}),
        makeProfile("Qimto Audio 128K Stereo", "Near-CD quality stereo audio.", {},
                    {44100, 2, 128000}),
        makeProfile("Qimto Audio 64K Stereo", "Stereo audio for streaming.", {}, {44100, 2, 64000}),
        makeProfile("Qimto Audio 32K Mono", "Mono speech audio.", {}, {22050, 1, 32000}),
        makeProfile("Qimto Video Only 320X240", "Video at 320x240 without sound.",
                    {320, 240, 30, 512000}, {}),
    };
}

QStringList ProfileCatalogue::folders(const QString &programFolder)
{
    QStringList result;
    // Empty when there is no home folder; "/joblet/profiles" is not ours to read.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!data.isEmpty())
        result << data + QStringLiteral("/joblet/profiles");
    if (!programFolder.isEmpty())
        result << programFolder + QStringLiteral("/profiles");
    return result;
}

QList<EncoderProfile> ProfileCatalogue::installed(const QStringList &folders,
                                                  QStringList *warnings)
{
    QList<EncoderProfile> result;
    for (ProfileSettings &p : builtIn())
        result << EncoderProfile(std::move(p));
    for (const QString &folder : folders) {
        for (ProfileSettings &p : loadFolder(folder, warnings))
            result << EncoderProfile(std::move(p));
    }
    return result;
}

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

ProfileChoice profileChoice(const ProfileCollection &profiles)
{
    ProfileChoice choice;
    for (const EncoderProfile &p : profiles)
        choice.names << p.Name();
    if (choice.names.contains(DefaultProfileName, Qt::CaseSensitive))
        choice.current = DefaultProfileName;
    else if (!choice.names.isEmpty())
        choice.current = choice.names.first();
    return choice;
}

ProfileChoice profileChoice(const EngineFactory &engines)
{
    try {
        const std::unique_ptr<EncoderEngine> engine = engines.create();
        return profileChoice(engine->ProfileCollection());
    } catch (...) {
        // No engine means nothing to choose from; the caller shows an empty list.
        return {};
    }
}

int GetProfile(const QString &profile, std::optional<EncoderProfile> &found,
               const ProfileCollection &profiles, SourceGroup &group)
{
    try {
        const QString wanted = profile.toUpper();
        for (const EncoderProfile &p : profiles) {
            if (p.Name().toUpper() == wanted) {
                group.setProfile(p);
                found = p;
                return 0;
            }
        }
    } catch (...) {
    }
    return 1;
}

} // namespace joblet
