#include "HandOffPoller.h"

#include "HandOffReader.h"

#include "batch/OutputNaming.h"
#include "fileio/RegularFile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace joblet {

namespace {

// Never replaces: a copy that another reader claimed must not be lost.
bool renameNoReplace(const QString &from, const QString &to)
{
    const QByteArray src = QFile::encodeName(from);
    const QByteArray dst = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, src.constData(), AT_FDCWD, dst.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without the flag: a hard link refuses to replace too.
    if (::link(src.constData(), dst.constData()) != 0)
        return false;
    ::unlink(src.constData());
    return true;
}

RegularFile::Rules takenFileRules()
{
    return {.ownedByUser = true, .unsharedOnly = true, .maxSize = HandOff::MaxFileBytes};
}

bool quietSince(const struct stat &st, std::chrono::milliseconds quiet)
{
    const qint64 modified = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    return QDateTime::currentMSecsSinceEpoch() - modified >= quiet.count();
}

} // namespace

HandOffPoller::HandOffPoller(std::chrono::milliseconds quietPeriod)
    : m_quietPeriod(quietPeriod)
{
}

QString HandOffPoller::claimedFileFor(const QString &handOffFile)
{
    const QFileInfo info(handOffFile);
    return info.path() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".taken");
}

void HandOffPoller::forget()
{
    m_holding = false;
    m_skippingLine = false;
    m_offset = 0;
    m_lastSize = -1;
    m_addedFromClaimed.clear();
}

int HandOffPoller::tick(const QString &handOffFile, const InputsSource &currentInputs, const AddJob &addJob)
{
    if (handOffFile != m_handOff) {
        forget();
        m_handOff = handOffFile;
        m_claimed = claimedFileFor(handOffFile);
        m_leftoverChecked = false;
    }
    if (!m_leftoverChecked) {
        // A copy claimed by an instance that ended before finishing it.
        m_leftoverChecked = true;
        m_holding = QFileInfo(m_claimed).isFile();
    }

    int handed = 0;
    // The claimed copy first; once it is done, a file started meanwhile.
    for (int round = 0; round < 2; ++round) {
        if (!m_holding && !claim())
            break;
        if (readClaimed(currentInputs, addJob, &handed) == Outcome::Held)
            break;
    }
    return handed;
}

bool HandOffPoller::claim()
{
    // Only a regular file of this user's that no one else may write to; a
    // pipe is never waited on, a link never followed. Anything else, and an
    // unreadable file, stays under its own name for a later tick instead of
    // blocking the claimed name.
    const RegularFile file = RegularFile::open(m_handOff, RegularFile::Mode::Read, takenFileRules());
    if (!file.isOpen()) {
        if (file.status() == RegularFile::Status::TooLarge)
            setAside(m_handOff);
        return false;
    }
    if (!renameNoReplace(m_handOff, m_claimed))
        return false;
    forget();
    m_holding = true;
    return true;
}

void HandOffPoller::setAside(const QString &file)
{
    // Kept for the curious, one at a time, so that nothing grows without end.
    const QByteArray aside = QFile::encodeName(refusedFileFor(m_handOff));
    ::rename(QFile::encodeName(file).constData(), aside.constData());
}

QString HandOffPoller::refusedFileFor(const QString &handOffFile)
{
    const QFileInfo info(handOffFile);
    return info.path() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".refused");
}

HandOffPoller::Outcome HandOffPoller::readClaimed(const InputsSource &currentInputs,
                                                  const AddJob &addJob, int *handed)
{
    const RegularFile file = RegularFile::open(m_claimed, RegularFile::Mode::Read, takenFileRules());
    if (!file.isOpen()) {
        if (file.status() == RegularFile::Status::Failed)
            return Outcome::Held; // unreadable for now
        // Gone (taken away by someone else), or something that is no
        // hand-off file: nothing left to finish.
        if (file.status() != RegularFile::Status::Missing)
            setAside(m_claimed);
        forget();
        return Outcome::Finished;
    }
    const qint64 size = file.size();
    if (size < m_offset) {
        // Cut short by someone else: what it holds now is new to us.
        forget();
        m_holding = true;
    }
    if (size != m_lastSize) {
        m_lastSize = size;
        m_sinceSizeChange.start();
    }
    struct stat st {};
    if (::fstat(file.handle(), &st) != 0)
        return Outcome::Held;
    const bool quiet = quietSince(st, m_quietPeriod)
        || (m_sinceSizeChange.isValid() && m_sinceSizeChange.elapsed() >= m_quietPeriod.count());

    // A bounded piece per tick, so that a tick never holds the whole file.
    const std::optional<QByteArray> piece = file.readAt(m_offset, std::min(size - m_offset, ChunkBytes));
    if (!piece || piece->size() != std::min(size - m_offset, ChunkBytes))
        return Outcome::Held;
    const QByteArray &data = *piece;
    const bool throughEnd = m_offset + data.size() == size;

    qsizetype consumed = 0;
    QList<QByteArray> lines = HandOff::completeLines(data, quiet && throughEnd, &consumed);
    if (m_skippingLine && !lines.isEmpty()) {
        lines.removeFirst(); // the end of a line too long to be a path
        m_skippingLine = false;
    }
    if (consumed == 0 && data.size() == ChunkBytes) {
        consumed = data.size(); // a piece with no line end: no path is that long
        m_skippingLine = true;
    }
    if (!lines.isEmpty()) {
        const HandOff::DuplicateTest duplicates(currentInputs(), m_addedFromClaimed);
        for (const QByteArray &line : lines) {
            const QString path = HandOff::pathOfLine(line);
            if (path.isEmpty())
                continue;
            const QString key = HandOff::compareKey(path);
            if (duplicates.listed(key))
                continue;
            ++*handed;
            if (addJob(path, OutputNaming::fromHandOff(path)))
                ++m_addedFromClaimed[key];
        }
    }
    m_offset += consumed;

    if (m_offset < size || !quiet)
        return Outcome::Held;
    // A write that came in while the lines were being added.
    struct stat again {};
    if (::fstat(file.handle(), &again) != 0 || again.st_size != size)
        return Outcome::Held;
    if (!QFile::remove(m_claimed))
        return Outcome::Held;
    forget();
    return Outcome::Finished;
}

} // namespace joblet
