#include "StartupRecovery.h"

#include "batch/BatchList.h"
#include "batch/RecoveryFile.h"
#include "ui/UiServices.h"

#include <QCoreApplication>
#include <QStandardPaths>

namespace joblet {

namespace {

// The translation context of the texts below.
struct Texts {
    Q_DECLARE_TR_FUNCTIONS(joblet::StartupRecovery)
};

} // namespace

QString recoveryFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
           + QStringLiteral("/joblet/recovery.jlt");
}

QString recoveryTitle()
{
    return Texts::tr("Recover Batch List");
}

QString recoveryQuestion(int rows)
{
    return Texts::tr("Joblet was not closed normally last time. Restore its batch list "
                     "(%1 jobs) with their results?")
        .arg(rows);
}

RecoveryAnswer offerRecovery(RecoveryFile &file, BatchList &list, UiServices &dialogs,
                             QWidget *parent, bool unattended)
{
    const QList<BatchItem> rows = file.carriedOver();
    if (rows.isEmpty())
        return RecoveryAnswer::NothingToOffer;
    if (unattended)
        return RecoveryAnswer::Postponed;
    const QMessageBox::StandardButton answer =
        dialogs.message(parent, recoveryQuestion(int(rows.size())), QMessageBox::Yes | QMessageBox::No,
                        UiServices::Icon::Question, recoveryTitle());
    // No answer (the program is ending under the question) decides nothing;
    // a list too full to take them keeps them for the next start.
    if (answer != QMessageBox::Yes && answer != QMessageBox::No)
        return RecoveryAnswer::Postponed;
    const bool yes = answer == QMessageBox::Yes;
    if (yes && !list.append(rows))
        return RecoveryAnswer::Postponed;
    file.dropCarriedOver();
    return yes ? RecoveryAnswer::Loaded : RecoveryAnswer::Discarded;
}

} // namespace joblet
