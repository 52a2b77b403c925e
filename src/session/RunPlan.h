#pragma once

#include <QList>
#include <QString>

namespace joblet {

class BatchList;
class MediaCatalogue;

// The rows a run will encode, in run order, with their media lengths as far
// as they are known, so a run can say "job 2 of 5" and how long the rest takes.
class RunPlan {
public:
    struct Entry {
        int row = 0;
        QString input;
        qint64 durationUs = -1; // -1 not probed yet, 0 unknown
    };

    RunPlan() = default;
    explicit RunPlan(QList<Entry> entries) : m_entries(std::move(entries)) {}
    // The rows of `list` whose Result is not "Done".
    static RunPlan of(const BatchList &list);

    int count() const { return int(m_entries.size()); }
    // 1 for the plan's first row; 0 for a row it does not hold.
    int position(int row) const;
    QString input(int row) const;
    // The lengths of the rows after `row`, 0 where unknown.
    QList<qint64> durationsAfter(int row) const;
    // Probes the first row after `row` whose length was never asked for; one
    // at a time, so a long list never stalls the caller. False once none is left.
    // Through the catalogue, so a file the list check opened is not opened again.
    bool probeNext(const MediaCatalogue &catalogue, int row);

private:
    QList<Entry> m_entries;
};

} // namespace joblet
