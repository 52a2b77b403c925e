#include "WindowFixture.h"

#include "batch/JobResult.h"
#include "session/SessionRunner.h"
#include "ui/FrmReport.h"

#include <QAccessible>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QTimer>
#include <QTreeView>

using namespace joblet;

namespace {

// Enabled once a run is stopped or failed.
const QStringList afterStop = panelButtons.mid(0, 7);

struct Fixture : WindowFixture {
    using WindowFixture::WindowFixture;
    QString marker() const { return tc.programFolder.filePath("JobletRunning"); }
    void setStart(const QString &hour, const QString &minute)
    {
        get<QComboBox>("lstHour")->setCurrentText(hour);
        get<QComboBox>("lstMinute")->setCurrentText(minute);
    }
    // `act` once a job is really encoding.
    void whenEncoding(const std::function<void()> &act)
    {
        QObject::connect(&window.runner(), &SessionRunner::engineCreated, &window, [this, act](EncoderEngine *e) {
            QObject::connect(e, &EncoderEngine::RunStateChanged, &window, [act](qint32 s) {
                if (s == RunRunning)
                    act();
            });
        });
    }
    // Starts the run and waits for its end.
    bool run()
    {
        QSignalSpy ended(&window.runner(), &SessionRunner::runEnded);
        click("CmdStart");
        return ended.wait(10000);
    }
};

// The start the lists propose at load, the start chosen ("h:m"), the answer
// to the question, the last message, and what the schedule button leaves.
struct ScheduleRow {
    QTime now; QString proposed; bool withJob; QString start; bool yes; QString message, hourAfter; bool armed;
};

QString accessibleName(QWidget *w)
{
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(QAccessible::Name) : QString();
}

// Each command failure reported once, leaving the buttons usable.
struct FailureRow {
    QString command; bool withJob; QString text; bool critical; QStringList enabled;
};

// `jobProfile` empty: no job added.
struct CommandLineRow { QString setup; bool run; QString jobProfile, defaultProfile; };

} // namespace

