#include "RunTally.h"

#include <QFileInfo>
#include <QObject>
#include <QStringList>

#include <algorithm>

namespace joblet {

void RunTally::add(int row, const QString &input, End end)
{
    m_ended.append({row, QFileInfo(input).fileName(), end});
}

int RunTally::count(End end) const
{
    if (end == End::NotReached)
        return std::max(0, m_rows - int(m_ended.size()));
    return int(std::count_if(m_ended.cbegin(), m_ended.cend(), [end](const Row &r) { return r.end == end; }));
}

QString RunTally::text() const
{
    // The rows that need the user's eye are named, so nobody has to count.
    const auto named = [this](End end) {
        QStringList names;
        for (const Row &r : m_ended) {
            if (r.end == end)
                names << QObject::tr("row %1 %2").arg(r.row).arg(r.file);
        }
        return names.join(QStringLiteral(", "));
    };
    QStringList parts {QObject::tr("%1 Done now").arg(count(End::DoneNow))};
    if (const int n = count(End::Skipped))
        parts << QObject::tr("%1 already Done (skipped)").arg(n);
    if (const int n = count(End::Failed))
        parts << QObject::tr("%1 failed (%2)").arg(n).arg(named(End::Failed));
    if (const int n = count(End::Stopped))
        parts << QObject::tr("%1 stopped (%2)").arg(n).arg(named(End::Stopped));
    if (const int n = count(End::NotReached))
        parts << QObject::tr("%1 not reached").arg(n);
    const QString list = parts.join(QStringLiteral(", "));
    return m_rows == 1 ? QObject::tr("1 row: %1").arg(list) : QObject::tr("%1 rows: %2").arg(m_rows).arg(list);
}

} // namespace joblet
