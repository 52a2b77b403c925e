#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace joblet::test {

// A file's bytes, or "<unreadable>" so a comparison shows why it failed.
inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

inline bool writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

} // namespace joblet::test
