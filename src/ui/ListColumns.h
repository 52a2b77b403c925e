#pragma once

#include <QString>

class QFontMetrics;
class QHeaderView;

namespace joblet {

// `path` as it fits in `width` pixels: the folder is cut at its end, so
// "…/name.ext" stays whole; only a name too long on its own is cut too.
QString elidePath(const QString &path, const QFontMetrics &metrics, int width);

// Gives the columns `width` pixels in the proportions they have now.
void shareColumns(QHeaderView *header, int width);

} // namespace joblet
