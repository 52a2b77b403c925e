#include "ProgramPaths.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

namespace joblet {

ProgramPaths::ProgramPaths(QString programFolder, QString userDataFolder)
    : m_programFolder(std::move(programFolder))
{
    // Decided once, so that the marker and the hand-off file of one instance
    // never end up in two places.
    const QFileInfo folder(m_programFolder);
    m_stateFolder = folder.isDir() && folder.isWritable() ? m_programFolder : std::move(userDataFolder);
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
