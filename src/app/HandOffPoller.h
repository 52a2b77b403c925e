#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>

namespace joblet {

// Takes the paths other programs append to the hand-off file and adds one
// job per path not yet in the list. Widget-free: its owner (HandOffIntake)
// hands in the list's rows and its way of adding a job.
//
// No completed line is lost to a writer that appends while a tick reads: a
// tick first claims the file by renaming it to a private name beside it
// (".tonvel.lst.taken"), so later writers start a new file. A writer that
// opened the file before the rename still appends to the claimed copy, so
// the copy is read on from where the last tick stopped and deleted only
// once it has had no write for the quiet period; a last line without its end
// is taken only then, so a line still being written never becomes a job.
//
// Only a regular file of the user's, that no one else may write to, is
// taken; links are not followed and pipes not waited on.
class HandOffPoller {
public:
    using InputsSource = std::function<QStringList()>;
    // Adds the job; true when a row was added.
    using AddJob = std::function<bool(const QString &input, const QString &output)>;

    static constexpr std::chrono::milliseconds DefaultQuietPeriod{2000};
    // What one tick reads at most; a line without its end in a whole piece
    // is no path and is skipped.
    static constexpr qint64 ChunkBytes = 1 << 20;


    explicit HandOffPoller(std::chrono::milliseconds quietPeriod = DefaultQuietPeriod);

    // One poll of `handOffFile`. `currentInputs` (the input path of every
    // row) is asked for only when there are lines to take. Returns how many
    // lines went to `addJob`. Never blocks on the file, never throws for it.
    int tick(const QString &handOffFile, const InputsSource &currentInputs, const AddJob &addJob);

    // The private name a claimed hand-off file is read under.
    static QString claimedFileFor(const QString &handOffFile);
    // Where a file that is refused as a whole is put (".tonvel.lst.refused").
    static QString refusedFileFor(const QString &handOffFile);

private:
    enum class Outcome { Finished, Held };

    void forget();
    bool claim();
    void setAside(const QString &file);
    Outcome readClaimed(const InputsSource &currentInputs, const AddJob &addJob, int *handed);

    std::chrono::milliseconds m_quietPeriod;
    QString m_handOff;
    QString m_claimed;
    bool m_leftoverChecked = false;
    bool m_holding = false;
    bool m_skippingLine = false;
    qint64 m_offset = 0;
    qint64 m_lastSize = -1;
    QElapsedTimer m_sinceSizeChange;
    QHash<QString, int> m_addedFromClaimed;
};

} // namespace joblet
