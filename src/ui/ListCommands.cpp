#include "ListCommands.h"

#include "UiServices.h"

#include "batch/BatchList.h"
#include "batch/BatchListFile.h"
#include "fileio/Text.h"
#include "session/RunControl.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QTreeView>

#include <exception>

namespace joblet {

namespace {

// The filter of the window's one file dialog, shared by Save and Load.
const char *const JobletFilter = QT_TRANSLATE_NOOP("joblet::ListCommands", "Joblet Files (*.jlt) | *.jlt");

UiServices::FileDialog jobletDialog(const QString &title, bool mustExist)
{
    // A fresh name every time: the next use starts empty.
    return {title, UiServices::qtFilters(ListCommands::tr(JobletFilter)), QString(), mustExist};
}

} // namespace

ListCommands::ListCommands(BatchList &list, RunControl &control, UiServices &dialogs,
                           const Controls &controls)
    : m_list(list)
    , m_control(control)
    , m_dialogs(dialogs)
    , m_controls(controls)
{
    m_rowsAdded = QObject::connect(&m_list, &QAbstractItemModel::rowsInserted, m_controls.window,
                                   [this] { enableListButtons(); });
}

ListCommands::~ListCommands()
{
    QObject::disconnect(m_rowsAdded);
}

void ListCommands::enableListButtons()
{
    for (QAbstractButton *b : {m_controls.remove, m_controls.removeAll, m_controls.clearResults,
                               m_controls.save, m_controls.start})
        b->setEnabled(true);
}

QString ListCommands::add()
{
    try {
        UiServices::AddItemEntry entry = m_dialogs.addItem(m_controls.window);
        // Blanks only are not "nothing entered"; they reach the list trimmed.
        if (entry.inputFile.isEmpty()) {
            m_controls.add->setFocus();
            return {};
        }
        const QString input = trimSpaces(entry.inputFile);
        QString output = trimSpaces(entry.outputFile);
        const QString profile = trimSpaces(entry.profile);
        const bool added = m_control.addJob(input, output, profile) == 0;
        if (!added) {
            m_dialogs.message(m_controls.window,
                                           tr("Error Populating the list"));
            // The list buttons come on all the same, as for an added row.
            enableListButtons();
        }
        return added ? profile : QString();
    } catch (...) {
        // Add fails silently; a row that could not be added was reported above.
    }
    return {};
}

void ListCommands::addFiles(const QStringList &inputs, const QString &profile)
{
    bool failed = false;
    for (const QString &input : inputs) {
        const QFileInfo file(input);
        QString output = QStringLiteral("None");
        // Regular files only: a link is not followed, a folder is no job.
        if (file.isSymLink() || !file.isFile()
            || m_control.addJob(input, output, profile) != 0)
            failed = true;
    }
    if (failed)
        m_dialogs.message(m_controls.window, tr("Error Populating the list"));
}

void ListCommands::remove()
{
    if (m_list.count() == 0)
        return;
    try {
        // With no row selected this throws, and the list stays as it was.
        m_list.remove(m_list.selectedRow());
    } catch (const std::exception &) {
        m_dialogs.message(m_controls.window,
                                       tr("Error Removing Selected Entry From List"),
                                       QMessageBox::Ok, UiServices::Icon::Exclamation);
    }
}

void ListCommands::removeAll()
{
    try {
        // One reset rather than a signal per row; the outcome is the same.
        m_list.removeAll();
    } catch (const std::exception &) {
        m_dialogs.message(m_controls.window,
                                       tr("Error Removing Entries from List"),
                                       QMessageBox::Ok, UiServices::Icon::Exclamation);
    }
}

void ListCommands::clearResults()
{
    try {
        if (m_list.count() == 0)
            m_dialogs.message(m_controls.window, tr("Nothing to clear"));
        m_list.clearResults();
        m_controls.start->setEnabled(true);
    } catch (const std::exception &) {
        m_dialogs.message(m_controls.window, tr("Error clearing the list"),
                                       QMessageBox::Ok, UiServices::Icon::Exclamation);
    }
}

void ListCommands::save()
{
    const QString path = m_dialogs.saveFile(
        m_controls.window, jobletDialog(tr("Save File"), false));
    if (path.isEmpty())
        return;
    BatchListFile::Failure failure;
    if (!BatchListFile::save(m_list, path, &failure))
        m_dialogs.failure(m_controls.window, tr("Error Saving List Entries"),
                                       failure.number);
}

void ListCommands::load()
{
    const QString path = m_dialogs.openFile(
        m_controls.window, jobletDialog(tr("Input File"), true));
    if (path.isEmpty())
        return;
    loadFrom(path);
}

bool ListCommands::loadFrom(const QString &path)
{
    if (const qint32 number = BatchListFile::replaceList(m_list, path)) {
        m_dialogs.failure(m_controls.window, tr("Error Loading Saved Configuration"),
                          number);
        return false;
    }
    if (m_list.count() == 0)
        return false;
    m_controls.list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list.setHighlightedRow(1);
    return true;
}

} // namespace joblet
