#pragma once

#include "AppContext.h"

#include "batch/ListCheck.h"
#include "session/RunControl.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QComboBox;
class QGroupBox;
class QLabel;
class QStatusBar;
class QTimer;
class QToolButton;
class QTreeView;

namespace joblet {

class BatchList;
class EncoderEngine;
class FrmReport;
class ListCommands;
class PropertyPageHost;

// The program's one permanent window: the batch list, the property panel of
// the running engine, the command buttons, the timed-session group and the
// encoder status. Controls carry their design names as objectNames.
class FrmJobletIn : public QWidget {
    Q_OBJECT

public:
    explicit FrmJobletIn(const AppContext &context, QWidget *parent = nullptr);
    ~FrmJobletIn() override;

    // Start-up: first size and place, profile and start-time lists, button
    // states. Call once before showing the window.
    void Form_Load();
    // Fills the hidden profile box from a temporary engine.
    void FillCombo();
    // The rest of start-up for a file the command line named (the program
    // worked out input and output): one job with the default profile of a
    // fresh engine; with `startRun` the run starts once the window shows.
    void CommandLine_Job(const QString &InputFile, const QString &OutputFile, bool startRun);
    // A list the command line named, loaded as Load does.
    void CommandLine_List(const QString &path, bool startRun);

    BatchList &list() const { return *m_list; }
    // The run state's one owner; the window draws what it answers.
    RunControl &control() const { return *m_control; }
    SessionRunner &runner() const { return m_control->runner(); }
    // The report of the last timed run, while its window exists.
    FrmReport *report() const;

    QString DefaultProfile() const { return m_defaultProfile; }
    // The profile of jobs that arrive unattended (hand-off, drops): the
    // hidden profile box's text, else the default name.
    QString chosenProfile() const;
    void setDefaultProfile(const QString &name) { m_defaultProfile = name; }
    // While a schedule is armed and through the run it starts; such a run
    // fills and finally shows the report.
    bool TimedSession() const { return m_control->timedSession(); }

    QString statusText() const;

    // What would make the rows not yet Done fail, each row's findings put
    // into its tool tips.
    QList<RowProblem> checkList();

    void CmdAdd_Click();
    void CmdRemove_Click();
    void CmdRemoveAll_Click();
    void CmdClearResults_Click();
    void CmdSave_Click();
    void CmdLoad_Click();
    void CmdStart_Click();
    void CmdStop_Click();
    void CmdExit_Click();
    void LvwJoblet_Click();
    void Command1_Click();
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer3_Timer();

Q_SIGNALS:
    // Timer3: the hand-off file is due a poll (never during a run); the jobs
    // it adds get `profile`, the tick's DefaultProfile.
    void handOffDue(const QString &profile);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createContainers();
    void createButtons();
    void createTimedSessionGroup();
    void createList();
    void createTimers();
    void setFocusOrder();
    void connectControl();
    void setCaption(const QString &caption);

    void Form_Resize();
    void Form_QueryUnload();
    void endSession();
    void showSchedule();
    void startWhenShown(bool startRun);
    void armSchedule();
    void cancelSchedule();
    void startCountdownTick();
    void watchList();
    void showProblems(const QList<RowProblem> &problems);

    void Runner_EngineCreated(EncoderEngine *engine);
    void Runner_EngineReleased();
    void Runner_JobStarted(int row);
    void Runner_JobEnded();
    void Control_RunStarted();
    void Control_RunEnded(const RunControl::RunSummary &summary);
    void Control_StartFailed(qint32 number);
    void Control_ReportStarted(const QString &time);
    void Control_ReportEnded(const QString &time, bool finished);
    void List_SelectedRowChanged(int number);
    void LvwJoblet_CurrentRowChanged();

    AppContext m_context;
    BatchList *m_list;
    RunControl *m_control;
    QString m_defaultProfile;
    // A top-level window of its own, so that desktops that hide a minimised
    // window's transients leave it in view.
    QPointer<FrmReport> m_report;
    std::unique_ptr<ListCommands> m_commands;

    QWidget *Picture1 = nullptr;
    QWidget *Picture2 = nullptr;
    QWidget *picButtons = nullptr;
    QGroupBox *Frame1 = nullptr;
    QStatusBar *StaEncoderStat = nullptr;
    QLabel *m_statusText = nullptr;

    QTreeView *LvwJoblet = nullptr;
    PropertyPageHost *PropMain = nullptr;
    QComboBox *CmbProfile = nullptr;

    QToolButton *CmdAdd = nullptr;
    QToolButton *CmdRemove = nullptr;
    QToolButton *CmdRemoveAll = nullptr;
    QToolButton *CmdClearResults = nullptr;
    QToolButton *CmdLoad = nullptr;
    QToolButton *CmdSave = nullptr;
    QToolButton *CmdStart = nullptr;
    QToolButton *CmdStop = nullptr;
    QToolButton *CmdExit = nullptr;
    QToolButton *Command1 = nullptr;

    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *lblSysTime = nullptr;
    QLabel *lblTimerStatus = nullptr;
    QComboBox *lstHour = nullptr;
    QComboBox *lstMinute = nullptr;

    QTimer *Timer1 = nullptr;
    QTimer *Timer2 = nullptr;
    QTimer *Timer3 = nullptr;
    // Coalesces the changes of one pass (a load, a hand-off) into one check.
    QTimer *m_checkLater = nullptr;
};

} // namespace joblet
