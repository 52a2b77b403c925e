#include "SessionReportFile.h"

#include "Clock.h"

#include "fileio/SafeSave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
    m_pending.clear();
    m_created = false;
    return addLine(startCaption);
}

bool SessionReportFile::addLine(const QString &line)
{
    if (m_path.isEmpty()) {
        m_error = QStringLiteral("No report session has begun");
        return false;
    }
    m_pending += line.toLocal8Bit() + "\r\n";
    return write();
}

bool SessionReportFile::write()
{
    if (!QDir().mkpath(m_folder)) {
        m_error = QStringLiteral("Cannot create the folder %1").arg(QDir::toNativeSeparators(m_folder));
        return false;
    }
    if (!m_created) {
        // Made whole in one step, so the file never exists without its start.
        if (!fileio::safeSave(m_path, m_pending, &m_error))
            return false;
        m_created = true;
        m_pending.clear();
    } else {
        // One unbuffered write per line: the file grows, it is never rewritten.
        QFile file(m_path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
            m_error = file.errorString();
            return false;
        }
        const qint64 before = file.size();
        if (file.write(m_pending) != m_pending.size()) {
            m_error = file.errorString();
            // No torn line: the next write puts the whole of it.
            file.resize(before);
            return false;
        }
        m_pending.clear();
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
