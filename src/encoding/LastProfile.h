#pragma once

#include <QString>

namespace joblet {

class ProfileCollection;

// The profile the user chose last, kept per user: the jobs nobody picks a
// profile for (command line, drops, hand-off, joblet-batch make) get it.
// One line in a small file of the user's config folder.
class LastProfile {
public:
    explicit LastProfile(QString file = defaultFile());
    // $XDG_CONFIG_HOME/joblet/last-profile (~/.config when unset).
    static QString defaultFile();

    // Empty when nothing was kept or the file is refused.
    QString name() const;
    // False when it could not be kept; the choice then lasts this run only.
    bool remember(const QString &name) const;

    // What a job with no profile of its own gets from `profiles`: the kept
    // name when one of them has it (in the profile's letter case), else the
    // built-in default rule.
    QString pick(const ProfileCollection &profiles) const;

private:
    QString m_file;
};

} // namespace joblet
