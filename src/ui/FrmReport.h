#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;

namespace joblet {

// "Scheduled Session Report": filled by a timed run, shown at its end, and
// deleted by its OK button. A top-level window without a parent: as the
// main window's transient it would vanish with it when minimised. Whoever
// creates it closes it with the program.
class FrmReport : public QWidget {
    Q_OBJECT

public:
    // `mainWindow` is restored from minimised by OK.
    explicit FrmReport(QWidget *mainWindow);

    void setStartTime(const QString &time); // "Session start time: " + time
    void setEndTime(const QString &time);   // "Session end time: " + time
    void clearLines();
    void addLine(const QString &line);
    QStringList lines() const;
    // Shows the window centred on the screen without blocking.
    void showCentred();

    void Command1_Click();

private:
    void setTimeText(QLabel *label, const QString &text);

    QPointer<QWidget> m_mainWindow;
    QLabel *m_label1;
    QLabel *m_lblStart;
    QLabel *m_lblEndTime;
    QListWidget *m_list1;
    QPushButton *m_command1;
};

} // namespace joblet
