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
    // never end up in two places.
    const bool installed = QFileInfo(m_programFolder).fileName() == QLatin1String("bin");
    m_stateFolder = !installed && isPrivateToUser(m_programFolder) ? m_programFolder
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
