// Any bytes must split, trim and meet the duplicate test without a crash or
// undefined behaviour; reading in pieces, as ticks do while a writer
// appends, must give the lines of reading at once.
#include "app/HandOffReader.h"

#include <cstdint>
#include <cstdlib>

using namespace joblet;

namespace joblet::OutputNaming {
QString fromHandOff(const QString &input);
}

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the piece size, so the fuzzer steers the cuts.
    const qsizetype piece = 1 + data[0] % 17;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data + 1),
                                                     qsizetype(size - 1));

    qsizetype consumed = -1;
    const QList<QByteArray> atOnce = HandOff::completeLines(bytes, true, &consumed);
    check(consumed == bytes.size());

    QList<QByteArray> inPieces;
    qsizetype offset = 0;
    for (qsizetype end = piece; end < bytes.size(); end += piece) {
        qsizetype used = -1;
        inPieces += HandOff::completeLines(QByteArrayView(bytes).sliced(offset, end - offset), false, &used);
        check(used >= 0 && offset + used <= end);
        offset += used;
    }
    inPieces += HandOff::completeLines(QByteArrayView(bytes).sliced(offset), true, &consumed);
    check(inPieces == atOnce);

    QStringList paths;
    for (const QByteArray &line : atOnce) {
        check(!line.contains('\r'));
        const QString path = HandOff::pathOfLine(line);
        if (path.isEmpty())
            continue;
        check(path.size() >= 3 && !path.startsWith(u' ') && !path.endsWith(u' ') && !path.contains(u'\n'));
        const QString output = OutputNaming::fromHandOff(path);
        check(output.endsWith(QLatin1String("wmv")) || output == path + QLatin1String("_1.wma"));
        paths << path;
    }

    // Half the paths as rows, written with blanks around: each of them is
    // listed; with as many added by this file, none is.
    const QStringList rows = paths.mid(0, paths.size() / 2);
    QStringList padded;
    QHash<QString, int> addedEarlier;
    for (const QString &row : rows) {
        padded << QStringLiteral("  ") + row + u' ';
        ++addedEarlier[HandOff::compareKey(row)];
    }
    const HandOff::DuplicateTest duplicates(padded);
    for (const QString &row : rows)
        check(duplicates.listed(HandOff::compareKey(row)));
    const HandOff::DuplicateTest afterEarlierTicks(padded, addedEarlier);
    for (const QString &path : paths)
        check(!afterEarlierTicks.listed(HandOff::compareKey(path)));
    return 0;
}
