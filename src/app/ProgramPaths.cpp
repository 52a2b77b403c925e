#include "ProgramPaths.h"

#include <QCoreApplication>
#include <QStandardPaths>

namespace joblet {

ProgramPaths::ProgramPaths(QString programFolder)
    : m_programFolder(std::move(programFolder))
{
}

ProgramPaths ProgramPaths::forRunningProgram()
{
    return ProgramPaths(QCoreApplication::applicationDirPath());
}

QString ProgramPaths::markerFile() const
{
    return m_programFolder + QStringLiteral("/JobletRunning");
}

QString ProgramPaths::handOffFile() const
{
    return m_programFolder + QStringLiteral("/tonvel.lst");
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
