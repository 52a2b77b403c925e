#pragma once

#include <QString>

namespace joblet {

// Every path the program builds from its own folder, in one place; the
// classes that need one are handed it.
class ProgramPaths {
public:
    explicit ProgramPaths(QString programFolder);
    // The folder of the running executable.
    static ProgramPaths forRunningProgram();

    QString programFolder() const { return m_programFolder; }
    QString markerFile() const;
    QString handOffFile() const;
    QString profilesBesideProgram() const;
    // Per-user: where each timed session's report is kept as a text file.
    static QString reportsFolder();

private:
    QString m_programFolder;
};

} // namespace joblet
