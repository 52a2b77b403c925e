#include "FakeEncoderEngine.h"
#include "FakeUiServices.h"

#include "batch/BatchList.h"
#include "encoding/ProfileCatalogue.h"
#include "encoding/SessionRunner.h"
#include "schedule/Clock.h"
#include "ui/FrmJobletIn.h"
#include "ui/FrmReport.h"

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

#include <memory>

using namespace joblet;

namespace {

class FixedClock : public Clock {
public:
    explicit FixedClock(QTime time) : m_now(QDate(2024, 3, 14), time) { setInstance(this); }
    ~FixedClock() override { setInstance(nullptr); }
    QDateTime now() const override { return m_now; }

private:
    QDateTime m_now;
};

const QStringList editingButtons = {"CmdAdd",       "CmdRemove", "CmdClearResults",
                                    "CmdRemoveAll", "CmdSave",   "CmdLoad"};

BatchItem job(const QString &input)
{
    return BatchItem{input, input + ".wmv", DefaultProfileName, {}, {}};
}

// Every test gets its own fakes, clock and a loaded window.
struct Fixture {
    FakeUiServices ui;
    FixedClock clock{QTime(9, 5, 30)};
    FakeEngineInstaller engines;
    FrmJobletIn window;

    Fixture() { window.Form_Load(); }

    template<typename T = QWidget>
    T *get(const QString &name) const
    {
        T *w = window.findChild<T *>(name);
        if (!w)
            qWarning("no control %s", qPrintable(name));
        return w;
    }
    QToolButton *button(const QString &name) const { return get<QToolButton>(name); }
    bool enabled(const QString &name) const { return get(name)->isEnabled(); }

    void addJobs(const QStringList &inputs)
    {
        for (const QString &input : inputs)
            window.list().append(job(input));
    }

    // Runs `act` once the run's engine reports its job running.
    template<typename Act>
    void whenRunning(Act act)
    {
        QObject::connect(&window.runner(), &SessionRunner::engineCreated, &window,
                         [this, act](EncoderEngine *engine) {
                             QObject::connect(engine, &EncoderEngine::RunStateChanged, &window,
                                              [act](qint32 state) {
                                                  if (state == RunRunning)
                                                      act();
                                              });
                         });
    }
};

} // namespace

