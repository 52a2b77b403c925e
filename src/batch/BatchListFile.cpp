#include "BatchListFile.h"

#include "BatchList.h"
#include "BatchListFormat.h"

#include "fileio/SafeSave.h"

#include <QFile>

namespace joblet {

namespace {

bool failWith(BatchListFile::Failure *failure, qint32 number, const QString &text)
{
    if (failure)
        *failure = {number, text};
    return false;
}

} // namespace

bool BatchListFile::save(const BatchList &list, const QString &path, Failure *failure)
{
    QByteArray data;
    for (int i = 1; i <= list.count(); ++i)
        data += formatLine(list.item(i));
    // A full disk or a lost folder never truncates the old list.
    QString why;
    if (!fileio::safeSave(path, data, &why))
        return failWith(failure, CannotWrite, why);
    if (failure)
        *failure = Failure();
    return true;
}

bool BatchListFile::load(const QString &path, QList<BatchItem> *items, Failure *failure)
{
    if (items)
        items->clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failWith(failure, CannotOpen, file.errorString());

    // Block by block, so a large file picked by mistake is given up at its
    // first bad line instead of being read whole.
    BatchListReader reader;
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 got = file.read(block.data(), block.size());
        if (got < 0)
            return failWith(failure, CannotOpen, file.errorString());
        if (got == 0) {
            reader.finish();
            break;
        }
        if (!reader.feed(QByteArrayView(block.constData(), got)))
            break;
    }

    if (items)
        *items = reader.takeItems();
    if (failure)
        *failure = reader.failed() ? reader.failure() : Failure();
    return !reader.failed();
}

qint32 BatchListFile::replaceList(BatchList &list, const QString &path)
{
    QList<BatchItem> items;
    Failure failure;
    const bool complete = load(path, &items, &failure);
    if (!complete && failure.number == CannotOpen)
        return failure.number;
    list.removeAll();
    // All rows in one insertion, so a full list shows without a relayout per row.
    if (!list.append(items))
        return TooManyLines;
    return complete ? 0 : failure.number;
}

} // namespace joblet
