#include "BatchListFormat.h"

#include <cstring>

namespace joblet {

bool BatchListReader::fail(qint32 number, const QString &text)
{
    m_failed = true;
    m_failure = {number, text};
    m_pending.clear();
    return false;
}

bool BatchListReader::takeLine(QByteArrayView bytes)
{
    const qsizetype lineNumber = m_items.size() + 1;
    if (lineNumber > BatchListFile::MaxLines)
        return fail(BatchListFile::TooManyLines,
                    QStringLiteral("more than %1 lines").arg(BatchListFile::MaxLines));
    if (bytes.endsWith('\r'))
        bytes.chop(1);
    BatchItem item;
    BatchListFile::Failure failure;
    if (!BatchListFile::parseLine(QString::fromLocal8Bit(bytes), &item, &failure))
        return fail(failure.number, QStringLiteral("line %1: %2").arg(lineNumber).arg(failure.text));
    m_items.append(std::move(item));
    return true;
}

bool BatchListReader::feed(QByteArrayView bytes)
{
    if (m_failed)
        return false;
    const char *const data = bytes.data();
    qsizetype start = 0;
    while (start < bytes.size()) {
        const void *lf = std::memchr(data + start, '\n', size_t(bytes.size() - start));
        if (!lf)
            break;
        const qsizetype end = static_cast<const char *>(lf) - data;
        const QByteArrayView piece(data + start, end - start);
        bool ok;
        if (m_pending.isEmpty()) {
            ok = takeLine(piece);
        } else {
            m_pending.append(piece);
            ok = takeLine(m_pending);
            m_pending.clear();
        }
        if (!ok)
            return false;
        start = end + 1;
    }
    m_pending.append(bytes.sliced(start));
    // Whatever it turns out to be, that line is one too many; fail as the
    // whole line would, without waiting for its end.
    if (!m_pending.isEmpty() && m_items.size() >= BatchListFile::MaxLines)
        return takeLine(m_pending);

    // A line that never ends must not be buffered without bound. A cut-off
    // multi-byte character at the end of the piece or a trailing CR can add up
    // to three units that the finished line would not have, hence the margin.
    if (m_pending.size() > m_checkPendingAt) {
        if (QString::fromLocal8Bit(m_pending).size() > BatchListFile::MaxLineChars + 3)
            return fail(BatchListFile::LineTooLong,
                        QStringLiteral("line %1: longer than %2 characters")
                            .arg(m_items.size() + 1)
                            .arg(BatchListFile::MaxLineChars));
        m_checkPendingAt = 2 * m_pending.size();
    }
    return true;
}

bool BatchListReader::finish()
{
    if (m_failed)
        return false;
    if (!m_pending.isEmpty()) {
        const QByteArray last = std::exchange(m_pending, {});
        return takeLine(last);
    }
    return true;
}

bool BatchListFile::parseLine(const QString &line, BatchItem *item, Failure *failure)
{
    auto failWith = [failure](qint32 number, const QString &text) {
        if (failure)
            *failure = {number, text};
        return false;
    };
    if (line.size() > MaxLineChars)
        return failWith(LineTooLong, QStringLiteral("longer than %1 characters").arg(MaxLineChars));
    const qsizetype p1 = line.indexOf(u';');
    const qsizetype p2 = p1 < 0 ? -1 : line.indexOf(u';', p1 + 1);
    const qsizetype p3 = p2 < 0 ? -1 : line.indexOf(u';', p2 + 1);
    if (p3 < 0)
        return failWith(BadLine, QStringLiteral("fewer than three ';'"));
    if (item) {
        const QStringView text(line);
        *item = BatchItem();
        item->inputFile = text.first(p1).toString();
        item->outputFile = text.sliced(p1 + 1, p2 - p1 - 1).toString();
        item->profile = text.sliced(p2 + 1, p3 - p2 - 1).toString();
    }
    return true;
}

QByteArray BatchListFile::formatLine(const BatchItem &item)
{
    QString line;
    line.reserve(item.inputFile.size() + item.outputFile.size() + item.profile.size() + 5);
    line += item.inputFile;
    line += u';';
    line += item.outputFile;
    line += u';';
    line += item.profile;
    line += QLatin1String(";\r\n");
    return line.toLocal8Bit();
}

bool BatchListFile::parse(const QByteArray &data, QList<BatchItem> *items, Failure *failure)
{
    BatchListReader reader;
    const bool ok = reader.feed(data) && reader.finish();
    if (items)
        *items = reader.takeItems();
    if (failure)
        *failure = ok ? Failure() : reader.failure();
    return ok;
}

} // namespace joblet
