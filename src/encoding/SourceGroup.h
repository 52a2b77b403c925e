#pragma once

#include "EncoderProfile.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace joblet {

class MediaCatalogue;

// What an engine found in an input file.
struct SourceInfo {
    int audioCount = 0;
    int videoCount = 0;
    qint64 durationUs = 0; // 0 when unknown
    int width = 0;         // first video stream, 0 without video
    int height = 0;
};

// One input file with the profile it is encoded with.
class SourceGroup {
public:
    SourceGroup(const MediaCatalogue &catalogue, QString name);

    QString Name() const { return m_name; }

    // Opens the file through the catalogue; its streams become the sources.
    // Throws EncoderFailure; a failure leaves the group without a source.
    void AutoSetFileSource(const QString &path);
    // Sources of the given media type in the file; 0 before a source is set.
    int SourceCount(int mediaType) const;

    void setProfile(const EncoderProfile &profile) { m_profile = profile; }
    const std::optional<EncoderProfile> &Profile() const { return m_profile; }

    bool hasSource() const { return !m_sourcePath.isEmpty(); }
    const QString &sourcePath() const { return m_sourcePath; }
    const SourceInfo &sourceInfo() const { return m_info; }

private:
    const MediaCatalogue &m_catalogue;
    QString m_name;
    QString m_sourcePath;
    SourceInfo m_info;
    std::optional<EncoderProfile> m_profile;
};

class SourceGroupCollection {
public:
    explicit SourceGroupCollection(const MediaCatalogue &catalogue) : m_catalogue(catalogue) {}

    SourceGroup &Add(const QString &name);
    // 0-based; throws EncoderFailure(InvalidArgument) when out of range.
    SourceGroup &Item(int index);
    int Count() const { return int(m_groups.size()); }

private:
    const MediaCatalogue &m_catalogue;
    std::vector<std::unique_ptr<SourceGroup>> m_groups; // stable addresses
};

} // namespace joblet
