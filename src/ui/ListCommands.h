#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QString>
#include <QStringList>

class QAbstractButton;
class QTreeView;
class QWidget;

namespace joblet {

class BatchList;
class RunControl;
class UiServices;

// The bodies of the main window's list commands (Add, Remove, Remove All,
// Clear Results, Save, Load); the window's click handlers call these.
class ListCommands {
    Q_DECLARE_TR_FUNCTIONS(joblet::ListCommands)

public:
    struct Controls {
        QWidget *window;
        QTreeView *list;
        QAbstractButton *add;
        QAbstractButton *remove;
        QAbstractButton *removeAll;
        QAbstractButton *clearResults;
        QAbstractButton *save;
        QAbstractButton *start;
    };

    // New rows go through `control`, which refuses them during a run.
    // Whatever adds rows to `list` (these commands, the command line, the
    // hand-off, a recovered list) turns on the buttons a list with rows has:
    // Remove, Remove All, Clear Results, Save and Start.
    ListCommands(BatchList &list, RunControl &control, UiServices &dialogs, const Controls &controls);
    ~ListCommands();
    ListCommands(const ListCommands &) = delete;
    ListCommands &operator=(const ListCommands &) = delete;

    // The profile of the job it added; empty when none was added.
    QString add();
    void remove();
    void removeAll();
    void clearResults();
    void save();
    void load();
    // Load without the dialog: true when a whole, non-empty list came in.
    bool loadFrom(const QString &path);
    // Add without the dialog, for files dropped on the list: each a job with
    // its output named from its media and `profile`; one message when any
    // could not be added (not a regular file, or not media).
    void addFiles(const QStringList &inputs, const QString &profile);

private:
    void enableListButtons();

    BatchList &m_list;
    RunControl &m_control;
    UiServices &m_dialogs;
    Controls m_controls;
    QMetaObject::Connection m_rowsAdded;
};

} // namespace joblet
