#pragma once

#include "BatchListFile.h"

#include <QByteArrayView>

namespace joblet {

// Reads a list file fed in pieces of any size, so a file can be read in
// blocks and reading can stop at the first bad line.
class BatchListReader {
public:
    // False once a line has failed; then stop feeding.
    bool feed(QByteArrayView bytes);
    // The end of the data: a last line without CR LF counts like the others.
    bool finish();

    bool failed() const { return m_failed; }
    const BatchListFile::Failure &failure() const { return m_failure; }
    // The good jobs so far, in file order.
    QList<BatchItem> takeItems() { return std::move(m_items); }

private:
    bool takeLine(QByteArrayView bytes);
    bool fail(qint32 number, const QString &text);

    QList<BatchItem> m_items;
    // Bytes of a line whose LF has not arrived yet.
    QByteArray m_pending;
    qsizetype m_checkPendingAt = 4 * qsizetype(BatchListFile::MaxLineChars) + 8;
    BatchListFile::Failure m_failure;
    bool m_failed = false;
};

} // namespace joblet
