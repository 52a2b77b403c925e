#pragma once

#include <QString>

namespace joblet {

// Every path the program builds from its own folder, in one place; the
// classes that need one are handed it.
class ProgramPaths {
public:
    explicit ProgramPaths(QString programFolder, QString userDataFolder = defaultUserDataFolder());
    // The folder of the running executable.
    static ProgramPaths forRunningProgram();

    QString programFolder() const { return m_programFolder; }
    // Where the marker and the hand-off file live: the program folder, unless
    // the user cannot write there (an installed copy); then the user's own
    // data folder, so that every user of an installed copy has a pair.
    QString stateFolder() const { return m_stateFolder; }
    QString markerFile() const;
    QString handOffFile() const;
    QString profilesBesideProgram() const;
    // Per-user: where each timed session's report is kept as a text file.
    static QString reportsFolder();

private:
    static QString defaultUserDataFolder();

    QString m_programFolder;
    QString m_stateFolder;
};

} // namespace joblet
