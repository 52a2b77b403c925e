#include "OutputNaming.h"

#include "encoding/EncoderProfile.h"

#include <QDir>
#include <QFileInfo>

namespace joblet::OutputNaming {

QString fromMedia(const QString &input, int audioCount, int videoCount)
{
    const qsizetype dot = input.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot < 0 ? input : input.left(dot);
    return stem + (audioCount >= 1 && videoCount == 0 ? QStringLiteral(".wma")
                                                      : QStringLiteral(".wmv"));
}

QString fromBrowse(const QString &input)
{
    return input.size() < 3 ? QString() : input.left(input.size() - 3) + QStringLiteral("wmv");
}

QString fromHandOff(const QString &input)
{
    if (input.right(3).compare(QLatin1String("wma"), Qt::CaseInsensitive) == 0)
        return input + QStringLiteral("_1.wma");
    // Shorter than three characters: the whole text goes, as the rule cuts.
    return input.size() < 3 ? QStringLiteral("wmv") : fromBrowse(input);
}

namespace {

// `path` is where the name goes (the input, or its name in another folder);
// "_1" is only for a name that would be the input itself.
QString withExtension(const QString &path, const QString &extension, const QString &input)
{
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    // A dot in a folder name is not the file's.
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString stem = dot < 0 || dot < slash ? path : path.left(dot);
    const QString name = stem + extension;
    return name.compare(input, Qt::CaseInsensitive) == 0 ? stem + QStringLiteral("_1") + extension : name;
}

QString withExtension(const QString &input, const QString &extension)
{
    return withExtension(input, extension, input);
}

} // namespace

QString fromMedia(const QString &input, int audioCount, int videoCount, const ProfileSettings &profile)
{
    if (profile.container == Container::Asf)
        return fromMedia(input, audioCount, videoCount);
    return withExtension(input, profile.extension());
}

QString fromMedia(const QString &input, int audioCount, int videoCount, const ProfileSettings &profile,
                  const QString &folder)
{
    if (folder.isEmpty())
        return fromMedia(input, audioCount, videoCount, profile);
    const QString moved = QDir(folder).absoluteFilePath(QFileInfo(input).fileName());
    if (profile.container == Container::Asf)
        return fromMedia(moved, audioCount, videoCount);
    return withExtension(moved, profile.extension(), QFileInfo(input).absoluteFilePath());
}

QString fromBrowse(const QString &input, const ProfileSettings &profile)
{
    if (profile.container == Container::Asf)
        return fromBrowse(input);
    return input.isEmpty() ? QString() : withExtension(input, profile.extension());
}

QString fromHandOff(const QString &input, const ProfileSettings &profile)
{
    if (profile.container == Container::Asf)
        return fromHandOff(input);
    return withExtension(input, profile.extension());
}

QString place(const QString &path)
{
    const QFileInfo info(path);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : folder + u'/' + info.fileName();
}

QString refusal(const ProfileSettings &profile, const QString &output)
{
    return outputMismatch(profile, output);
}

} // namespace joblet::OutputNaming
