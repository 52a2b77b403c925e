#pragma once

#include <QStringList>

#include <optional>

namespace joblet {

class ProfileCollection;

// The profile box of the add dialog after an inspection: its list and the
// entry shown, -1 for an empty text.
struct ProfileNarrowing {
    QStringList names;
    int current = -1;

    QString text() const { return current >= 0 ? names.at(current) : QString(); }
};

// The profiles that suit an input with these source counts, keeping
// `remembered` (any letter case) when it is among them; nullopt when the
// input has neither audio nor video.
std::optional<ProfileNarrowing> narrowProfiles(int audioCount, int videoCount,
                                               const ProfileCollection &profiles,
                                               const QString &remembered);

} // namespace joblet
