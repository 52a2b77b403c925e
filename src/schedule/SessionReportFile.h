#pragma once

#include <QByteArray>
#include <QString>

namespace joblet {

class Clock;

// Keeps a timed session's report as a text file too, so it survives the
// report window and a crash: one file per session in `folder`, named after
// the session's start ("2026-12-06 16-05-00.txt"), the report's lines in
// order, in the locale's 8-bit encoding, each ended by CR LF.
//
// The file is made with its first line in one step, and every later line is
// appended in one write, so the file always holds the lines written so far
// and a line costs the same however long the session. A failure is
// returned, never thrown: the run goes on, and the next line writes what the
// failed ones could not.
class SessionReportFile {
public:
    SessionReportFile(const QString &folder, const Clock &clock);

    // A new file for a new session, named by the clock now; its first line.
    bool begin(const QString &startCaption);
    bool addLine(const QString &line);
    // Where the current session's lines go; empty before begin().
    QString path() const { return m_path; }
    // Why the last write failed, for a message; empty after a success.
    QString errorString() const { return m_error; }

    static QString startCaption(const QString &time);
    static QString resultLine(const QString &outputFile, const QString &result);
    static QString endCaption(const QString &time);

private:
    bool write();

    QString m_folder;
    const Clock &m_clock;
    QString m_path;
    // Lines not yet in the file (all of them until it exists).
    QByteArray m_pending;
    bool m_created = false;
    QString m_error;
};

} // namespace joblet
