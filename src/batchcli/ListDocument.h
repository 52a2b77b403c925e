#pragma once

#include "batch/BatchItem.h"
#include "batch/BatchListFile.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace joblet::batchcli {

// A list file held as its own bytes, so that Results go into it without
// changing anything else: every line is its three fields through the third
// ';' (kept byte for byte), a Result field after that, and its own line break.
//
// The Result lives after the third ';' because the list file reader ignores
// whatever follows it: a list with Results still loads everywhere.
class ListDocument {
public:
    // Reads with the list file reader: the same failures and numbers.
    static std::optional<ListDocument> read(const QString &path, BatchListFile::Failure *failure);
    static std::optional<ListDocument> fromBytes(const QByteArray &data,
                                                 BatchListFile::Failure *failure);

    // Rows count from 1, as in BatchList.
    int count() const { return int(m_items.size()); }
    // The row's job, its result field included.
    const BatchItem &item(int row) const { return m_items.at(row - 1); }
    QString result(int row) const { return item(row).result; }
    // The row's line through the third ';', byte for byte.
    const QByteArray &fields(int row) const { return m_lines.at(row - 1).fields; }
    // Whether the row's line stays within what the reader accepts with `text`.
    bool fits(int row, const QString &text) const;
    // False, and nothing changed, when the line would not fit.
    bool setResult(int row, const QString &text);

    // Whether both hold the same jobs in the same order, whatever their
    // Results; otherwise the first row that differs (count() + 1 when one
    // list is longer).
    bool sameJobs(const ListDocument &other, int *firstDifference = nullptr) const;

    QByteArray bytes() const;
    // Into a temporary file beside `path`, renamed over it once complete.
    bool save(const QString &path, QString *error) const;

private:
    struct Line {
        QByteArray fields; // through the third ';'
        QByteArray result;
        QByteArray end;    // CR LF, LF, CR or nothing, as read
    };
    QList<Line> m_lines;
    QList<BatchItem> m_items;
};

// The rows a shard "K/N" takes: row r when (r - 1) mod N = K - 1.
struct Shard {
    int index = 1;
    int count = 1;

    bool takes(int row) const { return (row - 1) % count == index - 1; }
    // "K/N" with 1 <= K <= N; nullopt and *error on anything else.
    static std::optional<Shard> parse(const QString &text, QString *error);
};

} // namespace joblet::batchcli
