#pragma once

#include "EncoderProfile.h"
#include "SourceGroup.h"

#include <QDateTime>
#include <QHash>
#include <QString>

#include <functional>
#include <mutex>

namespace joblet {

// The profiles on offer and what a media file holds: what the window, the
// dialogs and joblet-batch ask before there is anything to encode. Made once
// per process; an engine is made only to encode.
class MediaCatalogue {
public:
    using ProfileSource = std::function<ProfileCollection()>;
    using Prober = std::function<SourceInfo(const QString &path)>;

    MediaCatalogue(ProfileSource profiles, Prober prober);

    ProfileCollection profiles() const { return m_profiles(); }
    // The profile named `name`, letter case ignored; nullopt when none.
    std::optional<EncoderProfile> find(const QString &name) const;

    // Counts the streams of `path`; throws EncoderFailure. A file is opened
    // once while its size and time stay the same, so a file on its way from
    // the dialog to a row is not read again and again.
    SourceInfo probe(const QString &path) const;

private:
    struct Stamp {
        qint64 size = -1;
        QDateTime modified;
        bool operator==(const Stamp &) const = default;
    };
    struct Known {
        Stamp stamp;
        SourceInfo info;
    };

    ProfileSource m_profiles;
    Prober m_prober;
    mutable std::mutex m_mutex;
    mutable QHash<QString, Known> m_known;
};

} // namespace joblet
