// Stand-in for the shared naming rule until it is merged in from batch/.
#include <QString>

namespace joblet::OutputNaming {

QString fromHandOff(const QString &input);

QString fromHandOff(const QString &input)
{
    if (input.right(3).compare(QLatin1String("wma"), Qt::CaseInsensitive) == 0)
        return input + QStringLiteral("_1.wma");
    return input.left(qMax<qsizetype>(0, input.size() - 3)) + QStringLiteral("wmv");
}

} // namespace joblet::OutputNaming
