#include "FrmReport.h"
#include "Twips.h"

#include "LabelText.h"

#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

namespace joblet {

namespace {

QFont formFont()
{
    QFont font;
    font.setFamily(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    return font;
}

} // namespace

FrmReport::FrmReport(QWidget *mainWindow)
    : QWidget(nullptr, Qt::Window)
    , m_mainWindow(mainWindow)
    , m_label1(new QLabel(this))
    , m_lblStart(new QLabel(this))
    , m_lblEndTime(new QLabel(this))
    , m_list1(new QListWidget(this))
    , m_command1(new QPushButton(this))
{
    setObjectName(QStringLiteral("frmReport"));
    setWindowTitle(tr("Scheduled Session Report"));
    setAccessibleName(windowTitle());
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(formFont());
    setFixedSize(px(7275), px(5865));

    QFont heading = font();
    heading.setBold(true);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setFont(heading);
    m_label1->setAlignment(Qt::AlignCenter);
    m_label1->setText(tr("The following results were recorded during the scheduled session. "));
    m_label1->setGeometry(twipsRect(240, 60, 6660, 300));

    m_lblStart->setObjectName(QStringLiteral("lblStart"));
    m_lblStart->setGeometry(twipsRect(225, 405, 1275, 195));
    m_lblEndTime->setObjectName(QStringLiteral("lblEndTime"));
    m_lblEndTime->setGeometry(twipsRect(210, 675, 1245, 195));
    setTimeText(m_lblStart, tr("Session start time:"));
    setTimeText(m_lblEndTime, tr("Session end time:"));

    m_list1->setObjectName(QStringLiteral("List1"));
    m_list1->setAccessibleName(tr("Session results"));
    m_list1->setGeometry(twipsRect(255, 1065, 6720, 4155));

    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setText(tr("OK"));
    m_command1->setAccessibleName(tr("OK"));
    m_command1->setGeometry(twipsRect(5475, 5475, 1515, 330));
    m_command1->setDefault(true);
    connect(m_command1, &QPushButton::clicked, this, &FrmReport::Command1_Click);
}

// The run's texts are longer than the design's, so the label grows to the
// right (up to the window's edge and beyond if it must) and in height for
// the font in use, but never shrinks below its design size.
void FrmReport::setTimeText(QLabel *label, const QString &text)
{
    setLabelText(label, text);
    const QSize design = label == m_lblStart ? twipsRect(225, 405, 1275, 195).size()
                                             : twipsRect(210, 675, 1245, 195).size();
    const QSize needed = label->sizeHint();
    label->resize(std::max(design.width(), needed.width()),
                  std::max(design.height(), needed.height()));
}

void FrmReport::setStartTime(const QString &time)
{
    setTimeText(m_lblStart, tr("Session start time: ") + time);
}

void FrmReport::setEndTime(const QString &time)
{
    setTimeText(m_lblEndTime, tr("Session end time: ") + time);
}

void FrmReport::clearLines()
{
    m_list1->clear();
}

void FrmReport::addLine(const QString &line)
{
    m_list1->addItem(line);
}

QStringList FrmReport::lines() const
{
    QStringList result;
    for (int i = 0; i < m_list1->count(); ++i)
        result << m_list1->item(i)->text();
    return result;
}

void FrmReport::showCentred()
{
    // A report the user left open stays where they put it.
    if (!isVisible()) {
        // A native window first, so the frame counts in the centring where
        // the platform already knows it.
        winId();
        const QScreen *screen = QGuiApplication::primaryScreen();
        const QRect area = screen ? screen->availableGeometry() : QRect();
        const QSize outer = frameGeometry().size();
        move(area.left() + area.width() / 2 - outer.width() / 2,
             area.top() + area.height() / 2 - outer.height() / 2);
    }
    show();
    raise();
    activateWindow();
}

void FrmReport::Command1_Click()
{
    // Arming a schedule minimises the main window; the report brings it back.
    if (m_mainWindow && m_mainWindow->isMinimized())
        m_mainWindow->showNormal();
    close();
}

} // namespace joblet
