#pragma once

#include "EncoderProfile.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace joblet {

class EngineFactory;
class SourceGroup;

inline const QString DefaultProfileName = QStringLiteral("Qimto Clipwright 320X240");

// The profiles an engine offers: the built-in ones, then those users put as
// text files into the profile folders.
class ProfileCatalogue {
public:
    static QList<ProfileSettings> builtIn();

    // Per-user data folder first, then "profiles" in `programFolder` (none
    // when it is empty).
    static QStringList folders(const QString &programFolder);

    // Built-ins, then every readable profile file of `folders`. Files that do
    // not parse are skipped; each adds a line to *warnings and to the log.
    static QList<EncoderProfile> installed(const QStringList &folders,
                                           QStringList *warnings = nullptr);
    static QList<ProfileSettings> loadFolder(const QString &folder, QStringList *warnings);

    // One profile file's text; nullopt with *error set when it is malformed.
    static std::optional<ProfileSettings> parse(const QByteArray &text, QString *error);
};

// The profile list of the main window and the add-item dialog: every name in
// enumeration order, and the current one: the profile named `preferred`
// (letter case aside) when there is one, else the default name when a
// profile has exactly that name, else the first.
struct ProfileChoice {
    QStringList names;
    QString current;
};
ProfileChoice profileChoice(const ProfileCollection &profiles, const QString &preferred = {});
// Same, from a temporary engine of `engines`; failures give an empty choice.
ProfileChoice profileChoice(const EngineFactory &engines, const QString &preferred = {});

// Finds `profile` in `profiles` ignoring letter case (blanks count, first match
// wins), assigns it to `group` and leaves it in `found`. 0 on success, 1 when
// nothing matched or a step failed.
int GetProfile(const QString &profile, std::optional<EncoderProfile> &found,
               const ProfileCollection &profiles, SourceGroup &group);
// The profile GetProfile would find for `name`, without assigning it; null when none.
const EncoderProfile *findProfile(const ProfileCollection &profiles, const QString &name);

} // namespace joblet
