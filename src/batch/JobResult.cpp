#include "JobResult.h"

namespace joblet {

namespace {
const QString DoneText = QStringLiteral("Done");
} // namespace

QString resultText(qint32 number)
{
    return number == 0 ? DoneText : QStringLiteral("Error:") + QString::number(quint32(number), 16).toUpper();
}

ResultKind resultKind(const QString &text)
{
    if (text == DoneText)
        return ResultKind::Done;
    return text.isEmpty() ? ResultKind::NotRun : ResultKind::Failed;
}

QString betterResult(const QString &earlier, const QString &later)
{
    return resultKind(later) >= resultKind(earlier) ? later : earlier;
}

} // namespace joblet