class Tst_FrmJobletIn : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initialState()
    {
        Fixture f; // its controls' names are tst_captions' rows
        QCOMPARE(f.enabledButtons(), QStringList({"CmdAdd", "CmdLoad"}));
        QVERIFY(f.button("Command1")->isEnabled() && f.button("CmdExit")->isEnabled());
        QVERIFY(f.get<QTimer>("Timer3")->isActive()); // the hand-off poll

        auto *time = f.get<QLabel>("lblSysTime");
        time->clear();
        f.tc.clock.fixed = f.tc.clock.fixed->addSecs(1);
        f.window.Timer1_Timer();
        QCOMPARE(time->text(), f.tc.clock.timeText());
        QCOMPARE(accessibleName(time), time->text());
    }

    void listClick()
    {
        Fixture f;
        BatchList &list = f.window.list();
        auto *view = f.get<QTreeView>("LvwJoblet");
        QVERIFY(f.showExposed());
        f.addJobs({"/in/a.avi", "/in/b.avi", "/in/c.avi"});
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          view->visualRect(list.index(1, 2)).center());
        QCOMPARE(list.selectedRow(), 2);
        QCOMPARE(list.highlightedRow(), 2);
        QVERIFY(view->selectionModel()->isRowSelected(1, {}));
        // The model's selection drives the view too.
        list.setSelectedRow(3);
        QVERIFY(view->selectionModel()->isRowSelected(2, {}));
        QCOMPARE(list.highlightedRow(), 2);
    }

    // During a Start run only Stop is on and arming is refused with the
    // two-line notice, Stop staying in view; a finished run leaves Start off.
    void runWritesResultsAndRestoresButtons()
    {
        Fixture f;
        f.engines->setJob("/in/bad.avi", FakeJobPlan::Fail, EngineError::DecodeFailed);
        f.addJobs({"/in/a.avi", "/in/bad.avi", "/in/c.avi"});
        QStringList states;
        QObject::connect(&f.window.runner(), &SessionRunner::jobStarted, &f.window, [&](int row) {
            states << f.window.statusText();
            if (row == 1)
                f.button("Command1")->click();
            QCOMPARE(f.enabledButtons(), QStringList{"CmdStop"});
            QVERIFY(!f.window.TimedSession() && !f.window.isMinimized() && f.get("picButtons")->isVisibleTo(&f.window));
        });
        QVERIFY(f.run());
        QCOMPARE(f.ui.messages.size(), 1);
        QVERIFY(f.ui.messages[0].text.startsWith("The encoder session is running."));
        QCOMPARE(f.window.list().cell(2, "Result"), QString("Error:A04B0007"));
        QCOMPARE(states, (QStringList{"Encoder Running: a.avi", "Encoder Running: bad.avi", "Encoder Running: c.avi"}));
        QCOMPARE(f.window.statusText(), QString("3 rows: 2 Done now, 1 failed (row 2 bad.avi)"));
        QCOMPARE(f.enabledButtons(), afterStop.mid(0, 6));
        QVERIFY(!f.window.report()); // only a timed session reports
    }

    void commandFailures_data()
    {
        QTest::addColumn<FailureRow>("row");
        QTest::newRow("Start, empty list")
            << FailureRow{"CmdStart", false, "No files to encode", false, {"CmdAdd", "CmdLoad", "CmdStart"}};
        QTest::newRow("engine not created") << FailureRow{"CmdStart", true, "Error Processing Input", true, afterStop};
        QTest::newRow("Stop, no engine")
            << FailureRow{"CmdStop", false, "Error stopping Encoder", true, {"CmdAdd", "CmdLoad", "CmdStop"}};
    }
    void commandFailures()
    {
        QFETCH(FailureRow, row);
        Fixture f;
        f.engines->creationFailure = EngineError::NoEncoder;
        if (row.withJob)
            f.addJobs({"/in/a.avi"});
        f.click(row.command);
        QCOMPARE(f.ui.texts(), QStringList{row.text});
        const auto &m = f.ui.messages.first();
        QCOMPARE(m.icon, row.critical ? UiServices::Icon::Critical : UiServices::Icon::None);
        // A negative number keeps its sign: "Error--...".
        QCOMPARE(m.title, row.critical ? "Error-" + QString::number(EngineError::NoEncoder) : QString());
        QCOMPARE(f.enabledButtons(), row.enabled);
        QVERIFY(f.engines->log.isEmpty());
    }

    // The start the lists propose at load (an hour ahead, seconds ignored); the
    // schedule button: its refusals, its question, and the state it leaves.
    void scheduleButton_data()
    {
        QTest::addColumn<ScheduleRow>("row");
        const QString future = "Please set the start time for a time in the future.";
        const QString ask = "Do you want to start an encoding session at ";
        const QString noFiles = "Please add some files to encode before starting the timer.";
        // Which start is refused, and the next day's, is the schedule's test.
        QTest::newRow("empty list, proposed past midnight")
            << ScheduleRow{{23, 10}, "0:10", false, "1:0", true, noFiles, "1", false};
        QTest::newRow("earlier") << ScheduleRow{{14, 30}, "15:30", true, "13:45", true, future, "15", false};
        QTest::newRow("No") << ScheduleRow{{14, 30}, "15:30", true, "14:31", false, ask + "14:31:00", "14", false};
        QTest::newRow("Yes") << ScheduleRow{{8, 59, 59}, "9:59", true, "9:5", true, ask + "9:5:00", "9", true};
    }
    void scheduleButton()
    {
        QFETCH(ScheduleRow, row);
        const bool armed = row.armed;
        Fixture f(row.now);
        QCOMPARE(f.get<QComboBox>("lstHour")->currentText() + ':' + f.get<QComboBox>("lstMinute")->currentText(),
                 row.proposed);
        if (row.withJob)
            f.addJobs({"/in/a.avi"});
        f.setStart(row.start.section(':', 0, 0), row.start.section(':', 1, 1));
        f.ui.answers << (row.yes ? QMessageBox::Yes : QMessageBox::No);
        f.click("Command1");
        QCOMPARE(f.ui.messages.last().text, row.message);
        QCOMPARE(f.ui.messages.last().icon, UiServices::Icon::None);
        QCOMPARE(f.get<QComboBox>("lstHour")->currentText(), row.hourAfter);
        QCOMPARE(f.window.TimedSession(), armed);
        QCOMPARE(!f.get("picButtons")->isVisibleTo(&f.window), armed);
        QCOMPARE(f.get<QTimer>("Timer2")->isActive(), armed);
        QCOMPARE(f.get<QTimer>("Timer1")->isActive(), !armed);
        QCOMPARE(f.window.isMinimized(), armed);
        if (!armed)
            return;
        // Minimised, the window is read by its icon text: it follows the caption.
        f.window.Timer2_Timer();
        QVERIFY(f.window.windowTitle().startsWith("Encoder session will start in "));
        QCOMPARE(accessibleName(&f.window), f.window.windowTitle());
        // Cancelling asks; No keeps the schedule, Yes puts the group back.
        f.ui.answers << QMessageBox::No << QMessageBox::Yes;
        f.click("Command1");
        QVERIFY(f.window.TimedSession());
        f.click("Command1");
        QVERIFY(!f.window.TimedSession() && f.get("picButtons")->isVisibleTo(&f.window));
        QCOMPARE(f.get<QLabel>("Label2")->text(), QString("System Time:"));
    }

    // Arming checks the list: one notice, before the question, names the rows
    // that would fail by their files, ten at most; the schedule is armed all
    // the same. A row found wrong says why in its tips as soon as the list
    // changes, and no longer once a change puts it right; a Done row is left
    // alone until its result is cleared.
    void armingChecksTheList()
    {
        Fixture f(QTime(14, 30));
        BatchList &list = f.window.list();
        const QString gone = "The file does not exist. (" + resultText(EngineError::FileNotFound) + ")";
        QStringList notice {"These jobs would fail as the list stands:"};
        for (int i = 1; i <= 12; ++i) {
            const QString name = QString("m%1.avi").arg(i);
            f.engines->setSourceFailure("/in/" + name, EngineError::FileNotFound);
            list.append(BatchItem {"/in/" + name, f.tc.programFolder.filePath(name + ".wmv"), DefaultProfileName,
                                   i == 12 ? "Done" : "", {}});
            if (i <= 10)
                notice << name + ": " + gone;
        }
        const QString shared = f.tc.programFolder.filePath("m1.avi.wmv");
        list.append(BatchItem {"/in/a.avi", shared, DefaultProfileName, {}, {}});
        const auto tipOf = [&list](int r, int column = BatchList::ResultColumn) {
            return list.index(r - 1, column).data(Qt::ToolTipRole).toString();
        };
        QTRY_COMPARE(tipOf(13), "row 1 writes " + shared + " too (" + resultText(EngineError::OutputShared) + ")");
        QCOMPARE(tipOf(1, BatchList::InputColumn), "/in/m1.avi\n" + gone);
        QCOMPARE(tipOf(12), QString());
        f.ui.answers << QMessageBox::Yes;
        f.click("Command1");
        QVERIFY(f.window.TimedSession());
        QCOMPARE(f.ui.messages.size(), 2);
        QCOMPARE(f.ui.messages.first().text.split('\n'), notice << "and 2 more");
        QCOMPARE(f.ui.messages.first().icon, UiServices::Icon::Exclamation);
        QVERIFY(f.ui.messages.last().text.startsWith("Do you want to start"));
        list.remove(1);
        QTRY_COMPARE(tipOf(12), QString());
        list.clearResults();
        QTRY_COMPARE(tipOf(11), gone);
    }

    // Armed at 16:04 for 16:05, fired at 16:04:59: a run through the list
    // reports every row. Stopped while a job encodes, the report stays
    // unshown, without that job. The report is a window of its own either
    // way, closed with the program.
    void timedRun_data()
    {
        QTest::addColumn<bool>("stopped");
        QTest::newRow("runs through") << false;
        QTest::newRow("stopped while encoding") << true;
    }
    void timedRun()
    {
        QFETCH(bool, stopped);
        Fixture f(QTime(16, 4, 0));
        f.addJobs({"/in/a.avi", "/in/b.avi", "/in/c.avi"});
        f.window.list().setCell(1, "Result", "Done");
        f.engines->defaultJob.outcome = stopped ? FakeJobPlan::Hang : FakeJobPlan::Finish;
        if (stopped)
            f.whenEncoding([&f] { f.button("CmdStop")->click(); });
        QSignalSpy ended(&f.window.runner(), &SessionRunner::runEnded);
        f.setStart("16", "5");
        f.ui.answers << QMessageBox::Yes;
        f.click("Command1");
        f.tc.clock.fixed = QDateTime(QDate(2024, 3, 14), QTime(16, 4, 59));
        f.window.Timer2_Timer();
        QCOMPARE(f.window.windowTitle(), QString("Encoder session in progress."));
        QVERIFY(ended.wait(10000));
        QVERIFY(!f.window.TimedSession());
        QCOMPARE(f.enabledButtons(), stopped ? afterStop : afterStop.mid(0, 6));
        QVERIFY(f.get<QTimer>("Timer1")->isActive() && !f.get<QTimer>("Timer2")->isActive());
        QPointer<FrmReport> report = f.window.report();
        QVERIFY(report && !report->parentWidget());
        QCOMPARE(report->isVisible(), !stopped);
        const auto line = [](const char *name) { return QString("File: /in/%1.avi.wmv Result: Done").arg(name); };
        QCOMPARE(report->lines(), stopped ? QStringList(line("a")) : (QStringList() << line("a") << line("b") << line("c")));
        QVERIFY(f.window.isMinimized()); // until OK (tst_pages)
        report->showCentred();
        f.window.close(); // closed with the program
        QVERIFY(!report || !report->isVisible());
    }

    // Exit and closing end the hanging job, start no other and take the
    // marker away; a missing marker is no failure.
    void interruptRun_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("running");
        QTest::newRow("Exit") << "CmdExit" << true;
        QTest::newRow("close") << "" << true;
        QTest::newRow("Exit, no run, no marker") << "CmdExit" << false;
    }
    void interruptRun()
    {
        QFETCH(QString, action);
        QFETCH(bool, running);
        Fixture f;
        QVERIFY(!running || QFile(f.marker()).open(QIODevice::WriteOnly));
        f.engines->setJob("/in/long.avi", FakeJobPlan::Hang);
        f.addJobs({"/in/long.avi", "/in/next.avi"});
        QVERIFY(f.showExposed());
        const auto act = [&f, action] { action.isEmpty() ? void(f.window.close()) : f.button(action)->click(); };
        f.whenEncoding(act);
        running ? f.click("CmdStart") : act();
        // Not a signal wait: Exit tells every event loop to end.
        QTRY_VERIFY_WITH_TIMEOUT(!f.window.runner().isRunning(), 10000);
        QCOMPARE(f.window.list().cell(1, "Result"), running ? QString("Error:A04B000A") : QString());
        QCOMPARE(f.engines->log.contains("Stop"), running);
        QVERIFY(!f.engines->log.contains("Start /in/next.avi"));
        QCOMPARE(f.engines->alive, 0);
        QVERIFY(f.ui.messages.isEmpty());
        QVERIFY(!f.window.isVisible() && !QFile::exists(f.marker()));
    }

    // A file named on the command line: its job, the default profile (the
    // one chosen last, kept for the user, when it is still offered), the
    // buttons, and the run when asked for.
    void commandLineJob_data()
    {
        QTest::addColumn<CommandLineRow>("row");
        const QString def = DefaultProfileName;
        QTest::newRow("with <RUN>") << CommandLineRow{"", true, def, def};
        QTest::newRow("list full") << CommandLineRow{"full", true, "", def};
        QTest::newRow("no engine") << CommandLineRow{"no engine", true, "", def};
        QTest::newRow("chosen in an earlier run") << CommandLineRow{"kept other", false, "Other", "Other"};
        QTest::newRow("chosen, since removed") << CommandLineRow{"kept gone", false, def, def};
        QTest::newRow("chosen in Add") << CommandLineRow{"Add other", false, "Other", "Other"};
    }
    void commandLineJob()
    {
        QFETCH(CommandLineRow, row);
        const auto &[setup, run, jobProfile, defaultProfile] = row;
        Fixture f;
        f.engines->profiles.clear();
        for (const QString &name : QStringList{"Other", DefaultProfileName})
            f.engines->profiles << ProfileSettings{name, {}, {320, 240, 30, 512000}, {44100, 2, 64000}};
        if (setup == "full")
            f.window.list().append(QList<BatchItem>(BatchList::MaxRows, BatchItem{"/in/x.avi", "/x.wmv", "P", {}, {}}));
        if (setup == "no engine")
            f.engines->creationFailure = EngineError::NoEncoder;
        if (setup.startsWith("kept")) // as an earlier process left it
            QVERIFY(LastProfile(f.tc.programFolder.filePath("last-profile")).remember(setup.section(' ', 1)));
        if (setup == "Add other") {
            f.ui.addItemAnswers << UiServices::AddItemEntry{"/in/a.avi", "None", "other"};
            f.click("CmdAdd");
            f.window.list().removeAll();
            QCOMPARE(f.window.chosenProfile(), QString("Other")); // for drops and hand-off
        }
        QSignalSpy ended(&f.window.runner(), &SessionRunner::runEnded);
        f.window.CommandLine_Job("/in/talk.avi", "/in/talk.wmv", run);
        QCOMPARE(f.window.DefaultProfile(), defaultProfile);
        QCOMPARE(f.ui.texts(), setup == "no engine" ? QStringList{"Error Executing Application"} : QStringList());
        if (jobProfile.isEmpty()) {
            QCOMPARE(f.button("CmdStart")->isEnabled(), setup == "full"); // on with the rows already there
            QVERIFY(!ended.wait(50)); // no run
            return;
        }
        BatchList &list = f.window.list();
        QCOMPARE(list.count(), 1);
        QCOMPARE(list.item(1).outputFile, QString("/in/talk.wmv"));
        QCOMPARE(list.item(1).profile, jobProfile);
        QCOMPARE(f.enabledButtons(), afterStop);
        QVERIFY(f.window.isVisible());
        QCOMPARE(ended.wait(run ? 10000 : 50), run);
        if (run)
            QCOMPARE(list.cell(1, "Result"), QString("Done"));
    }

};

QTEST_MAIN(Tst_FrmJobletIn)
#include "tst_frmjobletin.moc"
