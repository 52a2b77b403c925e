#pragma once

#include "ListDocument.h"

#include <QMap>
#include <QString>

namespace joblet::batchcli {

// Writes a run's Results into a list file as its jobs end, so that at any
// moment the file on disk is whole and holds every Result known so far.
//
// Several processes may write the same file (shards of one list): each write
// takes a lock beside the file, reads the file again, puts in this run's own
// rows and replaces the file, so no writer loses another's rows.
class ResultStore {
public:
    // `list` is the list as read at the start; `target` the file written:
    // the list itself or a separate results file. A separate file that does
    // not hold the same jobs is replaced by the list with this run's Results.
    ResultStore(ListDocument list, QString listPath, QString target);

    const QString &target() const { return m_target; }
    // The Results the run starts from: the list's, improved by those already
    // in a separate results file holding the same jobs.
    const ListDocument &start() const { return m_start; }

    // Records the row's Result and writes the file; false with *error when
    // the file could not be written (the Result stays recorded for the next
    // write).
    bool record(int row, const QString &result, QString *error);
    // Writes the recorded Results again.
    bool write(QString *error);

    // Lock file of `path`, taken by every writer.
    static QString lockPath(const QString &path);

private:
    ListDocument m_start;
    QString m_listPath;
    QString m_target;
    QMap<int, QString> m_own;
};

// `merge`: each row's best Result over `list` and `others` (in order, later
// wins a tie). Every other list must hold the same jobs; otherwise false with
// *error naming the file and its first differing line.
bool mergeResults(ListDocument &list, const QList<ListDocument> &others,
                  const QStringList &otherPaths, QString *error);

// Writes `doc` to `path` under the writers' lock; when the file there holds
// the same jobs, its Results count too (they may be newer).
bool writeMerged(ListDocument doc, const QString &path, QString *error);

} // namespace joblet::batchcli
