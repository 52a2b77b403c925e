// Any bytes must parse without a crash or undefined behaviour, block reading
// must agree with reading at once, and clean jobs must survive a round trip.
#include "batch/BatchListFormat.h"

#include <cstdint>
#include <cstdlib>

using namespace joblet;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool clean(const QString &field)
{
    return !field.contains(u';') && !field.contains(u'\r') && !field.contains(u'\n');
}

bool sameJobs(const QList<BatchItem> &a, const QList<BatchItem> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].inputFile != b[i].inputFile || a[i].outputFile != b[i].outputFile
            || a[i].profile != b[i].profile || !b[i].result.isEmpty())
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));

    QList<BatchItem> items;
    BatchListFile::Failure failure;
    const bool ok = BatchListFile::parse(bytes, &items, &failure);
    check(ok == (failure.number == 0));
    check(ok || failure.number == BatchListFile::BadLine || failure.number == BatchListFile::TooManyLines
          || failure.number == BatchListFile::LineTooLong);
    check(items.size() <= BatchListFile::MaxLines);

    // The same bytes in pieces, as load() reads a file in blocks; the first
    // byte picks the piece size so the fuzzer steers the cut points.
    const qsizetype step = size ? 1 + data[0] % 37 : 1;
    BatchListReader reader;
    for (qsizetype at = 0; at < bytes.size(); at += step) {
        if (!reader.feed(QByteArrayView(bytes).sliced(at, qMin(step, bytes.size() - at))))
            break;
    }
    check(reader.finish() == ok);
    check(reader.failure().number == failure.number);
    check(sameJobs(items, reader.takeItems()));

    QList<BatchItem> cleanItems;
    QByteArray written;
    for (const BatchItem &item : std::as_const(items)) {
        if (clean(item.inputFile) && clean(item.outputFile) && clean(item.profile)) {
            cleanItems << item;
            written += BatchListFile::formatLine(item);
        }
    }
    QList<BatchItem> reread;
    check(BatchListFile::parse(written, &reread, &failure));
    check(sameJobs(cleanItems, reread));
    return 0;
}
