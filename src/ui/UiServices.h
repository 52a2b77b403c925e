#pragma once

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
        QStringList filters;   // Qt form: "Description (*.a *.b)", first selected
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

    // "Desc(*.a)|*.a;*.b|Other|*.c" (blanks around '|' allowed) in Qt's
    // filter form: "Desc(*.a) (*.a *.b)", "Other (*.c)".
    static QStringList qtFilters(const QString &pairs);

    // "Error-" + number in decimal, the title of failure messages.
    static QString errorTitle(qint32 number);
    // Shows text with a critical icon, OK only, title errorTitle(number).
    void failure(QWidget *parent, const QString &text, qint32 number);
};

// Real message boxes and file dialogs; the add-item dialog gets its engines
// from `engines`.
class DesktopUiServices final : public UiServices {
public:
    explicit DesktopUiServices(const EngineFactory &engines);

    QMessageBox::StandardButton message(QWidget *parent, const QString &text,
                                        QMessageBox::StandardButtons buttons, Icon icon,
                                        const QString &title) override;
    QString openFile(QWidget *parent, const FileDialog &dialog) override;
    QString saveFile(QWidget *parent, const FileDialog &dialog) override;
    AddItemEntry addItem(QWidget *parent) override;

private:
    const EngineFactory &m_engines;
};

} // namespace joblet