class Tst_FrmJobletIn : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // --- layout ---------------------------------------------------------

    void controlsPresentAndNamed()
    {
        Fixture f;
        QCOMPARE(f.window.objectName(), QString("FrmJobletIn"));
        QCOMPARE(f.window.windowTitle(), QString("Qimto Media Joblet"));
        QVERIFY(!f.window.windowIcon().isNull());
        const QStringList names = {
            "Picture1", "Picture2", "picButtons", "Frame1", "StaEncoderStat", "LvwJoblet",
            "PropMain", "CmbProfile", "CmdAdd", "CmdRemove", "CmdRemoveAll", "CmdClearResults",
            "CmdLoad", "CmdSave", "CmdStart", "CmdStop", "Label2", "lblSysTime", "Label1",
            "lstHour", "lstMinute", "lblTimerStatus", "Command1", "CmdExit"};
        for (const QString &name : names) {
            QWidget *w = f.get(name);
            QVERIFY2(w, qPrintable(name));
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(name));
        }
        QVERIFY(!f.get("CmbProfile")->isVisibleTo(&f.window));
        QCOMPARE(f.get<QGroupBox>("Frame1")->title(), QString("Timed Session "));
        QCOMPARE(f.button("CmdRemoveAll")->text(), QString("Remove &All"));
        QCOMPARE(f.button("CmdRemoveAll")->accessibleName(), QString("Remove All"));
        QCOMPARE(f.button("CmdSave")->toolTip(), QString("Save the list to a joblet file"));
        QVERIFY(f.button("Command1")->text().isEmpty());
        QVERIFY(!f.button("Command1")->icon().isNull());
    }

    void timers_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("interval");
        QTest::addColumn<bool>("active");
        QTest::newRow("clock") << "Timer1" << 1000 << true;
        QTest::newRow("countdown") << "Timer2" << 1000 << false;
        QTest::newRow("hand-off poll") << "Timer3" << 5000 << true;
    }
    void timers()
    {
        QFETCH(QString, name);
        QFETCH(int, interval);
        QFETCH(bool, active);
        Fixture f;
        auto *timer = f.window.findChild<QTimer *>(name);
        QVERIFY(timer);
        QCOMPARE(timer->interval(), interval);
        QCOMPARE(timer->isActive(), active);
    }

    void clockTick()
    {
        Fixture f;
        auto *time = f.get<QLabel>("lblSysTime");
        QCOMPARE(time->text(), Clock::instance().timeText());
        time->clear();
        f.window.Timer1_Timer();
        QCOMPARE(time->text(), Clock::instance().timeText());
    }

    // Places inside the containers, in pixels; the panels are resizeRule's.
    void placeAtLoad_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("picButtons") << "picButtons" << QRect(10, 2, 184, 298);
        QTest::newRow("Frame1") << "Frame1" << QRect(10, 303, 184, 137);
        QTest::newRow("CmbProfile") << "CmbProfile" << QRect(107, 365, 154, 21);
        QTest::newRow("CmdClearResults") << "CmdClearResults" << QRect(0, 74, 89, 72);
        QTest::newRow("CmdRemoveAll") << "CmdRemoveAll" << QRect(94, 75, 89, 72);
        QTest::newRow("CmdStop") << "CmdStop" << QRect(94, 225, 89, 72);
        QTest::newRow("lstMinute") << "lstMinute" << QRect(114, 41, 44, 15);
        QTest::newRow("Label2") << "Label2" << QRect(12, 19, 90, 13);
        QTest::newRow("Command1") << "Command1" << QRect(7, 88, 170, 42);
    }
    void placeAtLoad()
    {
        QFETCH(QString, name);
        QFETCH(QRect, rect);
        Fixture f;
        QCOMPARE(f.window.size(), QSize(663, 560));
        QCOMPARE(f.get(name)->geometry(), rect);
    }

    void resizeRule_data()
    {
        QTest::addColumn<QSize>("asked");
        QTest::addColumn<QSize>("size");
        QTest::newRow("minimum") << QSize(663, 560) << QSize(663, 560);
        QTest::newRow("smaller snaps back") << QSize(400, 300) << QSize(663, 560);
        QTest::newRow("narrow but tall") << QSize(500, 800) << QSize(663, 800);
        QTest::newRow("larger") << QSize(1024, 768) << QSize(1024, 768);
    }
    void resizeRule()
    {
        QFETCH(QSize, asked);
        QFETCH(QSize, size);
        Fixture f;
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        f.window.resize(asked);
        QCOMPARE(f.window.size(), size);
        const int w = size.width(), h = size.height();
        QCOMPARE(f.get("Picture2")->geometry(), QRect(0, 0, w - 196, h - 20));
        QCOMPARE(f.get("Picture1")->geometry(), QRect(w - 196, 0, 196, h - 20));
        QCOMPARE(f.get("LvwJoblet")->geometry(), QRect(0, 0, w - 196 - 12, 297));
        QCOMPARE(f.get("PropMain")->geometry(), QRect(0, 304, w - 196 - 12, h - 20 - 297 - 20 + 6));
        QCOMPARE(f.get("CmdExit")->geometry(), QRect(10, h - 20 - 60 - 8, 183, 60));
        QCOMPARE(f.get("StaEncoderStat")->geometry(), QRect(0, h - 20, w, 20));
    }

    void columnsAreQuartersAtLoad()
    {
        Fixture f;
        auto *view = f.get<QTreeView>("LvwJoblet");
        QCOMPARE(view->model()->columnCount(), 4);
        for (int c = 0; c < 4; ++c)
            QCOMPARE(view->columnWidth(c), 455 / 4);
    }

    void tabOrder()
    {
        Fixture f;
        const QStringList expected = {"CmdAdd",  "CmdRemove", "CmdRemoveAll", "CmdClearResults",
                                      "CmdLoad", "CmdSave",   "CmdStart",     "CmdStop",
                                      "lstMinute", "lstHour", "Command1",     "CmdExit",
                                      "PropMain", "LvwJoblet", "CmbProfile"};
        QStringList seen;
        QWidget *first = f.get("CmdAdd");
        QWidget *w = first;
        QWidget *panel = f.get("PropMain");
        do {
            // Whatever takes the focus inside the property panel stands for it.
            const QString name = panel->isAncestorOf(w) ? "PropMain" : w->objectName();
            if (expected.contains(name) && !seen.contains(name))
                seen << name;
            w = w->nextInFocusChain();
        } while (w != first);
        QCOMPARE(seen, expected);
    }

    // --- start-up state -----------------------------------------------------

    void initialButtons_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("enabled");
        for (const char *on : {"CmdAdd", "CmdLoad", "Command1", "CmdExit"})
            QTest::newRow(on) << on << true;
        for (const char *off :
             {"CmdRemove", "CmdRemoveAll", "CmdClearResults", "CmdSave", "CmdStart", "CmdStop"})
            QTest::newRow(off) << off << false;
    }
    void initialButtons()
    {
        QFETCH(QString, name);
        QFETCH(bool, enabled);
        Fixture f;
        QCOMPARE(f.enabled(name), enabled);
        QCOMPARE(f.window.statusText(), QString("Encoder Stopped"));
    }

    void startTimeLists_data()
    {
        QTest::addColumn<QTime>("now");
        QTest::addColumn<QString>("hour");
        QTest::addColumn<QString>("minute");
        QTest::newRow("09:05") << QTime(9, 5) << "10" << "5";
        QTest::newRow("23:40") << QTime(23, 40) << "0" << "40";
        QTest::newRow("00:59") << QTime(0, 59, 59) << "1" << "59";
    }
    void startTimeLists()
    {
        QFETCH(QTime, now);
        QFETCH(QString, hour);
        QFETCH(QString, minute);
        FakeUiServices ui;
        FixedClock clock(now);
        FakeEngineInstaller engines;
        FrmJobletIn window;
        window.Form_Load();
        auto *hours = window.findChild<QComboBox *>("lstHour");
        auto *minutes = window.findChild<QComboBox *>("lstMinute");
        QCOMPARE(hours->count(), 24);
        QCOMPARE(minutes->count(), 60);
        QCOMPARE(minutes->itemText(59), QString("59"));
        QCOMPARE(hours->currentText(), hour);
        QCOMPARE(minutes->currentText(), minute);
    }

    void profileBoxFilled()
    {
        Fixture f;
        auto *box = f.get<QComboBox>("CmbProfile");
        QCOMPARE(box->count(), int(ProfileCatalogue::builtIn().size()));
        QCOMPARE(box->currentText(), DefaultProfileName);
        QCOMPARE(f.window.DefaultProfile(), DefaultProfileName);
        QVERIFY(!f.window.TimedSession());
    }

    // --- list ---------------------------------------------------------------

    void listClickHighlightsSelection()
    {
        Fixture f;
        f.addJobs({"/in/a.avi", "/in/b.avi", "/in/c.avi"});
        auto *view = f.get<QTreeView>("LvwJoblet");
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        const QRect row2 = view->visualRect(f.window.list().index(1, 2));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row2.center());
        QCOMPARE(f.window.list().selectedRow(), 2);
        QCOMPARE(f.window.list().highlightedRow(), 2);
        QVERIFY(view->selectionModel()->isRowSelected(1, {}));

        // The model's selection drives the view too.
        f.window.list().setSelectedRow(3);
        QVERIFY(view->selectionModel()->isRowSelected(2, {}));
        QCOMPARE(f.window.list().highlightedRow(), 2);
    }

    void listClickOnEmptyList()
    {
        Fixture f;
        auto *view = f.get<QTreeView>("LvwJoblet");
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(f.window.list().highlightedRow(), 0);
        QCOMPARE(f.window.list().selectedRow(), 0);
    }

    // --- run ----------------------------------------------------------------

    void startWithEmptyList()
    {
        Fixture f;
        const int engines = f.engines->created;
        f.button("CmdStart")->setEnabled(true);
        f.button("CmdStart")->click();
        QCOMPARE(f.ui.messages.size(), 1);
        const auto &m = f.ui.messages.first();
        QCOMPARE(m.text, QString("No files to encode"));
        QCOMPARE(m.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(m.icon, UiServices::Icon::None);
        QVERIFY(m.title.isEmpty());
        QCOMPARE(f.engines->created, engines);
        QVERIFY(f.enabled("CmdAdd"));
        QVERIFY(!f.enabled("CmdStop"));
    }

    void runWritesResultsAndRestoresButtons()
    {
        Fixture f;
        f.engines->setJob("/in/bad.avi", FakeJobPlan::Fail, EngineError::DecodeFailed);
        f.addJobs({"/in/a.avi", "/in/bad.avi", "/in/c.avi"});
        f.button("CmdStart")->setEnabled(true);
        QStringList states;
        QObject::connect(&f.window.runner(), &SessionRunner::statusTextChanged, &f.window,
                         [&](const QString &text) {
                             states << text;
                             QVERIFY(f.enabled("CmdStop"));
                             for (const QString &name : editingButtons + QStringList{"CmdStart"})
                                 QVERIFY2(!f.enabled(name), qPrintable(name));
                         });
        f.button("CmdStart")->click();

        QCOMPARE(f.window.list().cell(1, "Result"), QString("Done"));
        QCOMPARE(f.window.list().cell(2, "Result"), QString("Error:A04B0007"));
        QCOMPARE(f.window.list().cell(3, "Result"), QString("Done"));
        QVERIFY(states.contains("Encoder Running"));
        QCOMPARE(f.window.statusText(), QString("Encoder Stopped"));
        QVERIFY(f.ui.messages.isEmpty());
        QVERIFY(!f.enabled("CmdStart"));
        QVERIFY(!f.enabled("CmdStop"));
        for (const QString &name : editingButtons)
            QVERIFY2(f.enabled(name), qPrintable(name));
        QCOMPARE(f.engines->alive, 0);
        QVERIFY(!f.window.runner().Encoder());
    }

    void stopDuringJob()
    {
        Fixture f;
        f.engines->setJob("/in/long.avi", FakeJobPlan::Hang);
        f.addJobs({"/in/long.avi", "/in/next.avi"});
        f.button("CmdStart")->setEnabled(true);
        f.whenRunning([&f] { f.button("CmdStop")->click(); });
        f.button("CmdStart")->click();

        QCOMPARE(f.window.list().cell(1, "Result"), QString("Error:A04B000A"));
        QVERIFY(!f.engines->log.contains("Start /in/next.avi"));
        QVERIFY(f.engines->log.contains("Stop"));
        QVERIFY(f.ui.messages.isEmpty());
        for (const QString &name : editingButtons + QStringList{"CmdStart"})
            QVERIFY2(f.enabled(name), qPrintable(name));
        QVERIFY(!f.enabled("CmdStop"));
        QCOMPARE(f.engines->alive, 0);
    }

    void engineCannotBeCreated()
    {
        Fixture f;
        f.engines->creationFailure = EngineError::NoEncoder;
        f.addJobs({"/in/a.avi"});
        f.button("CmdStart")->setEnabled(true);
        f.button("CmdStart")->click();

        QCOMPARE(f.ui.messages.size(), 1);
        const auto &m = f.ui.messages.first();
        QCOMPARE(m.text, QString("Error Processing Input"));
        QCOMPARE(m.icon, UiServices::Icon::Critical);
        QCOMPARE(m.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(m.title, "Error-" + QString::number(EngineError::NoEncoder));
        QVERIFY(m.title.startsWith("Error--")); // a negative number keeps its sign
        for (const QString &name : editingButtons + QStringList{"CmdStart"})
            QVERIFY2(f.enabled(name), qPrintable(name));
        QVERIFY(!f.enabled("CmdStop"));
    }

    void stopWithoutEngineReportsFailure()
    {
        Fixture f;
        f.button("CmdStop")->setEnabled(true);
        f.button("CmdStop")->click();
        QCOMPARE(f.ui.texts(), QStringList{"Error stopping Encoder"});
        QCOMPARE(f.ui.messages.first().icon, UiServices::Icon::Critical);
        QVERIFY(f.ui.messages.first().title.startsWith("Error-"));
    }

    void timedRunShowsReport_data()
    {
        QTest::addColumn<bool>("timed");
        QTest::newRow("timed session") << true;
        QTest::newRow("Start button") << false;
    }
    void timedRunShowsReport()
    {
        QFETCH(bool, timed);
        Fixture f;
        f.addJobs({"/in/a.avi", "/in/b.avi"});
        f.window.list().setCell(1, "Result", "Done");
        f.window.setTimedSession(timed);
        f.button("CmdStart")->setEnabled(true);
        f.button("CmdStart")->click();

        auto *report = f.window.findChild<FrmReport *>();
        QCOMPARE(report != nullptr, timed);
        QVERIFY(!f.window.TimedSession());
        if (!timed)
            return;
        QVERIFY(report->isVisible());
        QCOMPARE(report->lines(),
                 QStringList({"File: /in/a.avi.wmv Result: Done", "File: /in/b.avi.wmv Result: Done"}));
        QVERIFY(f.get("picButtons")->isVisibleTo(&f.window));
        QCOMPARE(f.get<QLabel>("lblTimerStatus")->text(), QString("The timer is not running"));
        QCOMPARE(f.get<QLabel>("Label2")->text(), QString("System Time:"));
        QVERIFY(f.window.findChild<QTimer *>("Timer1")->isActive());
        QVERIFY(!f.window.findChild<QTimer *>("Timer2")->isActive());
    }

    // --- leaving --------------------------------------------------------------

    void closeDuringRun_data()
    {
        QTest::addColumn<bool>("byExit");
        QTest::newRow("Exit button") << true;
        QTest::newRow("close command") << false;
    }
    void closeDuringRun()
    {
        QFETCH(bool, byExit);
        Fixture f;
        QFile marker(FrmJobletIn::markerPath());
        QVERIFY(marker.open(QIODevice::WriteOnly));
        marker.close();
        f.engines->setJob("/in/long.avi", FakeJobPlan::Hang);
        f.addJobs({"/in/long.avi", "/in/next.avi"});
        f.window.setTimedSession(true);
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        f.button("CmdStart")->setEnabled(true);
        f.whenRunning([&f, byExit] {
            if (byExit)
                f.button("CmdExit")->click();
            else
                f.window.close();
        });
        f.button("CmdStart")->click();

        QVERIFY(!f.window.runner().isRunning());
        QVERIFY(f.engines->log.contains("Stop"));
        QVERIFY(!f.engines->log.contains("Start /in/next.avi"));
        QCOMPARE(f.engines->alive, 0);
        QVERIFY(!f.window.TimedSession());
        QVERIFY(!f.window.isVisible());
        QVERIFY(!QFile::exists(FrmJobletIn::markerPath()));
        QVERIFY(f.ui.messages.isEmpty());
    }

    void exitWithoutRun()
    {
        Fixture f;
        QFile::remove(FrmJobletIn::markerPath()); // a missing marker is no failure
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        const int engines = f.engines->created;
        f.button("CmdExit")->click();
        QVERIFY(!f.window.isVisible());
        QCOMPARE(f.engines->created, engines);
        QVERIFY(f.engines->log.isEmpty());
        QVERIFY(f.ui.messages.isEmpty());
    }
};

QTEST_MAIN(Tst_FrmJobletIn)
#include "tst_frmjobletin.moc"
