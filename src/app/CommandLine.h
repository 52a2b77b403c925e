#pragma once

#include <QString>
#include <QStringList>

namespace joblet {

class ProgramPaths;

// What the program was asked to do on its command line: the arguments after
// the program name, joined by single blanks, read as "path" or "path <RUN>".
class CommandLine {
public:
    enum class Kind {
        Empty,   // no arguments
        Help,    // "--help", and no file of that name
        Version, // "--version", and no file of that name
        NoFile,  // names no existing file: nothing to add
        Job,     // one job for input() -> output()
        List,    // input() is a batch list file (".jlt"), to be loaded
        Rejected, // the existence test failed on input() (as given): errorNumber()
    };

    // `arguments` as QCoreApplication::arguments() gives them, program first.
    static CommandLine parse(const QStringList &arguments);

    Kind kind() const { return m_kind; }
    // The arguments after the program name joined by single blanks.
    QString text() const { return m_text; }
    // Job and List: the path as typed, blanks trimmed.
    QString input() const { return m_input; }
    // The same made absolute against the current folder, for another
    // process, whose current folder is not ours.
    QString absoluteInput() const;
    QString output() const { return m_output; } // Job only
    // "<RUN>" was in the text: start the run once the job or list is in.
    bool startRun() const { return m_startRun; }
    // Rejected only: the number to report after "Error-".
    qint32 errorNumber() const { return m_errorNumber; }

    static QString usage(const ProgramPaths &paths);
    static QString version();

private:
    Kind m_kind = Kind::Empty;
    QString m_text;
    QString m_input;
    QString m_output;
    bool m_startRun = false;
    qint32 m_errorNumber = 0;
};

} // namespace joblet
