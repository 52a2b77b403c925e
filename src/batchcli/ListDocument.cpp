#include "ListDocument.h"

#include "fileio/SafeSave.h"

#include <QFile>

namespace joblet::batchcli {

std::optional<ListDocument> ListDocument::read(const QString &path, BatchListFile::Failure *failure)
{
    // The reader first: it gives up on a file that is no list without
    // buffering it whole, and its failures are the ones users know.
    if (!BatchListFile::load(path, nullptr, failure))
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (failure)
            *failure = {BatchListFile::CannotOpen, file.errorString()};
        return std::nullopt;
    }
    return fromBytes(file.readAll(), failure);
}

std::optional<ListDocument> ListDocument::fromBytes(const QByteArray &data,
                                                    BatchListFile::Failure *failure)
{
    ListDocument doc;
    if (!BatchListFile::parse(data, &doc.m_items, failure))
        return std::nullopt;

    // Split as the reader does: at LF, one CR before it belongs to the break,
    // and a last line needs no break.
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype lf = data.indexOf('\n', start);
        const qsizetype stop = lf < 0 ? data.size() : lf;
        QByteArray text = data.sliced(start, stop - start);
        Line line;
        line.end = lf < 0 ? QByteArray() : QByteArray("\n");
        if (text.endsWith('\r')) {
            text.chop(1);
            line.end.prepend('\r');
        }
        // ';' is one byte in every 8-bit locale encoding, never part of another character.
        qsizetype third = -1;
        for (int n = 0; n < 3; ++n)
            third = text.indexOf(';', third + 1);
        line.fields = text.first(third + 1);
        line.result = text.sliced(third + 1);
        doc.m_lines.append(std::move(line));
        start = stop + 1;
    }
    if (doc.m_lines.size() != doc.m_items.size()) {
        if (failure)
            *failure = {BatchListFile::BadLine, QStringLiteral("lines and jobs disagree")};
        return std::nullopt;
    }
    for (qsizetype i = 0; i < doc.m_items.size(); ++i)
        doc.m_items[i].result = QString::fromLocal8Bit(doc.m_lines[i].result);
    return doc;
}

bool ListDocument::fits(int row, const QString &text) const
{
    return QString::fromLocal8Bit(m_lines.at(row - 1).fields).size() + text.size() <= BatchListFile::MaxLineChars;
}

bool ListDocument::setResult(int row, const QString &text)
{
    if (!fits(row, text))
        return false;
    Line &line = m_lines[row - 1];
    line.result = text.toLocal8Bit();
    m_items[row - 1].result = text;
    return true;
}

bool ListDocument::sameJobs(const ListDocument &other, int *firstDifference) const
{
    const qsizetype common = std::min(m_lines.size(), other.m_lines.size());
    qsizetype i = 0;
    while (i < common && m_lines[i].fields == other.m_lines[i].fields)
        ++i;
    if (i == common && m_lines.size() == other.m_lines.size())
        return true;
    if (firstDifference)
        *firstDifference = int(i + 1);
    return false;
}

QByteArray ListDocument::bytes() const
{
    QByteArray data;
    for (const Line &line : m_lines)
        data += line.fields + line.result + line.end;
    return data;
}

bool ListDocument::save(const QString &path, QString *error) const
{
    return fileio::safeSave(path, bytes(), error);
}

std::optional<Shard> Shard::parse(const QString &text, QString *error)
{
    const qsizetype slash = text.indexOf(u'/');
    bool okIndex = false, okCount = false;
    Shard shard;
    if (slash > 0) {
        shard.index = text.first(slash).toInt(&okIndex);
        shard.count = text.sliced(slash + 1).toInt(&okCount);
    }
    if (!okIndex || !okCount || shard.count < 1 || shard.index < 1 || shard.index > shard.count) {
        if (error)
            *error = QStringLiteral("\"%1\" is not K/N with 1 <= K <= N").arg(text);
        return std::nullopt;
    }
    return shard;
}

} // namespace joblet::batchcli
