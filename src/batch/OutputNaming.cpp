#include "OutputNaming.h"

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

} // namespace joblet::OutputNaming
