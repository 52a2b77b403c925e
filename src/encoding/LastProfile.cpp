#include "LastProfile.h"

#include "ProfileCatalogue.h"

#include "fileio/RegularFile.h"
#include "fileio/SafeSave.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace joblet {

namespace {

// Far above any profile name; a planted large file is not read.
constexpr qint64 MaxSize = 4096;

} // namespace

LastProfile::LastProfile(QString file)
    : m_file(std::move(file))
{
}

QString LastProfile::defaultFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/joblet/last-profile");
}

QString LastProfile::name() const
{
    const std::optional<QByteArray> bytes = readRegularFile(m_file, MaxSize);
    if (!bytes)
        return {};
    // Blanks are kept: a profile's name may have them.
    return QString::fromUtf8(bytes->left(bytes->indexOf('\n')));
}

bool LastProfile::remember(const QString &name) const
{
    // A second line would be lost on reading.
    if (name.trimmed().isEmpty() || name.contains(u'\n') || name.contains(u'\r'))
        return false;
    // Not rewritten for every job added with the same profile.
    if (name == this->name())
        return true;
    return QDir().mkpath(QFileInfo(m_file).path()) && fileio::safeSave(m_file, name.toUtf8() + '\n');
}

QString LastProfile::pick(const ProfileCollection &profiles) const
{
    return profileChoice(profiles, name()).current;
}

} // namespace joblet
