#pragma once

#include "BatchItem.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace joblet {

class BatchList;

// The ".jlt" batch list file: one job per line, "input;output;profile;",
// in the locale's 8-bit encoding, lines ended by CR LF; no escaping.
class BatchListFile {
public:
    // Numbers of the failures the file commands show after "Error-".
    enum Error : qint32 {
        CannotOpen = 53,     // file missing or unreadable
        CannotWrite = 75,    // cannot create or write the file
        BadLine = 62,        // a line without three ';'
        TooManyLines = 6,    // more lines than the list can hold
        LineTooLong = 14,    // a line longer than 32767 characters
    };

    struct Failure {
        qint32 number = 0;
        QString text; // for the log; the user sees the command's own message
    };

    // One line's text (without its line break) → its job, or a failure.
    static bool parseLine(const QString &line, BatchItem *item, Failure *failure);
    static QByteArray formatLine(const BatchItem &item);

    // Reads every line of `data`. Stops at the first bad line: `items`
    // then holds the jobs before it. True when every line was good.
    static bool parse(const QByteArray &data, QList<BatchItem> *items, Failure *failure);

    // Writes the whole list, replacing `path` only once everything is
    // written, so a failed save leaves the earlier file as it was.
    static bool save(const BatchList &list, const QString &path, Failure *failure);
    // Reads `path`; see parse().
    static bool load(const QString &path, QList<BatchItem> *items, Failure *failure);
};

} // namespace joblet
