#include "FrmReport.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace joblet {

FrmReport::FrmReport(QWidget *mainWindow, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_mainWindow(mainWindow)
    , m_label1(new QLabel(this))
    , m_lblStart(new QLabel(this))
    , m_lblEndTime(new QLabel(this))
    , m_list1(new QListWidget(this))
    , m_command1(new QPushButton(this))
{
}

void FrmReport::setStartTime(const QString &) {}
void FrmReport::setEndTime(const QString &) {}
void FrmReport::clearLines() {}
void FrmReport::addLine(const QString &) {}
QStringList FrmReport::lines() const { return {}; }
void FrmReport::showCentred() {}
void FrmReport::Command1_Click() {}

} // namespace joblet
