#include "UiServices.h"

#include "FrmAddFiles.h"

#include "encoding/EngineFactory.h"
#include "encoding/ReadableMedia.h"

#include <QFileDialog>
#include <QRegularExpression>

namespace joblet {

namespace {

QMessageBox::Icon boxIcon(UiServices::Icon icon)
{
    switch (icon) {
    case UiServices::Icon::Critical:
        return QMessageBox::Critical;
    case UiServices::Icon::Exclamation:
        return QMessageBox::Warning;
    case UiServices::Icon::Question:
        return QMessageBox::Question;
    case UiServices::Icon::Information:
        return QMessageBox::Information;
    case UiServices::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QString fileDialog(QWidget *parent, const UiServices::FileDialog &dialog,
                   QFileDialog::AcceptMode mode)
{
    const QStringList filters = UiServices::dialogFilters(dialog);
    QFileDialog box(parent, dialog.title, dialog.fileName, filters.join(QStringLiteral(";;")));
    box.setAcceptMode(mode);
    box.setFileMode(dialog.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    box.setOption(QFileDialog::DontConfirmOverwrite, !dialog.confirmOverwrite);
    box.selectNameFilter(filters.first());
    if (box.exec() != QDialog::Accepted)
        return {};
    return box.selectedFiles().value(0);
}

} // namespace

DesktopUiServices::DesktopUiServices(const EngineFactory &engines, LastProfile lastProfile)
    : m_engines(engines)
    , m_lastProfile(std::move(lastProfile))
{
}

QMessageBox::StandardButton DesktopUiServices::message(QWidget *parent, const QString &text,
                                                   QMessageBox::StandardButtons buttons,
                                                   Icon icon, const QString &title)
{
    QMessageBox box(boxIcon(icon), title.isEmpty() ? QStringLiteral("Joblet") : title, text,
                    buttons, parent);
    return QMessageBox::StandardButton(box.exec());
}

QString DesktopUiServices::openFile(QWidget *parent, const FileDialog &dialog)
{
    return fileDialog(parent, dialog, QFileDialog::AcceptOpen);
}

QString DesktopUiServices::saveFile(QWidget *parent, const FileDialog &dialog)
{
    return fileDialog(parent, dialog, QFileDialog::AcceptSave);
}

UiServices::AddItemEntry DesktopUiServices::addItem(QWidget *parent)
{
    FrmAddFiles dialog(m_engines, *this, parent);
    dialog.setPreferredProfile(m_lastProfile.name());
    dialog.exec();
    return {dialog.GetInputFile(), dialog.GetOutputFile(), dialog.GetProfile()};
}

QStringList UiServices::qtFilters(const QString &pairs)
{
    // A description's own "(*.a,*.b)" or "(*.a;*.b)" at its end.
    static const QRegularExpression ownPatterns(QStringLiteral("\\s*\\([^()]*\\*[^()]*\\)\\s*$"));
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    // A description left without its patterns is dropped.
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString &pattern : patterns)
            pattern = pattern.trimmed();
        patterns.removeAll(QString());
        QString description = parts.at(i);
        description.remove(ownPatterns);
        filters << description.trimmed() + QStringLiteral(" (") + patterns.join(QLatin1Char(' '))
                       + QLatin1Char(')');
    }
    return filters;
}

namespace {

QString patterns(const QStringList &extensions)
{
    QStringList globs;
    for (const QString &ext : extensions)
        globs << QStringLiteral("*.") + ext;
    return QStringLiteral(" (") + globs.join(u' ') + u')';
}

} // namespace

QString UiServices::readableFilter()
{
    return tr("All readable media") + patterns(readableExtensions());
}

QStringList UiServices::containerFilters()
{
    QStringList filters;
    for (const MediaFamily &family : readableMedia())
        filters << QCoreApplication::translate("joblet::ReadableMedia", family.name)
                       + patterns(family.extensions);
    return filters;
}

QStringList UiServices::dialogFilters(const FileDialog &dialog)
{
    return QStringList(dialog.filters) << tr("All files (*)");
}

QString UiServices::errorTitle(qint32 number)
{
    return tr("Error-%1").arg(number);
}

void UiServices::failure(QWidget *parent, const QString &text, qint32 number)
{
    message(parent, text, QMessageBox::Ok, Icon::Critical, errorTitle(number));
}

} // namespace joblet
