#include "RunningMarker.h"

#include "MarkerFile.h"

#include <QFile>

namespace joblet {

RunningMarker::RunningMarker(QString path, const QDateTime &now) : m_path(std::move(path))
{
    m_madeHere = MarkerFile::createIfAbsent(m_path, now);
}

RunningMarker::~RunningMarker()
{
    if (m_madeHere)
        QFile::remove(m_path);
}

} // namespace joblet
