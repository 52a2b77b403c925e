#pragma once

#include "BatchItem.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace joblet {

class BatchList;

// The ".jlt" batch list file: one job per line, "input;output;profile;",
// in the locale's 8-bit encoding, lines ended by CR LF; no escaping.
//
// parseLine, formatLine and parse live in BatchListFormat.cpp, free of the
// model and the widgets, so the fuzzer can link them alone.
class BatchListFile {
public:
    // Numbers of the failures the file commands show after "Error-"
    // (listed in README.md, "List file messages").
    enum Error : qint32 {
        CannotOpen = 53,     // file missing, unreadable, or a read failed
        CannotWrite = 75,    // cannot create, write or replace the file
        BadLine = 62,        // a line without three ';'
        TooManyLines = 6,    // more lines than the list can hold
        LineTooLong = 14,    // a line longer than MaxLineChars
    };

    // A list holds at most this many jobs (BatchList::MaxRows).
    static constexpr int MaxLines = 32767;
    // Longer lines are refused on reading. Real paths are far shorter
    // (PATH_MAX is 4096 bytes), so a longer line means the file is not a list,
    // and the bound keeps a wrongly picked large file from being buffered
    // whole. Counted in UTF-16 units, after the line break is taken off.
    static constexpr int MaxLineChars = 32767;

    struct Failure {
        qint32 number = 0;
        QString text; // for the log; the user sees the command's own message
    };

    // One line's text (without its line break) → its job, or a failure.
    static bool parseLine(const QString &line, BatchItem *item, Failure *failure);
    // The job's line in the file, CR LF included.
    static QByteArray formatLine(const BatchItem &item);

    // Reads every line of `data`. Stops at the first bad line: `items`
    // then holds the jobs before it. True when every line was good.
    static bool parse(const QByteArray &data, QList<BatchItem> *items, Failure *failure);

    // Writes the whole list, replacing `path` only once everything is
    // written, so a failed save leaves the earlier file as it was.
    static bool save(const BatchList &list, const QString &path, Failure *failure);
    // Reads `path`; see parse(). On CannotOpen `items` is empty and the
    // caller should leave its list alone; on any other failure `items` holds
    // the jobs before the bad line.
    static bool load(const QString &path, QList<BatchItem> *items, Failure *failure);

    // What Load does to the list: a file that cannot be opened leaves `list`
    // as it was; otherwise its rows are replaced by those read before any
    // fault, in one insertion. 0, or the number of the fault to report.
    static qint32 replaceList(BatchList &list, const QString &path);
};

} // namespace joblet
