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
    // Where the marker and the hand-off file live. The program folder when
    // it belongs to the user and no one else may write to it, whatever its
    // name. Otherwise (another user's, a system place, shared, group- or
    // other-writable) the user's own data folder, so that no other user can
    // feed or remove this user's files.
    QString stateFolder() const { return m_stateFolder; }
    bool stateBesideProgram() const { return m_stateFolder == m_programFolder; }
    QString markerFile() const;
    QString handOffFile() const;
    QString profilesBesideProgram() const;
    // Per-user: where each timed session's report is kept as a text file.
    static QString reportsFolder();
    // ~/.local/share/joblet (or under $XDG_DATA_HOME): the same for every
    // copy of the program and whatever else exists at the moment.
    static QString defaultUserDataFolder();
    // The folder is made for the user alone when it is missing.
    static bool makePrivateFolder(const QString &folder);
    // A folder only its owner, this user, may write to.
    static bool isPrivateToUser(const QString &folder);
    // Under one of the system's own places (/usr, /opt, ...), whoever owns it.
    static bool isSystemFolder(const QString &folder);

private:
    QString m_programFolder;
    QString m_stateFolder;
};

} // namespace joblet
