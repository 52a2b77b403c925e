#include "ProfileCatalogue.h"

#include <QStandardPaths>

namespace joblet {

QStringList ProfileCatalogue::folders(const QString &programFolder)
{
    QStringList result;
    // Empty when there is no home folder; "/joblet/profiles" is not ours to read.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!data.isEmpty())
        result << data + QStringLiteral("/joblet/profiles");
    if (!programFolder.isEmpty())
        result << programFolder + QStringLiteral("/profiles");
    return result;
}

QList<EncoderProfile> ProfileCatalogue::installed(const QStringList &folders,
                                                  QStringList *warnings)
{
    QList<EncoderProfile> result;
    for (ProfileSettings &p : builtIn())
        result << EncoderProfile(std::move(p));
    for (const QString &folder : folders) {
        for (ProfileSettings &p : loadFolder(folder, warnings))
            result << EncoderProfile(std::move(p));
    }
    return result;
}

} // namespace joblet
