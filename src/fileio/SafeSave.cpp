#include "SafeSave.h"
#include "Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace joblet::fileio {

namespace {

// ".NAME." + 12 hex digits + ".saving": hidden, and a shape no user names
// a file by, so removing leftovers never hits anything else.
const QString LeftoverSuffix = QStringLiteral(".saving");
constexpr int RandomDigits = 12;

QString temporaryName(const QString &fileName)
{
    const quint64 random = QRandomGenerator::global()->generate64() & 0xffffffffffffULL;
    return QStringLiteral(".%1.%2%3")
        .arg(fileName)
        .arg(random, RandomDigits, 16, QLatin1Char('0'))
        .arg(LeftoverSuffix);
}

} // namespace

bool safeSave(const QString &path, const QByteArrayView data, QString *error)
{
    const QFileInfo target(path);
    const QDir dir = target.absoluteDir();
    // 48 random bits: a clash is as good as impossible, and NewOnly makes
    // one fail instead of writing into (or through) a file already there.
    QFile file(dir.filePath(temporaryName(target.fileName())));
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return failWith(error, file.errorString());

    const auto discard = [&file, error](const QString &why) {
        file.close();
        file.remove();
        return failWith(error, why);
    };
    // Qt 6.4's QSaveFile::commit() renames a file whose buffered tail failed
    // to flush, so every step here is checked before the rename.
    if (file.write(data.constData(), data.size()) != data.size() || !file.flush())
        return discard(file.errorString());
    if (::fsync(file.handle()) != 0)
        return discard(QString::fromLocal8Bit(strerror(errno)));
    struct stat old {};
    if (::lstat(QFile::encodeName(path).constData(), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(file.handle(), old.st_mode & 07777);
    file.close();
    if (file.error() != QFileDevice::NoError)
        return discard(file.errorString());
    if (std::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) != 0) {
        const QString why = QString::fromLocal8Bit(strerror(errno));
        file.remove();
        return failWith(error, why);
    }
    return true;
}

bool isSafeSaveLeftover(const QString &entry, const QString &fileName)
{
    const qsizetype expected = 1 + fileName.size() + 1 + RandomDigits + LeftoverSuffix.size();
    if (entry.size() != expected || !entry.startsWith(u'.') || !entry.endsWith(LeftoverSuffix)
        || QStringView(entry).sliced(1, fileName.size()) != fileName || entry.at(1 + fileName.size()) != u'.')
        return false;
    const QStringView hex = QStringView(entry).sliced(2 + fileName.size(), RandomDigits);
    return std::all_of(hex.begin(), hex.end(),
                       [](QChar c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'); });
}

void removeSafeSaveLeftovers(const QString &path)
{
    const QFileInfo target(path);
    QDir dir = target.absoluteDir();
    const QStringList entries = dir.entryList({QStringLiteral(".*") + LeftoverSuffix},
                                              QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QString &entry : entries) {
        if (isSafeSaveLeftover(entry, target.fileName()))
            dir.remove(entry);
    }
}

} // namespace joblet::fileio
