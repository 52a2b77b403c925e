#include "TestContext.h"

#include "batch/BatchList.h"
#include "encoding/ProfileCatalogue.h"
#include "session/SessionRunner.h"
#include "ui/FrmJobletIn.h"
#include "ui/FrmReport.h"

#include <QAccessible>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

using namespace joblet;

namespace {

// Enabled once a run is stopped or failed.
const QStringList afterStop = {"CmdAdd",  "CmdRemove", "CmdRemoveAll", "CmdClearResults",
                               "CmdLoad", "CmdSave",   "CmdStart"};

struct Fixture {
    TestContext tc;
    FakeUiServices &ui = tc.ui;
    FakeEngines &engines = tc.engines;
    FrmJobletIn window {tc.context()};

    explicit Fixture(QTime time = QTime(9, 5, 30))
    {
        tc.clock.fixed = QDateTime(QDate(2024, 3, 14), time);
        window.Form_Load();
    }
    QString marker() const { return tc.programFolder.filePath("JobletRunning"); }
    // Starts the run and waits for its end.
    bool run()
    {
        QSignalSpy ended(&window.runner(), &SessionRunner::runEnded);
        click("CmdStart");
        return ended.wait(10000);
    }

    template<typename T = QWidget>
    T *get(const QString &name) const { return window.findChild<T *>(name); }
    QToolButton *button(const QString &name) const { return get<QToolButton>(name); }
    QStringList enabledButtons() const
    {
        QStringList on;
        for (const QString &name : afterStop + QStringList{"CmdStop"})
            if (button(name)->isEnabled())
                on << name;
        return on;
    }
    void addJobs(const QStringList &inputs)
    {
        for (const QString &input : inputs)
            window.list().append(BatchItem{input, input + ".wmv", DefaultProfileName, {}, {}});
    }
    bool showExposed()
    {
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }
    void click(const QString &name)
    {
        button(name)->setEnabled(true);
        button(name)->click();
    }
};

QString accessibleName(QWidget *w)
{
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(QAccessible::Name) : QString();
}

} // namespace

