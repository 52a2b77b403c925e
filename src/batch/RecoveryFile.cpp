#include "RecoveryFile.h"

#include "BatchList.h"
#include "BatchListFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace joblet {

RecoveryFile::RecoveryFile(BatchList &list, QString path, QObject *parent)
    : QObject(parent), m_list(list), m_path(std::move(path))
{
    if (auto rows = read(m_path))
        m_carried = std::move(*rows);
    m_writer.setMaxThreadCount(1);
    m_coalesce.setSingleShot(true);
    m_coalesce.setInterval(0);
    connect(&m_coalesce, &QTimer::timeout, this, &RecoveryFile::writeSnapshot);
    connect(&list, &QAbstractItemModel::rowsInserted, this, &RecoveryFile::schedule);
    connect(&list, &QAbstractItemModel::rowsRemoved, this, &RecoveryFile::schedule);
    connect(&list, &QAbstractItemModel::modelReset, this, &RecoveryFile::schedule);
    connect(&list, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &, const QModelIndex &, const QList<int> &roles) {
                // The highlight and the tool tip are not kept.
                if (roles.isEmpty() || roles.contains(Qt::DisplayRole))
                    schedule();
            });
}

RecoveryFile::~RecoveryFile()
{
    m_writer.waitForDone();
}

void RecoveryFile::schedule()
{
    if (!m_coalesce.isActive())
        m_coalesce.start();
}

void RecoveryFile::dropCarriedOver()
{
    m_carried.clear();
    schedule();
}

void RecoveryFile::writeSnapshot()
{
    m_coalesce.stop();
    QList<BatchItem> rows = m_carried;
    rows.reserve(rows.size() + m_list.count());
    for (int row = 1; row <= m_list.count(); ++row)
        rows.append(m_list.item(row));
    const quint64 generation = ++m_newest;
    m_writer.start([this, generation, rows = std::move(rows)] {
        if (generation == m_newest.load())
            write(m_path, rows);
    });
}

void RecoveryFile::flush()
{
    writeSnapshot();
    m_writer.waitForDone();
}

void RecoveryFile::closeNormally()
{
    m_coalesce.stop();
    ++m_newest; // cancels a queued snapshot of this session
    m_writer.waitForDone();
    write(m_path, m_carried);
}

QByteArray RecoveryFile::format(const QList<BatchItem> &items)
{
    QByteArray data;
    for (const BatchItem &item : items) {
        QByteArray line = BatchListFile::formatLine(item);
        line.chop(2); // CR LF, put back after the Result
        data += line;
        data += item.result.toLocal8Bit();
        data += "\r\n";
    }
    return data;
}

bool RecoveryFile::write(const QString &path, const QList<BatchItem> &items)
{
    if (items.isEmpty())
        return QFile::remove(path) || !QFileInfo::exists(path);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(format(items));
    return file.commit();
}

std::optional<QList<BatchItem>> RecoveryFile::read(const QString &path)
{
    // Not following links, and only a regular file of bounded size.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    QFile file;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > MaxBytes
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
    const QByteArray data = file.read(MaxBytes + 1);
    if (data.size() > MaxBytes)
        return std::nullopt;

    QList<BatchItem> items;
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = data.indexOf('\n', start);
        if (end < 0)
            end = data.size();
        QByteArrayView bytes(data.constData() + start, end - start);
        start = end + 1;
        if (bytes.endsWith('\r'))
            bytes.chop(1);
        const QString line = QString::fromLocal8Bit(bytes);
        BatchItem item;
        if (items.size() >= BatchListFile::MaxLines || !BatchListFile::parseLine(line, &item, nullptr))
            return std::nullopt;
        qsizetype third = -1;
        for (int i = 0; i < 3; ++i)
            third = line.indexOf(u';', third + 1);
        item.result = line.sliced(third + 1);
        items.append(std::move(item));
    }
    return items;
}

} // namespace joblet
