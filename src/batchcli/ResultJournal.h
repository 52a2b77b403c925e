#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

namespace joblet::batchcli {

class ListDocument;

// One process's append-only record of the Results it found, beside the file
// they belong to: ".LIST.jlt.<host>-<pid>-<random>.journal", one line per
// Result ("row;job key;Result" and CR LF) put in one write(), so a kill at
// any moment loses no Result whose write returned. Synced to the disk in
// groups. The owner holds an flock on it for its life, so another process
// can tell a journal left by a dead run (lock free) from a live one.
//
// Journals are folded into the file they belong to at the end of a run, at
// the start of the next one and by `merge`; each process writes only its own
// journal, so several shards on one list (even over a network folder) never
// write into one file at the same time.
class ResultJournal {
public:
    ResultJournal() = default;
    ~ResultJournal();
    ResultJournal(const ResultJournal &) = delete;
    ResultJournal &operator=(const ResultJournal &) = delete;

    // Creates this process's journal for `target`; false with *error.
    bool create(const QString &target, QString *error);
    bool isOpen() const { return m_fd >= 0; }
    const QString &path() const { return m_path; }

    // Appends the row's Result for the job `fields` (its line through the
    // third ';'); false with *error when it was not written whole.
    bool append(int row, const QByteArray &fields, const QString &result, QString *error);
    // Syncs what is written; false with *error.
    bool sync(QString *error);
    // Closes and deletes it (after its Results were folded).
    void remove();

    // Puts into `doc` the Results of every journal of `target` whose row
    // still holds the same job. Returns the journals whose owner has ended:
    // the caller removes them once the folded file is written.
    static QStringList foldInto(ListDocument &doc, const QString &target);
    // Whether `entry` in the folder of `target` is one of its journals.
    static bool isJournalOf(const QString &entry, const QString &targetName);
    // A stable key of a job's fields, the same on every machine.
    static QByteArray jobKey(const QByteArray &fields);

private:
    int m_fd = -1;
    QString m_path;
    qint64 m_size = 0;
    bool m_torn = false;
    int m_unsynced = 0;
    QElapsedTimer m_sinceSync;
};

} // namespace joblet::batchcli
