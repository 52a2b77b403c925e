#include "MediaCatalogue.h"

#include "ProfileCatalogue.h"

#include <QFileInfo>

namespace joblet {

namespace {

// Enough for a folder dropped at once; past it the memory is started afresh.
constexpr qsizetype MaxKnownFiles = 4096;

} // namespace

MediaCatalogue::MediaCatalogue(ProfileSource profiles, Prober prober)
    : m_profiles(std::move(profiles))
    , m_prober(std::move(prober))
{
}

std::optional<EncoderProfile> MediaCatalogue::find(const QString &name) const
{
    const ProfileCollection all = profiles();
    if (const EncoderProfile *p = findProfile(all, name))
        return *p;
    return std::nullopt;
}

SourceInfo MediaCatalogue::probe(const QString &path) const
{
    const QFileInfo file(path);
    Stamp stamp;
    if (file.isFile()) {
        stamp.size = file.size();
        stamp.modified = file.lastModified();
    }
    const QString key = file.absoluteFilePath();
    if (stamp.size >= 0) {
        const std::lock_guard lock(m_mutex);
        if (const auto it = m_known.constFind(key); it != m_known.constEnd() && it->stamp == stamp)
            return it->info;
    }
    const SourceInfo info = m_prober(path);
    if (stamp.size >= 0) {
        const std::lock_guard lock(m_mutex);
        if (m_known.size() >= MaxKnownFiles)
            m_known.clear();
        m_known.insert(key, {stamp, info});
    }
    return info;
}

} // namespace joblet
