#include "ResultJournal.h"
#include "fileio/Text.h"

#include "ListDocument.h"

#include "batch/JobResult.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <optional>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace joblet::batchcli {

namespace {

const QString JournalSuffix = QStringLiteral(".journal");
// A sync per so many Results or so much time, whichever comes first: a
// power cut loses at most that, a kill nothing.
constexpr int SyncEveryResults = 64;
constexpr qint64 SyncEveryMs = 1000;
// Far above any journal of a 32 767-row list; a larger file is not ours.
constexpr qint64 MaxJournalBytes = 64 << 20;

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Reads a journal without following links and only while it is a regular
// file of bounded size; *ended tells whether its owner is gone.
std::optional<QByteArray> readJournal(const QString &path, bool *ended)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    std::optional<QByteArray> data;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= MaxJournalBytes) {
        // Free to take: no live owner. Released with the descriptor.
        *ended = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        QByteArray bytes(st.st_size, Qt::Uninitialized);
        qint64 got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
            if (n <= 0)
                break;
            got += n;
        }
        bytes.truncate(got);
        data = std::move(bytes);
    }
    ::close(fd);
    return data;
}

} // namespace

ResultJournal::~ResultJournal()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QByteArray ResultJournal::jobKey(const QByteArray &fields)
{
    // FNV-1a, 64 bits: stable across builds and machines, unlike qHash.
    quint64 h = 0xcbf29ce484222325ULL;
    for (const char c : fields) {
        h ^= quint8(c);
        h *= 0x100000001b3ULL;
    }
    return QByteArray::number(h, 16).rightJustified(16, '0');
}

bool ResultJournal::isJournalOf(const QString &entry, const QString &targetName)
{
    return entry.size() > 1 + targetName.size() + 1 + JournalSuffix.size() && entry.startsWith(u'.')
           && QStringView(entry).sliced(1, targetName.size()) == targetName
           && entry.at(1 + targetName.size()) == u'.' && entry.endsWith(JournalSuffix);
}

bool ResultJournal::create(const QString &target, QString *error)
{
    const QFileInfo info(target);
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    QString host = QString::fromLocal8Bit(name);
    host.replace(u'/', u'_');
    m_path = QStringLiteral("%1/.%2.%3-%4-%5%6")
                 .arg(info.absolutePath(), info.fileName(), host)
                 .arg(::getpid())
                 .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'))
                 .arg(JournalSuffix);
    m_fd = ::open(QFile::encodeName(m_path).constData(),
                  O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (m_fd < 0)
        return failWith(error, QStringLiteral("cannot create %1: %2").arg(m_path, systemError()));
    // Held until the process ends, however it ends.
    ::flock(m_fd, LOCK_EX | LOCK_NB);
    m_size = 0;
    m_unsynced = 0;
    m_sinceSync.start();
    return true;
}

bool ResultJournal::append(int row, const QByteArray &fields, const QString &result, QString *error)
{
    const QByteArray line = (m_torn ? QByteArray("\r\n") : QByteArray()) + QByteArray::number(row) + ';' + jobKey(fields) + ';' + result.toLocal8Bit() + "\r\n";
    const ssize_t n = ::write(m_fd, line.constData(), size_t(line.size()));
    if (n != ssize_t(line.size())) {
        const QString why = n < 0 ? systemError() : QStringLiteral("the disk is full");
        // No torn line: cut it off, or else end it, so the reader skips it
        // instead of joining it with the next.
        if (n > 0 && ::ftruncate(m_fd, m_size) != 0)
            m_torn = true;
        return failWith(error, QStringLiteral("%1: %2").arg(m_path, why));
    }
    m_size += n;
    m_torn = false;
    if (++m_unsynced >= SyncEveryResults || m_sinceSync.elapsed() >= SyncEveryMs)
        return sync(error);
    return true;
}

bool ResultJournal::sync(QString *error)
{
    if (m_fd < 0 || m_unsynced == 0)
        return true;
    if (::fdatasync(m_fd) != 0)
        return failWith(error, QStringLiteral("%1: %2").arg(m_path, systemError()));
    m_unsynced = 0;
    m_sinceSync.restart();
    return true;
}

void ResultJournal::remove()
{
    if (m_fd < 0)
        return;
    ::unlink(QFile::encodeName(m_path).constData());
    ::close(m_fd);
    m_fd = -1;
}

QStringList ResultJournal::foldInto(ListDocument &doc, const QString &target)
{
    const QFileInfo info(target);
    const QDir dir = info.absoluteDir();
    QStringList ended;
    const QStringList entries = dir.entryList({QStringLiteral(".*") + JournalSuffix},
                                              QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks,
                                              QDir::Name);
    for (const QString &entry : entries) {
        if (!isJournalOf(entry, info.fileName()))
            continue;
        bool ownerEnded = false;
        const auto data = readJournal(dir.filePath(entry), &ownerEnded);
        if (!data)
            continue;
        // Only whole lines: a last line without its CR LF was cut by a kill.
        qsizetype start = 0;
        for (qsizetype end; (end = data->indexOf("\r\n", start)) >= 0; start = end + 2) {
            const QList<QByteArray> parts = data->sliced(start, end - start).split(';');
            bool ok = false;
            const int row = parts.value(0).toInt(&ok);
            if (parts.size() != 3 || !ok || row < 1 || row > doc.count() || parts[1] != jobKey(doc.fields(row)))
                continue;
            doc.setResult(row, betterResult(doc.result(row), QString::fromLocal8Bit(parts[2])));
        }
        if (ownerEnded)
            ended << dir.filePath(entry);
    }
    return ended;
}

} // namespace joblet::batchcli
