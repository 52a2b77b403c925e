#include "ResultStore.h"

#include <QFileInfo>
#include <QLockFile>

namespace joblet::batchcli {

namespace {

// Long enough for any other writer's read-and-replace of a full list.
constexpr int LockWaitMs = 120000;

bool samePath(const QString &a, const QString &b)
{
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

bool lockFor(QLockFile &lock, const QString &path, QString *error)
{
    if (lock.tryLock(LockWaitMs))
        return true;
    if (error)
        *error = QStringLiteral("%1: cannot take the lock %2")
                     .arg(path, ResultStore::lockPath(path));
    return false;
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
    if (samePath(m_listPath, m_target))
        return;
    // A results file left by an earlier run of the same jobs: resume from it.
    const auto earlier = ListDocument::read(m_target, nullptr);
    if (earlier && earlier->sameJobs(m_start)) {
        for (int row = 1; row <= m_start.count(); ++row)
            m_start.setResult(row, betterResult(m_start.result(row), earlier->result(row)));
    }
}

bool ResultStore::record(int row, const QString &result, QString *error)
{
    m_own.insert(row, result);
    return write(error);
}

bool ResultStore::write(QString *error)
{
    QLockFile lock(lockPath(m_target));
    if (!lockFor(lock, m_target, error))
        return false;

    // Read again under the lock: another shard may have written its rows.
    BatchListFile::Failure failure;
    const auto onDisk = ListDocument::read(m_target, &failure);
    ListDocument doc = m_start;
    if (onDisk && onDisk->sameJobs(m_start)) {
        doc = *onDisk;
    } else if (samePath(m_listPath, m_target)) {
        // Someone else's edit of the list itself is never overwritten.
        if (error)
            *error = onDisk ? QStringLiteral("%1: the list's jobs changed during the run").arg(m_target)
                            : QStringLiteral("%1: %2").arg(m_target, failure.text);
        return false;
    }
    for (auto it = m_own.cbegin(); it != m_own.cend(); ++it)
        doc.setResult(it.key(), it.value());
    QString why;
    if (!doc.save(m_target, &why)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(m_target, why);
        return false;
    }
    return true;
}

bool mergeResults(ListDocument &list, const QList<ListDocument> &others,
                  const QStringList &otherPaths, QString *error)
{
    for (qsizetype i = 0; i < others.size(); ++i) {
        int row = 0;
        if (!others[i].sameJobs(list, &row)) {
            if (error)
                *error = QStringLiteral("%1: line %2: not the same job as in the list")
                             .arg(otherPaths.value(i))
                             .arg(row);
            return false;
        }
    }
    for (int row = 1; row <= list.count(); ++row) {
        QString best = list.result(row);
        for (const ListDocument &other : others)
            best = betterResult(best, other.result(row));
        list.setResult(row, best);
    }
    return true;
}

bool writeMerged(ListDocument doc, const QString &path, QString *error)
{
    QLockFile lock(ResultStore::lockPath(path));
    if (!lockFor(lock, path, error))
        return false;
    const auto onDisk = ListDocument::read(path, nullptr);
    if (onDisk && onDisk->sameJobs(doc)) {
        for (int row = 1; row <= doc.count(); ++row)
            doc.setResult(row, betterResult(onDisk->result(row), doc.result(row)));
    }
    QString why;
    if (!doc.save(path, &why)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    }
    return true;
}

} // namespace joblet::batchcli
