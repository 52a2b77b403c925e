#include "HandOffReader.h"
#include "fileio/Text.h"

#include <cstring>

namespace joblet::HandOff {

QString compareKey(const QString &path)
{
    return trimSpaces(path).toCaseFolded();
}

QList<QByteArray> completeLines(QByteArrayView data, bool atEnd, qsizetype *consumed)
{
    QList<QByteArray> lines;
    const char *bytes = data.data();
    const qsizetype size = data.size();
    qsizetype start = 0;
    while (start < size) {
        const void *found = std::memchr(bytes + start, '\r', size_t(size - start));
        if (!found)
            break;
        const qsizetype cr = static_cast<const char *>(found) - bytes;
        if (cr + 1 == size && !atEnd)
            break;
        lines.append(QByteArray(bytes + start, cr - start));
        start = cr + 1 < size && bytes[cr + 1] == '\n' ? cr + 2 : cr + 1;
    }
    if (atEnd && start < size) {
        lines.append(QByteArray(bytes + start, size - start));
        start = size;
    }
    *consumed = start;
    return lines;
}

QString pathOfLine(const QByteArray &line)
{
    if (line.contains('\n'))
        return {};
    QString path = trimSpaces(QString::fromLocal8Bit(line));
    return path.size() < 3 ? QString() : path;
}

DuplicateTest::DuplicateTest(const QStringList &rows, const QHash<QString, int> &addedEarlier)
{
    m_counts.reserve(rows.size());
    for (const QString &row : rows)
        ++m_counts[compareKey(row)];
    for (auto it = addedEarlier.cbegin(); it != addedEarlier.cend(); ++it) {
        const auto found = m_counts.find(it.key());
        if (found != m_counts.end())
            found.value() -= it.value();
    }
}

} // namespace joblet::HandOff
