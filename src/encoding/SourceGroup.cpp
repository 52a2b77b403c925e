#include "SourceGroup.h"

#include "EncoderFailure.h"
#include "MediaCatalogue.h"

namespace joblet {

SourceGroup::SourceGroup(const MediaCatalogue &catalogue, QString name)
    : m_catalogue(catalogue)
    , m_name(std::move(name))
{
}

void SourceGroup::AutoSetFileSource(const QString &path)
{
    m_sourcePath.clear();
    m_info = {};
    SourceInfo info = m_catalogue.probe(path);
    m_sourcePath = path;
    m_info = info;
}

int SourceGroup::SourceCount(int mediaType) const
{
    switch (mediaType) {
    case MediaAudio: return m_info.audioCount;
    case MediaVideo: return m_info.videoCount;
    default: throw EncoderFailure(EngineError::InvalidArgument);
    }
}

SourceGroup &SourceGroupCollection::Add(const QString &name)
{
    m_groups.push_back(std::make_unique<SourceGroup>(m_catalogue, name));
    return *m_groups.back();
}

SourceGroup &SourceGroupCollection::Item(int index)
{
    if (index < 0 || index >= int(m_groups.size()))
        throw EncoderFailure(EngineError::InvalidArgument);
    return *m_groups[size_t(index)];
}

} // namespace joblet
