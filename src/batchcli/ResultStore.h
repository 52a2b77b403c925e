#pragma once

#include "ListDocument.h"
#include "ResultJournal.h"

#include <QString>

namespace joblet::batchcli {

// Keeps a run's Results: each one is appended to this process's journal as
// its job ends (constant cost, whatever the list's length), and the journals
// are folded into the list file (or the separate results file) under the
// writers' lock when the run ends, when the next run starts and by `merge`.
// The file itself is only ever replaced whole, so a kill at any moment
// leaves it whole, and every finished row's Result is in it or in a journal
// beside it.
class ResultStore {
public:
    // `list` is the list as read at the start; `target` the file written:
    // the list itself or a separate results file. A separate file that does
    // not hold the same jobs is replaced by the list with this run's Results.
    ResultStore(ListDocument list, QString listPath, QString target);

    const QString &target() const { return m_target; }
    // The Results the run starts from: the list's, improved by those of an
    // earlier results file of the same jobs and by every journal's.
    const ListDocument &start() const { return m_start; }

    // Before any job: takes the lock, folds the journals of runs that ended
    // without folding (writing the file when there were any), and creates
    // this run's journal. False with *error naming the cause.
    bool open(QString *error);
    // Appends the row's Result to the journal; false with *error when it
    // cannot be stored (not written, or its line would grow too long).
    bool record(int row, const QString &result, QString *error);
    // Writes the file with every journal's Results and removes the journals
    // whose owners have ended, this run's included. On failure the journal
    // stays, so the next run or `merge` still has the Results.
    bool fold(QString *error);

    // Lock file of `path`, taken by every writer.
    static QString lockPath(const QString &path);

private:
    ListDocument m_start;
    QString m_listPath;
    QString m_target;
    ResultJournal m_journal;
};

// `merge`: each row's best Result over `list` and `others` (in order, later
// wins a tie). Every other list must hold the same jobs; otherwise false with
// *error naming the file and its first differing line.
bool mergeResults(ListDocument &list, const QList<ListDocument> &others,
                  const QStringList &otherPaths, QString *error);

// Reads a list file with the Results of its journals.
std::optional<ListDocument> readWithJournals(const QString &path, BatchListFile::Failure *failure);

// Writes `doc` to `path` under the writers' lock; when the file there holds
// the same jobs, its Results and its journals' count too (they may be newer).
bool writeMerged(ListDocument doc, const QString &path, QString *error);

} // namespace joblet::batchcli
