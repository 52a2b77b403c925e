#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>

// The outward sign of a running instance; only its existence counts.
namespace joblet::MarkerFile {

// "<short date>, <long time>" in quotes, CR LF, in the locale's 8-bit text.
QByteArray line(const QDateTime &now, const QLocale &locale = QLocale::system());

// Creates `path` (and its folder) with the line, only when no file of that
// name exists; an existing one is left byte for byte. False when it was
// there already or could not be made.
bool createIfAbsent(const QString &path, const QDateTime &now);

} // namespace joblet::MarkerFile
