#include "BatchListFile.h"

namespace joblet {

bool BatchListFile::parseLine(const QString &, BatchItem *, Failure *) { return false; }
QByteArray BatchListFile::formatLine(const BatchItem &) { return {}; }
bool BatchListFile::parse(const QByteArray &, QList<BatchItem> *, Failure *) { return false; }
bool BatchListFile::save(const BatchList &, const QString &, Failure *) { return false; }
bool BatchListFile::load(const QString &, QList<BatchItem> *, Failure *) { return false; }

} // namespace joblet
