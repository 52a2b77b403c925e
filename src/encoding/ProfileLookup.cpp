#include "ProfileCatalogue.h"

// Finding a profile by name and choosing the one a list offers first.

#include "EngineFactory.h"
#include "SourceGroup.h"

namespace joblet {

ProfileChoice profileChoice(const ProfileCollection &profiles, const QString &preferred)
{
    ProfileChoice choice;
    for (const EncoderProfile &p : profiles)
        choice.names << p.Name();
    if (const EncoderProfile *p = preferred.isEmpty() ? nullptr : findProfile(profiles, preferred))
        choice.current = p->Name();
    else if (choice.names.contains(DefaultProfileName, Qt::CaseSensitive))
        choice.current = DefaultProfileName;
    else if (!choice.names.isEmpty())
        choice.current = choice.names.first();
    return choice;
}

ProfileChoice profileChoice(const EngineFactory &engines, const QString &preferred)
{
    try {
        return profileChoice(engines.catalogue().profiles(), preferred);
    } catch (...) {
        // No engine means nothing to choose from; the caller shows an empty list.
        return {};
    }
}

const EncoderProfile *findProfile(const ProfileCollection &profiles, const QString &name)
{
    const QString wanted = name.toUpper();
    for (const EncoderProfile &p : profiles) {
        if (p.Name().toUpper() == wanted)
            return &p;
    }
    return nullptr;
}

int GetProfile(const QString &profile, std::optional<EncoderProfile> &found,
               const ProfileCollection &profiles, SourceGroup &group)
{
    try {
        if (const EncoderProfile *p = findProfile(profiles, profile)) {
            group.setProfile(*p);
            found = *p;
            return 0;
        }
    } catch (...) {
    }
    return 1;
}

} // namespace joblet
