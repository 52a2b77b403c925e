#pragma once

#include <QString>

class QWidget;

namespace joblet {

class BatchList;
class RecoveryFile;
class UiServices;

// The recovery file of this user: in the per-user data folder
// ($XDG_DATA_HOME/joblet, else ~/.local/share/joblet).
QString recoveryFilePath();

// The question that offers a crashed session's list back.
QString recoveryQuestion(int rows);
QString recoveryTitle();

enum class RecoveryAnswer {
    NothingToOffer,
    Postponed, // an unattended start: the rows stay in the file for the next start
    Loaded,    // the rows, with their Results, were added to the list
    Discarded,
};

// After the window is shown: one question through `dialogs` when the file held
// rows; Yes appends them to `list` with their Results, so the next Start skips
// the rows already "Done"; No forgets them. An unattended start asks nothing.
RecoveryAnswer offerRecovery(RecoveryFile &file, BatchList &list, UiServices &dialogs,
                             QWidget *parent, bool unattended);

} // namespace joblet
