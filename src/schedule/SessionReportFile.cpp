#include "SessionReportFile.h"

#include "Clock.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace joblet {

SessionReportFile::SessionReportFile(const QString &folder, const Clock &clock)
    : m_folder(folder)
    , m_clock(clock)
{
}

bool SessionReportFile::begin(const QString &startCaption)
{
    // No ':' in the name: it is not allowed on every file system the
    // folder may be synced to.
    const QString stem = m_folder + u'/' + m_clock.now().toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"));
    m_path = stem + QStringLiteral(".txt");
    for (int n = 2; QFileInfo::exists(m_path); ++n)
        m_path = stem + QStringLiteral(" (%1).txt").arg(n);
    m_data.clear();
    return addLine(startCaption);
}

bool SessionReportFile::addLine(const QString &line)
{
    if (m_path.isEmpty()) {
        m_error = QStringLiteral("No report session has begun");
        return false;
    }
    m_data += line.toLocal8Bit() + "\r\n";
    return write();
}

bool SessionReportFile::write()
{
    if (!QDir().mkpath(m_folder)) {
        m_error = QStringLiteral("Cannot create the folder %1").arg(QDir::toNativeSeparators(m_folder));
        return false;
    }
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        m_error = file.errorString();
        return false;
    }
    // commit() does not notice a failed flush of the buffered tail, so
    // flush first and keep the old file if it failed.
    if (file.write(m_data) != m_data.size() || !file.flush()) {
        m_error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        m_error = file.errorString();
        return false;
    }
    m_error.clear();
    return true;
}

QString SessionReportFile::startCaption(const QString &time)
{
    return QStringLiteral("Session start time: ") + time;
}

QString SessionReportFile::resultLine(const QString &outputFile, const QString &result)
{
    return QStringLiteral("File: ") + outputFile + QStringLiteral(" Result: ") + result;
}

QString SessionReportFile::endCaption(const QString &time)
{
    return QStringLiteral("Session end time: ") + time;
}

} // namespace joblet
