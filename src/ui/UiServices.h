#pragma once

#include "encoding/LastProfile.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

namespace joblet {
class EngineFactory;
}

namespace joblet {

// Every message box and file dialog goes through here, so tests can answer
// them without anything being shown. The program hands one to each window.
class UiServices {
    Q_DECLARE_TR_FUNCTIONS(joblet::UiServices)

public:
    virtual ~UiServices() = default;

    enum class Icon { None, Critical, Exclamation, Question, Information };

    // `title` empty means the application title "Joblet".
    virtual QMessageBox::StandardButton message(QWidget *parent, const QString &text,
                                                QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                                Icon icon = Icon::None,
                                                const QString &title = QString()) = 0;

    struct FileDialog {
        QString title;
        QStringList filters;   // Qt form: "Description (*.a *.b)", first selected;
                               // "All files (*)" is added after them
        QString fileName;      // proposed file name / folder
        bool mustExist = false;
        bool confirmOverwrite = true; // save dialogs: ask before replacing
    };
    // Empty when cancelled.
    virtual QString openFile(QWidget *parent, const FileDialog &dialog) = 0;
    virtual QString saveFile(QWidget *parent, const FileDialog &dialog) = 0;

    // The add-item dialog, shown modally; all three empty when nothing was
    // entered. The real one runs FrmAddFiles.
    struct AddItemEntry {
        QString inputFile;
        QString outputFile;
        QString profile;
    };
    virtual AddItemEntry addItem(QWidget *parent) = 0;

    // "Desc(*.a,*.b)|*.a;*.b|Other|*.c" (blanks around '|' allowed) in Qt's
    // filter form: "Desc (*.a *.b)", "Other (*.c)". A pattern list already
    // in the description gives way to the real one, so it shows once.
    static QStringList qtFilters(const QString &pairs);
    // Every file the engine reads, in one filter.
    static QString readableFilter();
    // One filter per media container the engine reads.
    static QStringList containerFilters();
    // What a file dialog offers: its own filters, then "All files (*)".
    static QStringList dialogFilters(const FileDialog &dialog);

    // "Error-" + number in decimal, the title of failure messages.
    static QString errorTitle(qint32 number);
    // Shows text with a critical icon, OK only, title errorTitle(number).
    void failure(QWidget *parent, const QString &text, qint32 number);
};

// Real message boxes and file dialogs; the add-item dialog gets its engines
// from `engines` and opens on the profile chosen last.
class DesktopUiServices final : public UiServices {
public:
    DesktopUiServices(const EngineFactory &engines, LastProfile lastProfile);

    QMessageBox::StandardButton message(QWidget *parent, const QString &text,
                                        QMessageBox::StandardButtons buttons, Icon icon,
                                        const QString &title) override;
    QString openFile(QWidget *parent, const FileDialog &dialog) override;
    QString saveFile(QWidget *parent, const FileDialog &dialog) override;
    AddItemEntry addItem(QWidget *parent) override;

private:
    const EngineFactory &m_engines;
    LastProfile m_lastProfile;
};

} // namespace joblet
