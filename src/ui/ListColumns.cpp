#include "ListColumns.h"

#include <QFontMetrics>
#include <QHeaderView>

namespace joblet {

QString elidePath(const QString &path, const QFontMetrics &metrics, int width)
{
    if (metrics.horizontalAdvance(path) <= width)
        return path;
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return metrics.elidedText(path, Qt::ElideMiddle, width);
    const QString name = path.mid(slash);
    const QString folder = metrics.elidedText(path.left(slash), Qt::ElideRight,
                                              width - metrics.horizontalAdvance(name));
    const QString shown = (folder.isEmpty() ? QStringLiteral("\u2026") : folder) + name;
    if (metrics.horizontalAdvance(shown) <= width)
        return shown;
    // The extension says what the file is: keep the name's end.
    return metrics.elidedText(name.mid(1), Qt::ElideLeft, width);
}

void shareColumns(QHeaderView *header, int width)
{
    int total = 0;
    for (int s = 0; s < header->count(); ++s)
        total += header->sectionSize(s);
    if (total <= 0 || width <= 0)
        return;
    int given = 0;
    for (int s = 0; s < header->count(); ++s) {
        const int size = s + 1 == header->count() ? width - given
                                                  : int(qint64(header->sectionSize(s)) * width / total);
        header->resizeSection(s, size);
        given += size;
    }
}

} // namespace joblet
