#pragma once

#include "BatchItem.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <optional>

namespace joblet {

class BatchList;

// Keeps a copy of a list, with its Results, in a file that a crash, a kill or
// a power cut leaves behind, so that the next start can offer the list back.
//
// Every change of the list asks for a write; the writes of one pass of the
// event loop become one, and the file is formatted and replaced on a thread
// of its own, so neither a job's end nor an edit waits for the disk. The
// list is read on the GUI thread only (a snapshot), the thread sees copies.
//
// The file is a list file whose lines carry the Result after the third ';',
// as the command-line runner writes Results into a list.
class RecoveryFile : public QObject {
    Q_OBJECT

public:
    // A file larger than this is no recovery file of ours and is not read.
    static constexpr qint64 MaxBytes = qint64(64) << 20;

    // Reads what an earlier session left in `path` (see carriedOver()); the
    // first write follows the list's first change.
    RecoveryFile(BatchList &list, QString path, QObject *parent = nullptr);
    // Waits for a write under way, so the file is whole.
    ~RecoveryFile() override;

    const QString &path() const { return m_path; }

    // Rows left by a session that did not close normally, with their Results.
    // Until dropCarriedOver() they are written ahead of the list's own rows,
    // so they are not lost to a session that does not ask about them.
    const QList<BatchItem> &carriedOver() const { return m_carried; }
    // The question about them is answered: from now on the file holds the
    // list alone.
    void dropCarriedOver();

    // Writes the list now and waits for the file: for an end by a signal.
    void flush();
    // The window closed normally: nothing of this session is to be offered,
    // so the file goes (or keeps only the rows still carried over).
    void closeNormally();

    // The file's rows, or nullopt when it is missing, not a regular file,
    // too large or not a list.
    static std::optional<QList<BatchItem>> read(const QString &path);
    static QByteArray format(const QList<BatchItem> &items);
    // Replaces `path` with `items` (removes it for none). False on failure.
    static bool write(const QString &path, const QList<BatchItem> &items);

private:
    void schedule();
    void writeSnapshot();

    BatchList &m_list;
    QString m_path;
    QList<BatchItem> m_carried;
    QTimer m_coalesce;
    QThreadPool m_writer;
    // Only the newest queued snapshot is written; older ones are skipped.
    std::atomic<quint64> m_newest{0};
};

} // namespace joblet
