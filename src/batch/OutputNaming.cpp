#include "OutputNaming.h"

#include "encoding/EncoderProfile.h"

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

QString withExtension(const QString &input, const QString &extension)
{
    const qsizetype dot = input.lastIndexOf(QLatin1Char('.'));
    // A dot in a folder name is not the file's.
    const qsizetype slash = input.lastIndexOf(QLatin1Char('/'));
    const QString stem = dot < 0 || dot < slash ? input : input.left(dot);
    const QString name = stem + extension;
    return name.compare(input, Qt::CaseInsensitive) == 0 ? stem + QStringLiteral("_1") + extension : name;
}

} // namespace

QString fromMedia(const QString &input, int audioCount, int videoCount, const ProfileSettings &profile)
{
    if (profile.container == Container::Asf)
        return fromMedia(input, audioCount, videoCount);
    return withExtension(input, profile.extension());
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

QString refusal(const ProfileSettings &profile, const QString &output)
{
    return outputMismatch(profile, output);
}

} // namespace joblet::OutputNaming
