#include "RunPlan.h"

#include "batch/BatchList.h"
#include "batch/JobResult.h"
#include "encoding/MediaCatalogue.h"
#include "encoding/EncoderFailure.h"

#include <algorithm>

namespace joblet {

RunPlan RunPlan::of(const BatchList &list)
{
    QList<Entry> entries;
    for (int row = 1; row <= list.count(); ++row) {
        if (!isDone(list.cell(row, BatchItem::ResultKey)))
            entries.append({row, list.item(row).inputFile});
    }
    return RunPlan(std::move(entries));
}

int RunPlan::position(int row) const
{
    const auto it = std::find_if(m_entries.cbegin(), m_entries.cend(), [row](const Entry &e) { return e.row == row; });
    return it == m_entries.cend() ? 0 : int(it - m_entries.cbegin()) + 1;
}

QString RunPlan::input(int row) const
{
    const int at = position(row);
    return at == 0 ? QString() : m_entries.at(at - 1).input;
}

QList<qint64> RunPlan::durationsAfter(int row) const
{
    QList<qint64> durations;
    for (qsizetype i = position(row); i < m_entries.size(); ++i)
        durations.append(std::max<qint64>(m_entries.at(i).durationUs, 0));
    return durations;
}

bool RunPlan::probeNext(const MediaCatalogue &catalogue, int row)
{
    for (qsizetype i = position(row); i < m_entries.size(); ++i) {
        Entry &entry = m_entries[i];
        if (entry.durationUs >= 0)
            continue;
        try {
            entry.durationUs = std::max<qint64>(catalogue.probe(entry.input).durationUs, 0);
        } catch (const EncoderFailure &) {
            entry.durationUs = 0; // the job itself will say what is wrong
        }
        return true;
    }
    return false;
}

} // namespace joblet
