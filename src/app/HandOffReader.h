#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// Reading the hand-off file: how its bytes become paths and which paths are
// already in the list. No file access here, so that it can be fuzzed alone.
namespace joblet::HandOff {

// A larger hand-off file is refused by its writers and set aside unread by
// its reader: no list of paths is that long.
inline constexpr qint64 MaxFileBytes = 64 << 20;

// The form in which paths are compared: blanks trimmed, letter case folded.
QString compareKey(const QString &path);

// The lines of `data`, each without its end. CR LF and CR alone end a line,
// LF alone is part of one. Only lines whose end is certain are taken (a CR
// as the last byte may yet be followed by its LF); with `atEnd` the rest is
// taken as a last line too. *consumed: how many bytes the lines used.
QList<QByteArray> completeLines(QByteArrayView data, bool atEnd, qsizetype *consumed);

// The path a line names, blanks trimmed; empty when the line names none: it
// is shorter than three characters (blank lines too), or it holds a LF,
// which no job can carry into a saved list.
QString pathOfLine(const QByteArray &line);

// Whether a path was a row of the list when the tick began. Paths a file
// added in earlier ticks are taken off again, so that the same path twice in
// one file gives two jobs however the file was cut into ticks.
class DuplicateTest {
public:
    explicit DuplicateTest(const QStringList &rows, const QHash<QString, int> &addedEarlier = {});
    bool listed(const QString &key) const { return m_counts.value(key) > 0; }

private:
    QHash<QString, int> m_counts;
};

} // namespace joblet::HandOff
