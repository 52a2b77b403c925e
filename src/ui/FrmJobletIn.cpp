#include "FrmJobletIn.h"
#include "Twips.h"

#include "FrmReport.h"
#include "JobProgressPage.h"
#include "ListColumns.h"
#include "ListCommands.h"
#include "PropertyPageHost.h"
#include "UiServices.h"

#include "batch/BatchList.h"
#include "batch/JobResult.h"
#include "encoding/EncoderEngine.h"
#include "encoding/EncoderFailure.h"
#include "encoding/EngineFactory.h"
#include "encoding/ProfileCatalogue.h"
#include "schedule/Clock.h"
#include "schedule/StartTime.h"

#include "LabelText.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLabel>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <initializer_list>

namespace joblet {

namespace {

const char *const AppTitle = QT_TRANSLATE_NOOP("joblet::FrmJobletIn", "Qimto Media Joblet");
const char *const CountdownCaption =
    QT_TRANSLATE_NOOP("joblet::FrmJobletIn", "Encoder session will start in ");
const char *const InProgressCaption =
    QT_TRANSLATE_NOOP("joblet::FrmJobletIn", "Encoder session in progress.");

void enable(std::initializer_list<QWidget *> widgets, bool on)
{
    for (QWidget *w : widgets)
        w->setEnabled(on);
}

} // namespace

FrmJobletIn::FrmJobletIn(const AppContext &context, QWidget *parent)
    : QWidget(parent)
    , m_context(context)
    , m_list(new BatchList(this))
    , m_control(new RunControl(*m_list, context.engines, context.clock, context.reportsFolder, this))
    , m_defaultProfile(DefaultProfileName)
{
    setObjectName(QStringLiteral("FrmJobletIn"));
    setCaption(tr(AppTitle));
    // Sizes are client sizes: the frame belongs to the window manager (and
    // offscreen there is none), so the document's outer minimum is applied
    // to the client area, and the panels meet exactly at the client's edges.
    setMinimumSize(px(9945), px(8400));
    resize(px(12180), px(7995));

    createContainers();
    createList();
    createButtons();
    createTimedSessionGroup();
    createTimers();
    setFocusOrder();
    connectControl();
    watchList();
    Form_Resize();
}

FrmJobletIn::~FrmJobletIn()
{
    // The report is a window of its own, not a child: it goes with us.
    delete m_report;
}

void FrmJobletIn::connectControl()
{
    SessionRunner *runner = &m_control->runner();
    connect(runner, &SessionRunner::engineCreated, this, &FrmJobletIn::Runner_EngineCreated);
    connect(runner, &SessionRunner::engineReleased, this, &FrmJobletIn::Runner_EngineReleased);
    connect(runner, &SessionRunner::jobStarted, this, &FrmJobletIn::Runner_JobStarted);
    connect(runner, &SessionRunner::jobEnded, this, &FrmJobletIn::Runner_JobEnded);
    connect(m_control, &RunControl::runStarted, this, &FrmJobletIn::Control_RunStarted);
    connect(m_control, &RunControl::runEnded, this, &FrmJobletIn::Control_RunEnded);
    connect(m_control, &RunControl::startFailed, this, &FrmJobletIn::Control_StartFailed);
    connect(m_control, &RunControl::reportStarted, this, &FrmJobletIn::Control_ReportStarted);
    connect(m_control, &RunControl::reportLine, this, [this](const QString &line) {
        if (m_report)
            m_report->addLine(line);
    });
    connect(m_control, &RunControl::reportEnded, this, &FrmJobletIn::Control_ReportEnded);
}

void FrmJobletIn::watchList()
{
    m_checkLater = new QTimer(this);
    m_checkLater->setSingleShot(true);
    m_checkLater->setInterval(0);
    // Not while a run encodes; its end checks again anyway.
    connect(m_checkLater, &QTimer::timeout, this, [this] {
        if (m_control->state() != RunControl::State::Running)
            checkList();
    });
    const auto later = [this] { m_checkLater->start(); };
    connect(m_list, &QAbstractItemModel::rowsInserted, this, later);
    connect(m_list, &QAbstractItemModel::rowsRemoved, this, later);
    connect(m_list, &QAbstractItemModel::modelReset, this, later);
    // Results cleared; a run's own results leave the other rows as they were.
    connect(m_list, &QAbstractItemModel::dataChanged, this,
            [this, later](const QModelIndex &, const QModelIndex &bottomRight, const QList<int> &roles) {
                if (bottomRight.column() == BatchList::ResultColumn && roles.contains(Qt::DisplayRole)
                    && m_control->state() != RunControl::State::Running)
                    later();
            });
}

QList<RowProblem> FrmJobletIn::checkList()
{
    m_checkLater->stop();
    QList<BatchItem> items;
    items.reserve(m_list->count());
    for (int row = 1; row <= m_list->count(); ++row)
        items << m_list->item(row);
    const QList<RowProblem> problems = checkRows(items, m_context.engines);
    m_list->setProblems(problems);
    return problems;
}

void FrmJobletIn::showProblems(const QList<RowProblem> &problems)
{
    if (problems.isEmpty())
        return;
    // One line per row, named by its file, in row order.
    QList<int> rows;
    QHash<int, QStringList> why;
    for (const RowProblem &p : problems) {
        if (!why.contains(p.row))
            rows << p.row;
        why[p.row] << p.text + QStringLiteral(" (") + resultText(p.number) + u')';
    }
    constexpr int MostLines = 10;
    QStringList lines {tr("These jobs would fail as the list stands:")};
    for (qsizetype i = 0; i < rows.size() && i < MostLines; ++i) {
        const QString input = m_list->item(rows.at(i)).inputFile;
        const QString name = input.isEmpty() ? tr("Row %1").arg(rows.at(i)) : QFileInfo(input).fileName();
        lines << name + QStringLiteral(": ") + why.value(rows.at(i)).join(QStringLiteral("; "));
    }
    if (rows.size() > MostLines)
        lines << tr("and %n more", nullptr, int(rows.size() - MostLines));
    m_context.dialogs.message(this, lines.join(u'\n'), QMessageBox::Ok, UiServices::Icon::Exclamation);
}

FrmReport *FrmJobletIn::report() const
{
    return m_report;
}

void FrmJobletIn::setCaption(const QString &caption)
{
    setWindowTitle(caption);
    // A minimised window is read by its icon text, not its title.
    setWindowIconText(caption);
}

QString FrmJobletIn::statusText() const
{
    return m_statusText->text();
}

void FrmJobletIn::Form_Load()
{
    m_defaultProfile = DefaultProfileName;
    resize(px(9945), px(8400));
    // A hidden window gets its resize event only when shown; the column
    // widths below need the list's width now.
    Form_Resize();
    setLabelText(lblSysTime, m_context.clock.timeText());
    if (const QScreen *s = screen())
        move(s->geometry().center() - rect().center());
    FillCombo();

    const QTime now = m_context.clock.currentTime();
    lstHour->clear();
    for (int h = 0; h < 24; ++h)
        lstHour->addItem(QString::number(h));
    lstHour->setCurrentIndex(nextFullHour(now));
    lstMinute->clear();
    for (int m = 0; m < 60; ++m)
        lstMinute->addItem(QString::number(m));
    lstMinute->setCurrentIndex(now.minute());

    for (int c = 0; c < BatchList::ColumnCount; ++c)
        LvwJoblet->setColumnWidth(c, LvwJoblet->width() / 4);
    setLabelText(m_statusText, tr("Encoder Stopped"));
    enable({CmdRemove, CmdRemoveAll, CmdClearResults, CmdSave, CmdStart, CmdStop}, false);
    enable({CmdAdd, CmdLoad, Command1, CmdExit}, true);
}

void FrmJobletIn::CmdAdd_Click()
{
    const QString chosen = m_commands->add();
    if (chosen.isEmpty())
        return;
    // Drops, hand-off and command-line jobs follow the user's last choice,
    // in this run and the next ones.
    m_context.lastProfile.remember(chosen);
    FillCombo();
}
void FrmJobletIn::CmdRemove_Click() { m_commands->remove(); }
void FrmJobletIn::CmdRemoveAll_Click() { m_commands->removeAll(); }
void FrmJobletIn::CmdClearResults_Click() { m_commands->clearResults(); }
void FrmJobletIn::CmdSave_Click() { m_commands->save(); }
void FrmJobletIn::CmdLoad_Click() { m_commands->load(); }

void FrmJobletIn::CmdStart_Click()
{
    if (m_control->start(RunControl::Origin::StartButton) == RunControl::Verdict::NoFiles)
        m_context.dialogs.message(this, tr("No files to encode"));
    // The run goes on from the event loop; Control_RunEnded finishes it.
}

void FrmJobletIn::Control_RunStarted()
{
    enable({CmdStart, CmdAdd, CmdRemove, CmdClearResults, CmdRemoveAll, CmdSave, CmdLoad}, false);
    CmdStop->setEnabled(true);
}

void FrmJobletIn::Control_StartFailed(qint32 number)
{
    m_context.dialogs.failure(this, tr("Error Processing Input"), number);
    // Leaving every button disabled would strand the user.
    Control_RunEnded({SessionRunner::Outcome::Stopped});
}

void FrmJobletIn::Control_RunEnded(const RunControl::RunSummary &summary)
{
    const bool finished = summary.outcome == SessionRunner::Outcome::Finished;
    enable({CmdAdd, CmdRemove, CmdRemoveAll, CmdClearResults, CmdLoad, CmdSave}, true);
    // A finished list has nothing left to start until it changes.
    CmdStart->setEnabled(!finished);
    CmdStop->setEnabled(false);
    // Rows now Done are past checking; the others may have changed meanwhile.
    m_checkLater->start();
    // A run that never started has nothing to count.
    if (summary.tally.rows() > 0)
        setLabelText(m_statusText, summary.tally.text());
}

void FrmJobletIn::Control_ReportStarted(const QString &time)
{
    if (!m_report)
        m_report = new FrmReport(this);
    m_report->setStartTime(time);
    m_report->clearLines();
}

void FrmJobletIn::Control_ReportEnded(const QString &time, bool finished)
{
    // A report cut short by Stop stays unfinished and out of view.
    if (!m_report || !finished)
        return;
    m_report->setEndTime(time);
    m_report->showCentred();
}

void FrmJobletIn::showSchedule()
{
    const bool armed = m_control->state() == RunControl::State::Armed;
    picButtons->setVisible(!armed);
    setLabelText(lblTimerStatus, armed ? tr("The timer is running")
                                       : tr("The timer is not running"));
    setLabelText(Label2, armed ? tr("Remaining Time:") : tr("System Time:"));
    if (armed) {
        Timer1->stop();
        startCountdownTick();
    } else {
        Timer1->start();
        Timer2->stop();
    }
}

void FrmJobletIn::CmdStop_Click()
{
    try {
        m_control->stop();
    } catch (const EncoderFailure &failure) {
        m_context.dialogs.failure(this, tr("Error stopping Encoder"), failure.number());
    }
}

void FrmJobletIn::CmdExit_Click()
{
    endSession();
    close();
    QCoreApplication::quit();
}

void FrmJobletIn::closeEvent(QCloseEvent *event)
{
    Form_QueryUnload();
    event->accept();
}

void FrmJobletIn::Form_QueryUnload()
{
    endSession();
    if (m_report)
        m_report->close();
    if (!m_context.markerFile.isEmpty())
        QFile::remove(m_context.markerFile); // already gone is fine
}

void FrmJobletIn::endSession()
{
    m_control->exit();
    Timer1->stop();
    Timer2->stop();
}

void FrmJobletIn::LvwJoblet_Click()
{
    m_list->setHighlightedRow(m_list->selectedRow());
    // The option that keeps the whole selected row marked.
    LvwJoblet->setSelectionBehavior(QAbstractItemView::SelectRows);
}

bool FrmJobletIn::eventFilter(QObject *watched, QEvent *event)
{
    // Release, not press: the view has moved its selection by then.
    if (watched == LvwJoblet->viewport() && event->type() == QEvent::MouseButtonRelease)
        LvwJoblet_Click();
    // The viewport, not the view: a scroll bar coming or going changes it too.
    if (watched == LvwJoblet->viewport() && event->type() == QEvent::Resize)
        shareColumns(LvwJoblet->header(), LvwJoblet->viewport()->width());
    return QWidget::eventFilter(watched, event);
}

void FrmJobletIn::Timer1_Timer()
{
    setLabelText(lblSysTime, m_context.clock.timeText());
}

void FrmJobletIn::Command1_Click()
{
    if (m_list->count() == 0) {
        m_context.dialogs.message(
            this, tr("Please add some files to encode before starting the timer."));
        return;
    }
    if (m_control->state() == RunControl::State::Armed)
        cancelSchedule();
    else
        armSchedule();
}

void FrmJobletIn::armSchedule()
{
    TimedSchedule::StartCheck check;
    switch (m_control->checkArm(lstHour->currentText().toInt(), lstMinute->currentText().toInt(),
                                &check)) {
    case RunControl::Verdict::Accepted:
        break;
    case RunControl::Verdict::InProgress:
        m_context.dialogs.message(
            this, tr("The encoder session is running.\r\nPlease press the Stop "
                                 "button to end this session before setting a new schedule."));
        return;
    case RunControl::Verdict::NotInFuture:
        m_context.dialogs.message(this,
                                  tr("Please set the start time for a time in the future."));
        lstHour->setCurrentIndex(check.hourToSelect);
        return;
    default:
        return;
    }
    // Before the question, so that a list that would fail can still be put
    // right first; the schedule may be armed all the same.
    showProblems(checkList());
    const QString question = tr("Do you want to start an encoding session at %1")
                                 .arg(lstHour->currentText() + QLatin1Char(':') + lstMinute->currentText()
                                      + QStringLiteral(":00"));
    if (m_context.dialogs.message(this, question, QMessageBox::Yes | QMessageBox::No)
            != QMessageBox::Yes
        || m_control->arm(check) != RunControl::Verdict::Accepted)
        return;
    showSchedule();
    // Not showMinimized(): a window not yet shown stays so.
    setWindowState(windowState() | Qt::WindowMinimized);
    setCaption(tr(CountdownCaption) + lblSysTime->text());
}

void FrmJobletIn::startCountdownTick()
{
    // Just after the clock's next whole second, so the run starts within a
    // few milliseconds of its moment rather than up to a second late.
    Timer2->start(1000 - m_context.clock.now().time().msec() + 10);
}

void FrmJobletIn::cancelSchedule()
{
    if (m_context.dialogs.message(this,
                                  tr("Do you want to stop the scheduled encoding session?"),
                                  QMessageBox::Yes | QMessageBox::No)
        != QMessageBox::Yes)
        return;
    m_control->cancel();
    showSchedule();
    setCaption(tr(AppTitle));
}

void FrmJobletIn::Timer2_Timer()
{
    // The lists stay usable while armed: each tick takes their selection.
    const TimedSchedule::Tick tick =
        m_control->tick(lstHour->currentText().toInt(), lstMinute->currentText().toInt());
    if (tick.countdown.isEmpty())
        return;
    setLabelText(lblSysTime, tick.countdown);
    if (!tick.fire) {
        setCaption(tr(CountdownCaption) + tick.countdown);
        startCountdownTick();
        return;
    }
    // The run has started (or failed to) inside the tick.
    showSchedule();
    setCaption(tr(InProgressCaption));
}

QString FrmJobletIn::chosenProfile() const
{
    return CmbProfile->currentText().isEmpty() ? DefaultProfileName : CmbProfile->currentText();
}

void FrmJobletIn::Timer3_Timer()
{
    // Every tick fixes the profile of the jobs it may add.
    m_defaultProfile = chosenProfile();
    // During a run the file waits for the first tick after it.
    if (m_control->state() == RunControl::State::Running)
        return;
    Q_EMIT handOffDue(m_defaultProfile);
}

void FrmJobletIn::CommandLine_Job(const QString &InputFile, const QString &OutputFile, bool startRun)
{
    try {
        // The profile chosen last, else exactly the default name if offered,
        // else the first; untrimmed into the job, trimmed for later jobs.
        const QString profile = m_context.lastProfile.pick(m_context.engines.catalogue().profiles());
        m_defaultProfile = profile.trimmed();
        QString output = OutputFile;
        if (m_control->addJob(InputFile, output, profile) != 0)
            return;
        startWhenShown(startRun);
    } catch (const EncoderFailure &failure) {
        m_context.dialogs.failure(this, tr("Error Executing Application"),
                                  failure.number());
    }
}

void FrmJobletIn::CommandLine_List(const QString &path, bool startRun)
{
    if (m_commands->loadFrom(path))
        startWhenShown(startRun);
}

void FrmJobletIn::startWhenShown(bool startRun)
{
    show();
    // Queued, so the window is painted first and no event loop runs here.
    if (startRun)
        QMetaObject::invokeMethod(
            this, [this] { m_control->start(RunControl::Origin::CommandLine); },
            Qt::QueuedConnection);
}

void FrmJobletIn::Runner_EngineCreated(EncoderEngine *engine)
{
    PropMain->AddObject(engine);
    PropMain->AddPage(new JobProgressPage(m_context.clock, &m_control->runner()));
}

void FrmJobletIn::Runner_EngineReleased()
{
    PropMain->AddObject(nullptr);
}

void FrmJobletIn::Runner_JobStarted(int row)
{
    setLabelText(m_statusText,
                 tr("Encoder Running: %1").arg(QFileInfo(m_list->item(row).inputFile).fileName()));
}

void FrmJobletIn::Runner_JobEnded()
{
    setLabelText(m_statusText, tr("Encoder Stopped"));
}

} // namespace joblet
