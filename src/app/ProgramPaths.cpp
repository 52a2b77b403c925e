#include "ProgramPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace joblet {

ProgramPaths::ProgramPaths(QString programFolder, QString userDataFolder)
    : m_programFolder(std::move(programFolder))
{
    // Decided once, so that the marker and the hand-off file of one instance
    // never end up in two places. Ownership decides, not the folder's name:
    // a program of the user's own that writes the hand-off file beside
    // Joblet in ~/.local/bin must be read. The system's install places are
    // root's, but no copy of root's own: root keeps its files at home too.
    m_stateFolder = isPrivateToUser(m_programFolder) && !isSystemFolder(m_programFolder)
                        ? m_programFolder
                        : std::move(userDataFolder);
}

ProgramPaths ProgramPaths::forRunningProgram()
{
    return ProgramPaths(QCoreApplication::applicationDirPath());
}

QString ProgramPaths::defaultUserDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/joblet");
}

bool ProgramPaths::isSystemFolder(const QString &folder)
{
    const QString path = QFileInfo(folder).canonicalFilePath();
    for (const char *place : {"/usr", "/opt", "/bin", "/sbin", "/lib", "/lib64"}) {
        const QLatin1String root(place);
        if (path == root || path.startsWith(root + u'/'))
            return true;
    }
    return false;
}

bool ProgramPaths::isPrivateToUser(const QString &folder)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(folder).constData(), &st) == 0 && S_ISDIR(st.st_mode)
        && st.st_uid == ::geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0
        && (st.st_mode & S_IWUSR);
}

bool ProgramPaths::makePrivateFolder(const QString &folder)
{
    if (QFileInfo(folder).isDir())
        return true;
    const QFileInfo info(folder);
    QDir().mkpath(info.path());
    return ::mkdir(QFile::encodeName(folder).constData(), 0700) == 0 || QFileInfo(folder).isDir();
}

QString ProgramPaths::markerFile() const
{
    return m_stateFolder + QStringLiteral("/JobletRunning");
}

QString ProgramPaths::handOffFile() const
{
    return m_stateFolder + QStringLiteral("/tonvel.lst");
}

QString ProgramPaths::profilesBesideProgram() const
{
    return m_programFolder + QStringLiteral("/profiles");
}

QString ProgramPaths::reportsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
           + QStringLiteral("/joblet/reports");
}

} // namespace joblet
