#include "FakeClock.h"
#include "FakeEncoderEngine.h"

#include "ui/FrmReport.h"
#include "ui/JobProgressPage.h"
#include "ui/PropertyPageHost.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace joblet;

namespace {

const QString Dash = QString("\u2014");

template<typename T = QLabel>
T *child(QWidget *parent, const char *name) { return parent->findChild<T *>(name); }

QString text(QWidget *parent, const char *name) { return child(parent, name)->text(); }

bool polling(QWidget *page) { return child<QTimer>(page, "tmrRefresh")->isActive(); }

} // namespace

class TestPages : public QObject {
    Q_OBJECT

    std::shared_ptr<FakeEngineScript> m_script;
    FakeClock m_clock;

    // Configures one job on `engine` and leaves it encoding.
    void startJob(FakeEncoderEngine &engine, const QString &input, const QString &output,
                  int profile = 0)
    {
        if (engine.SourceGroupCollection().Count() == 0)
            engine.SourceGroupCollection().Add("Joblet");
        m_script->setJob(input, FakeJobPlan::Hang);
        SourceGroup &group = engine.SourceGroupCollection().Item(0);
        group.AutoSetFileSource(input);
        group.setProfile(engine.ProfileCollection().Item(profile));
        engine.File().setLocalFileName(output);
        engine.Start();
    }

    std::unique_ptr<FakeEncoderEngine> runningEngine(const QString &input = "/m/in.avi")
    {
        auto engine = std::make_unique<FakeEncoderEngine>(m_script);
        startJob(*engine, input, "/o/out.wmv");
        return engine;
    }

private Q_SLOTS:
    void init()
    {
        m_script = std::make_shared<FakeEngineScript>();
        m_script->profiles = {{"Test AV 320", {}, {320, 240, 30, 512000}, {44100, 2, 64000}},
                              {"Test voice", {}, {}, {22050, 1, 32000}}};
    }

    void report()
    {
        QWidget mainWindow;
        mainWindow.showMinimized();
        QPointer<FrmReport> report = new FrmReport(&mainWindow); // its controls' names are tst_captions' rows
        report->setStartTime("10:42:07 PM");
        report->setEndTime("11:58:31 PM");
        QVERIFY(text(report, "lblStart").endsWith(" 10:42:07 PM"));
        report->addLine("from an earlier run");
        report->clearLines(); // their order is the timed run's
        report->addLine("this run");
        QCOMPARE(report->lines(), QStringList{"this run"});

        report->showCentred(); // returning at all shows it is not modal
        QVERIFY(report->isVisible() && !report->isModal());
        // OK restores the main window minimised for the timed run, and goes,
        // so the next report starts fresh.
        QTest::mouseClick(child<QPushButton>(report, "Command1"), Qt::LeftButton);
        QVERIFY(!mainWindow.isMinimized());
        QTRY_VERIFY(report.isNull());
    }

    void host_engineDestroyedWhileShown()
    {
        PropertyPageHost host;
        auto *page = new JobProgressPage(m_clock);
        host.AddPage(page);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        auto engine = runningEngine();
        host.AddObject(engine.get());
        QVERIFY(polling(page));

        engine.reset(); // the end of a run
        QVERIFY(!polling(page));
        host.repaint();
        QCOMPARE(text(page, "lblInputFile"), QString("/m/in.avi"));
        QCOMPARE(text(page, "lblTimeLeft"), Dash);

        auto next = runningEngine("/m/two.avi");
        host.AddObject(next.get());
        QCOMPARE(text(page, "lblInputFile"), QString("/m/two.avi"));
        QVERIFY(polling(page));
    }

    void progress_followsTheRun()
    {
        const QDateTime start(QDate(2024, 3, 1), QTime(12, 0));
        m_clock.fixed = start;
        JobProgressPage page(m_clock);
        FakeEncoderEngine idle(m_script);
        page.setObject(&idle);
        QVERIFY(!polling(&page));

        auto engine = runningEngine();
        page.setObject(engine.get());
        QCOMPARE(text(&page, "lblOutputFile"), QString("/o/out.wmv"));
        QCOMPARE(text(&page, "lblProfile"), QString("Test AV 320"));
        engine->setProgress({60'000'000, 15'000'000, 450});
        auto *bar = child<QProgressBar>(&page, "prgJob");
        QTRY_COMPARE(bar->text(), QString("25%"));
        QCOMPARE(text(&page, "lblEncoded"), QString("0:00:15 of 0:01:00"));
        // The time left follows the clock's readings (its figures are tst_sessionrules').
        for (const int s : {2, 4}) {
            m_clock.fixed = start.addSecs(s);
            engine->setProgress({60'000'000, (15 + s / 2) * 1'000'000LL, 450});
            QTRY_COMPARE(text(&page, "lblEncoded"), QString("0:00:%1 of 0:01:00").arg(15 + s / 2));
        }
        QVERIFY(text(&page, "lblTimeLeft") != Dash);

        engine->setProgress({60'000'000, 15'000'000, 450});
        engine->Stop(); // no estimate is left over once the job is over
        QVERIFY(!polling(&page));
        QCOMPARE(text(&page, "lblTimeLeft"), Dash);

        startJob(*engine, "/m/talk.wav", "/o/talk.wma", 1);
        QTRY_COMPARE(text(&page, "lblInputFile"), QString("/m/talk.wav"));
        QCOMPARE(text(&page, "lblStreams"), QString("Audio 22.05 kHz mono, 32 kb/s"));
        QVERIFY(polling(&page));
        engine->failJob(0x5B);
        QTRY_COMPARE(text(&page, "lblState"), QString("Failed (error 5B)"));
        QVERIFY(!polling(&page));
    }
};

QTEST_MAIN(TestPages)
#include "tst_pages.moc"