class Tst_FrmJobletIn : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initialState()
    {
        Fixture f;
        for (const char *name :
             {"Picture1", "Picture2", "picButtons", "Frame1", "StaEncoderStat", "LvwJoblet",
              "PropMain", "CmbProfile", "CmdAdd", "CmdRemove", "CmdRemoveAll", "CmdClearResults",
              "CmdLoad", "CmdSave", "CmdStart", "CmdStop", "Label2", "lblSysTime", "Label1",
              "lstHour", "lstMinute", "lblTimerStatus", "Command1", "CmdExit"}) {
            QWidget *w = f.get(name);
            QVERIFY2(w && !accessibleName(w).isEmpty(), name);
            // A label is read by what it shows, not by a fixed name.
            if (auto *label = qobject_cast<QLabel *>(w))
                QCOMPARE(accessibleName(label), label->text());
        }
        QCOMPARE(f.enabledButtons(), QStringList({"CmdAdd", "CmdLoad"}));
        QVERIFY(f.button("Command1")->isEnabled() && f.button("CmdExit")->isEnabled());
        QCOMPARE(f.window.statusText(), QString("Encoder Stopped"));
        auto *box = f.get<QComboBox>("CmbProfile");
        QVERIFY(!box->isVisibleTo(&f.window));
        QCOMPARE(box->count(), int(ProfileCatalogue::builtIn().size()));
        QCOMPARE(box->currentText(), DefaultProfileName);
        QVERIFY(!f.window.TimedSession());
        // Clock and hand-off poll run; the countdown waits for a timed session.
        QVERIFY(f.get<QTimer>("Timer1")->isActive());
        QVERIFY(!f.get<QTimer>("Timer2")->isActive());
        QVERIFY(f.get<QTimer>("Timer3")->isActive());

        auto *time = f.get<QLabel>("lblSysTime");
        time->clear();
        f.tc.clock.fixed = f.tc.clock.fixed->addSecs(1);
        f.window.Timer1_Timer();
        QCOMPARE(time->text(), f.tc.clock.timeText());
        QCOMPARE(accessibleName(time), time->text());
    }

    // Whatever the size: every control inside its container, the panels
    // meeting at the edges, no two buttons on top of each other; the window
    // never smaller than designed.
    void layout_data()
    {
        QTest::addColumn<QSize>("asked");
        QTest::addColumn<QSize>("size");
        QTest::newRow("at load") << QSize() << QSize(663, 560);
        QTest::newRow("smaller snaps back") << QSize(400, 300) << QSize(663, 560);
        QTest::newRow("narrow but tall") << QSize(500, 800) << QSize(663, 800);
        QTest::newRow("larger") << QSize(1024, 768) << QSize(1024, 768);
    }
    void layout()
    {
        QFETCH(QSize, asked);
        Fixture f;
        if (asked.isValid()) {
            QVERIFY(f.showExposed());
            f.window.resize(asked);
        }
        QTEST(f.window.size(), "size");
        for (QWidget *w : f.window.findChildren<QWidget *>()) {
            if (w->objectName().isEmpty() || !w->isVisibleTo(&f.window) || w->isWindow())
                continue;
            QVERIFY2(w->parentWidget()->rect().contains(w->geometry()), qPrintable(w->objectName()));
        }
        const QRect left = f.get("Picture2")->geometry(), right = f.get("Picture1")->geometry();
        const QRect status = f.get("StaEncoderStat")->geometry();
        QCOMPARE(left.right() + 1, right.left());
        QCOMPARE(right.right() + 1, f.window.width());
        QCOMPARE(status.top(), left.bottom() + 1);
        QCOMPARE(status.bottom() + 1, f.window.height());
        QList<QToolButton *> buttons = f.window.findChildren<QToolButton *>();
        buttons.removeIf([](QToolButton *b) { return !b->objectName().startsWith("Cmd") && b->objectName() != "Command1"; });
        for (QToolButton *a : buttons)
            for (QToolButton *b : buttons)
                QVERIFY2(a == b || a->parentWidget() != b->parentWidget() || !a->geometry().intersects(b->geometry()),
                         qPrintable(a->objectName() + " on " + b->objectName()));
        auto *view = f.get<QTreeView>("LvwJoblet");
        QCOMPARE(view->columnWidth(0), 455 / 4); // a quarter of the list at load
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
        QWidget *panel = f.get("PropMain");
        QWidget *w = first;
        do {
            // Whatever takes the focus inside the property panel stands for it.
            const QString name = panel->isAncestorOf(w) ? "PropMain" : w->objectName();
            if (expected.contains(name) && !seen.contains(name))
                seen << name;
            w = w->nextInFocusChain();
        } while (w != first);
        QCOMPARE(seen, expected);
    }

    void startTimeLists_data()
    {
        QTest::addColumn<QTime>("now");
        QTest::addColumn<QString>("hour");
        QTest::addColumn<QString>("minute");
        QTest::newRow("hour wraps") << QTime(23, 40) << "0" << "40";
        QTest::newRow("00:59:59") << QTime(0, 59, 59) << "1" << "59";
    }
    void startTimeLists()
    {
        QFETCH(QTime, now);
        QFETCH(QString, hour);
        QFETCH(QString, minute);
        Fixture f(now);
        QCOMPARE(f.get<QComboBox>("lstHour")->currentText(), hour);
        QCOMPARE(f.get<QComboBox>("lstMinute")->currentText(), minute);
    }

    void listClick()
    {
        Fixture f;
        BatchList &list = f.window.list();
        auto *view = f.get<QTreeView>("LvwJoblet");
        QVERIFY(f.showExposed());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(list.highlightedRow(), 0);
        QCOMPARE(list.selectedRow(), 0);

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

    void runWritesResultsAndRestoresButtons()
    {
        Fixture f;
        f.engines->setJob("/in/bad.avi", FakeJobPlan::Fail, EngineError::DecodeFailed);
        f.addJobs({"/in/a.avi", "/in/bad.avi", "/in/c.avi"});
        QStringList states;
        QObject::connect(&f.window.runner(), &SessionRunner::jobStarted, &f.window, [&] {
            states << f.window.statusText();
            QCOMPARE(f.enabledButtons(), QStringList{"CmdStop"});
        });
        QVERIFY(f.run());

        QCOMPARE(f.window.list().cell(1, "Result"), QString("Done"));
        QCOMPARE(f.window.list().cell(2, "Result"), QString("Error:A04B0007"));
        QCOMPARE(f.window.list().cell(3, "Result"), QString("Done"));
        QVERIFY(states.contains("Encoder Running"));
        QCOMPARE(f.window.statusText(), QString("Encoder Stopped"));
        QVERIFY(f.ui.messages.isEmpty());
        // Unlike a stopped run, a finished one leaves Start off.
        QCOMPARE(f.enabledButtons(), afterStop.mid(0, 6));
        QCOMPARE(f.engines->alive, 0);
        QVERIFY(!f.window.runner().Encoder());
        QVERIFY(!f.window.findChild<FrmReport *>()); // only a timed session reports
    }

    // Each reported once, leaving the buttons usable.
    void commandFailures_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("withJob");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("critical");
        QTest::addColumn<QStringList>("enabled");
        QTest::newRow("Start, empty list") << "CmdStart" << false << "No files to encode" << false
                                           << QStringList{"CmdAdd", "CmdLoad", "CmdStart"};
        QTest::newRow("engine not created")
            << "CmdStart" << true << "Error Processing Input" << true << afterStop;
        QTest::newRow("Stop, no engine") << "CmdStop" << false << "Error stopping Encoder" << true
                                         << QStringList{"CmdAdd", "CmdLoad", "CmdStop"};
    }
    void commandFailures()
    {
        QFETCH(QString, command);
        QFETCH(bool, withJob);
        QFETCH(QString, text);
        QFETCH(bool, critical);
        QFETCH(QStringList, enabled);
        Fixture f;
        f.engines->creationFailure = EngineError::NoEncoder;
        if (withJob)
            f.addJobs({"/in/a.avi"});
        f.click(command);
        QCOMPARE(f.ui.texts(), QStringList{text});
        const auto &m = f.ui.messages.first();
        QCOMPARE(m.icon, critical ? UiServices::Icon::Critical : UiServices::Icon::None);
        // A negative number keeps its sign: "Error--...".
        const QString noEncoder = "Error-" + QString::number(EngineError::NoEncoder);
        QCOMPARE(m.title, critical ? noEncoder : QString());
        QCOMPARE(f.enabledButtons(), enabled);
        QVERIFY(f.engines->log.isEmpty());
    }

    void timedRunShowsReport()
    {
        Fixture f;
        f.addJobs({"/in/a.avi", "/in/b.avi"});
        f.window.list().setCell(1, "Result", "Done");
        f.window.setTimedSession(true);
        QVERIFY(f.run());

        auto *report = f.window.findChild<FrmReport *>();
        QVERIFY(report && report->isVisible());
        QCOMPARE(report->lines(), QStringList({"File: /in/a.avi.wmv Result: Done",
                                               "File: /in/b.avi.wmv Result: Done"}));
        QVERIFY(!f.window.TimedSession());
        QVERIFY(f.get("picButtons")->isVisibleTo(&f.window));
        QCOMPARE(f.get<QLabel>("lblTimerStatus")->text(), QString("The timer is not running"));
        QCOMPARE(f.get<QLabel>("Label2")->text(), QString("System Time:"));
        QVERIFY(f.get<QTimer>("Timer1")->isActive());
        QVERIFY(!f.get<QTimer>("Timer2")->isActive());
    }

    // Stop, Exit and closing all end the hanging job and start no other.
    void interruptRun_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("Stop") << "CmdStop";
        QTest::newRow("Exit") << "CmdExit";
        QTest::newRow("close") << "";
    }
    void interruptRun()
    {
        QFETCH(QString, action);
        const bool leaving = action != "CmdStop";
        Fixture f;
        QVERIFY(QFile(f.marker()).open(QIODevice::WriteOnly));
        f.engines->setJob("/in/long.avi", FakeJobPlan::Hang);
        f.addJobs({"/in/long.avi", "/in/next.avi"});
        f.window.setTimedSession(leaving);
        QVERIFY(f.showExposed());
        // Acts once the job is really running.
        auto act = [&f, action](qint32 state) {
            if (state == RunRunning)
                action.isEmpty() ? void(f.window.close()) : f.button(action)->click();
        };
        connect(&f.window.runner(), &SessionRunner::engineCreated, &f.window,
                [&f, act](EncoderEngine *engine) {
                    connect(engine, &EncoderEngine::RunStateChanged, &f.window, act);
                });
        f.click("CmdStart");
        // Not a signal wait: Exit tells every event loop to end.
        QTRY_VERIFY_WITH_TIMEOUT(!f.window.runner().isRunning(), 10000);
        QCOMPARE(f.window.list().cell(1, "Result"), QString("Error:A04B000A"));
        QVERIFY(f.engines->log.contains("Stop"));
        QVERIFY(!f.engines->log.contains("Start /in/next.avi"));
        QCOMPARE(f.engines->alive, 0);
        QVERIFY(f.ui.messages.isEmpty());
        QVERIFY(!f.window.TimedSession());
        QCOMPARE(f.window.isVisible(), !leaving);
        QCOMPARE(QFile::exists(f.marker()), !leaving);
        if (!leaving)
            QCOMPARE(f.enabledButtons(), afterStop);
    }

    void exitWithoutRun()
    {
        Fixture f;
        QFile::remove(f.marker()); // a missing marker is no failure
        QVERIFY(f.showExposed());
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
