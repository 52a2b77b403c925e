#include "ResultStore.h"
#include "fileio/Text.h"

#include "batch/JobResult.h"
#include "fileio/SafeSave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

namespace joblet::batchcli {

namespace {

// Long enough for any other writer's fold of a full list.
constexpr int LockWaitMs = 120000;

bool samePath(const QString &a, const QString &b)
{
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

// Takes the lock, or says why not: a missing or read-only folder is named
// as such, not hidden behind the lock.
bool lockFor(QLockFile &lock, const QString &path, QString *error)
{
    const QFileInfo folder(QFileInfo(path).absolutePath());
    if (!folder.isDir())
        return failWith(error, QStringLiteral("%1: the folder %2 does not exist").arg(path, folder.filePath()));
    if (lock.tryLock(LockWaitMs))
        return true;
    const QString lockFile = ResultStore::lockPath(path);
    switch (lock.error()) {
    case QLockFile::PermissionError:
        return failWith(error, QStringLiteral("%1: the folder %2 is not writable (cannot create %3)")
                               .arg(path, folder.filePath(), lockFile));
    case QLockFile::LockFailedError:
        return failWith(error, QStringLiteral("%1: another writer has held the lock %2 for %3 s")
                               .arg(path, lockFile)
                               .arg(LockWaitMs / 1000));
    default:
        return failWith(error, QStringLiteral("%1: cannot take the lock %2").arg(path, lockFile));
    }
}

void removeAll(const QStringList &paths)
{
    for (const QString &path : paths)
        QFile::remove(path);
}

} // namespace

QString ResultStore::lockPath(const QString &path)
{
    return path + QStringLiteral(".lock");
}

ResultStore::ResultStore(ListDocument list, QString listPath, QString target)
    : m_start(std::move(list))
    , m_listPath(std::move(listPath))
    , m_target(target.isEmpty() ? m_listPath : std::move(target))
{
}

bool ResultStore::open(QString *error)
{
    QLockFile lock(lockPath(m_target));
    if (!lockFor(lock, m_target, error))
        return false;
    // Whatever a kill left of a save of this file: under the lock no save
    // is under way.
    fileio::removeSafeSaveLeftovers(m_target);

    // Read under the lock: another shard may have folded its rows, or an
    // earlier run of the same jobs left a results file to resume from.
    const auto onDisk = ListDocument::read(m_target, nullptr);
    const bool sameJobs = onDisk && onDisk->sameJobs(m_start);
    if (!sameJobs && samePath(m_listPath, m_target))
        return failWith(error, QStringLiteral("%1: the list changed while it was read").arg(m_target));
    if (sameJobs) {
        for (int row = 1; row <= m_start.count(); ++row)
            m_start.setResult(row, betterResult(m_start.result(row), onDisk->result(row)));
    }
    // Journals of runs killed before they folded go into the file now, so
    // that this run's journal never has to carry them.
    const QStringList ended = ResultJournal::foldInto(m_start, m_target);
    // A results file made now is a file a merge finds even if this run is
    // killed before it folds.
    if (!ended.isEmpty() || !onDisk) {
        QString why;
        if (!m_start.save(m_target, &why))
            return failWith(error, QStringLiteral("%1: %2").arg(m_target, why));
        removeAll(ended);
    }
    return m_journal.create(m_target, error);
}

bool ResultStore::record(int row, const QString &result, QString *error)
{
    if (!m_start.fits(row, result))
        return failWith(error, QStringLiteral("row %1: the Result \"%2\" would make its line longer than %3 "
                                          "characters; it is not stored")
                               .arg(row)
                               .arg(result)
                               .arg(BatchListFile::MaxLineChars));
    return m_journal.append(row, m_start.fields(row), result, error);
}

bool ResultStore::fold(QString *error)
{
    QString why;
    if (!m_journal.sync(&why))
        return failWith(error, why);
    QLockFile lock(lockPath(m_target));
    if (!lockFor(lock, m_target, error))
        return false;

    // Read again under the lock: another shard may have folded its rows.
    BatchListFile::Failure failure;
    const auto onDisk = ListDocument::read(m_target, &failure);
    ListDocument doc = m_start;
    if (onDisk && onDisk->sameJobs(m_start)) {
        doc = *onDisk;
    } else if (samePath(m_listPath, m_target)) {
        // Someone else's edit of the list itself is never overwritten.
        return failWith(error, onDisk ? QStringLiteral("%1: the list's jobs changed during the run; its Results "
                                                   "stay in %2")
                                        .arg(m_target, m_journal.path())
                                  : QStringLiteral("%1: %2").arg(m_target, failure.text));
    }
    const QStringList ended = ResultJournal::foldInto(doc, m_target);
    if (!doc.save(m_target, &why))
        return failWith(error, QStringLiteral("%1: %2").arg(m_target, why));
    removeAll(ended);
    m_journal.remove();
    return true;
}

bool mergeResults(ListDocument &list, const QList<ListDocument> &others,
                  const QStringList &otherPaths, QString *error)
{
    for (qsizetype i = 0; i < others.size(); ++i) {
        int row = 0;
        if (!others[i].sameJobs(list, &row))
            return failWith(error, QStringLiteral("%1: line %2: not the same job as in the list")
                                   .arg(otherPaths.value(i))
                                   .arg(row));
    }
    for (int row = 1; row <= list.count(); ++row) {
        QString best = list.result(row);
        for (const ListDocument &other : others)
            best = betterResult(best, other.result(row));
        list.setResult(row, best);
    }
    return true;
}

std::optional<ListDocument> readWithJournals(const QString &path, BatchListFile::Failure *failure)
{
    auto doc = ListDocument::read(path, failure);
    if (doc)
        ResultJournal::foldInto(*doc, path);
    return doc;
}

bool writeMerged(ListDocument doc, const QString &path, QString *error)
{
    QLockFile lock(ResultStore::lockPath(path));
    if (!lockFor(lock, path, error))
        return false;
    fileio::removeSafeSaveLeftovers(path);
    QStringList ended;
    if (auto onDisk = ListDocument::read(path, nullptr); onDisk && onDisk->sameJobs(doc)) {
        ended = ResultJournal::foldInto(*onDisk, path);
        for (int row = 1; row <= doc.count(); ++row)
            doc.setResult(row, betterResult(onDisk->result(row), doc.result(row)));
    }
    QString why;
    if (!doc.save(path, &why))
        return failWith(error, QStringLiteral("%1: %2").arg(path, why));
    removeAll(ended);
    return true;
}

} // namespace joblet::batchcli
