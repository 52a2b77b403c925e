#include "FakeEncoderEngine.h"

#include "ui/FrmReport.h"
#include "ui/JobProgressPage.h"
#include "ui/PropertyPageHost.h"

#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QTimer>

using namespace joblet;

namespace {

const QString Dash = QStringLiteral("\u2014");

// A second kind of page, so the host has one that is not replaced.
class RecordingPage : public PropertyPage {
    Q_OBJECT

public:
    void setObject(EncoderEngine *engine) override { object = engine; }
    QPointer<EncoderEngine> object;
};

template<typename T = QLabel>
T *child(QWidget *parent, const char *name)
{
    auto *w = parent->findChild<T *>(QString::fromLatin1(name));
    if (!w)
        qFatal("no child %s", name);
    return w;
}

void checkNamed(QWidget *parent)
{
    for (QWidget *w : parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        QVERIFY2(!w->objectName().isEmpty(), w->metaObject()->className());
        QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
    }
}

} // namespace

class TestPages : public QObject {
    Q_OBJECT

    std::shared_ptr<FakeEngineScript> m_script;

    // Configures one job on `engine` and leaves it encoding.
    void startJob(FakeEncoderEngine &engine, const QString &input, const QString &output,
                  int profile = 0)
    {
        if (engine.SourceGroupCollection().Count() == 0)
            engine.SourceGroupCollection().Add(QStringLiteral("Joblet"));
        m_script->setJob(input, FakeJobPlan::Hang);
        SourceGroup &group = engine.SourceGroupCollection().Item(0);
        group.AutoSetFileSource(input);
        group.setProfile(engine.ProfileCollection().Item(profile));
        engine.File().setLocalFileName(output);
        engine.Start();
    }

    std::unique_ptr<FakeEncoderEngine> runningEngine(const QString &input = QStringLiteral("/m/in.avi"))
    {
        auto engine = std::make_unique<FakeEncoderEngine>(m_script);
        startJob(*engine, input, QStringLiteral("/o/out.wmv"));
        return engine;
    }

private Q_SLOTS:
    void init()
    {
        ProfileSettings av;
        av.name = QStringLiteral("Test AV 320");
        av.video = {320, 240, 30, 512000};
        av.audio = {44100, 2, 64000};
        ProfileSettings voice;
        voice.name = QStringLiteral("Test voice");
        voice.audio = {22050, 1, 32000};
        m_script = std::make_shared<FakeEngineScript>();
        m_script->profiles = {av, voice};
    }

    void report_layoutAndTexts()
    {
        FrmReport report(nullptr);
        QCOMPARE(report.objectName(), QStringLiteral("frmReport"));
        QCOMPARE(report.windowTitle(), QStringLiteral("Scheduled Session Report"));
        QCOMPARE(report.size(), QSize(485, 391));
        auto *label1 = child(&report, "Label1");
        QCOMPARE(label1->text(),
                 QStringLiteral("The following results were recorded during the scheduled session. "));
        QVERIFY(label1->font().bold() && (label1->alignment() & Qt::AlignHCenter));
        QCOMPARE(label1->geometry(), QRect(16, 4, 444, 20));
        QVERIFY(QFontMetrics(label1->font()).horizontalAdvance(label1->text().trimmed())
                <= label1->contentsRect().width());
        QCOMPARE(child(&report, "lblStart")->text(), QStringLiteral("Session start time:"));
        QCOMPARE(child(&report, "lblEndTime")->text(), QStringLiteral("Session end time:"));
        QCOMPARE(child(&report, "lblStart")->pos(), QPoint(15, 27));
        QCOMPARE(child(&report, "lblEndTime")->pos(), QPoint(14, 45));
        QCOMPARE(child<QListWidget>(&report, "List1")->geometry(), QRect(17, 71, 448, 277));
        QCOMPARE(child<QPushButton>(&report, "Command1")->text(), QStringLiteral("OK"));
        QCOMPARE(child<QPushButton>(&report, "Command1")->geometry(), QRect(365, 365, 101, 22));
        checkNamed(&report);
    }

    void report_timesWholeAndLinesInOrder()
    {
        FrmReport report(nullptr);
        report.setStartTime(QStringLiteral("10:42:07 PM"));
        report.setEndTime(QStringLiteral("11:58:31 PM"));
        QCOMPARE(child(&report, "lblStart")->text(), QStringLiteral("Session start time: 10:42:07 PM"));
        QCOMPARE(child(&report, "lblEndTime")->text(), QStringLiteral("Session end time: 11:58:31 PM"));
        for (const char *name : {"lblStart", "lblEndTime"}) {
            QLabel *label = child(&report, name);
            const QFontMetrics fm(label->font());
            QVERIFY2(label->contentsRect().width() >= fm.horizontalAdvance(label->text()), name);
            QVERIFY2(label->contentsRect().height() >= fm.height(), name);
        }
        QVERIFY(child(&report, "lblStart")->geometry().bottom()
                < child(&report, "lblEndTime")->geometry().top());

        const QStringList lines{QStringLiteral("File: /o/a.wmv Result: Done"),
                                QStringLiteral("File: /o/b.wma Result: Error:1")};
        report.addLine(QStringLiteral("from an earlier run"));
        report.clearLines();
        for (const QString &line : lines)
            report.addLine(line);
        QCOMPARE(report.lines(), lines);
        QCOMPARE(child<QListWidget>(&report, "List1")->item(1)->text(), lines[1]);
    }

    void report_okRestoresOnlyAMinimisedMainWindow()
    {
        QWidget mainWindow;
        mainWindow.showMinimized();
        QPointer<FrmReport> report = new FrmReport(&mainWindow);
        report->showCentred();
        QTest::mouseClick(child<QPushButton>(report, "Command1"), Qt::LeftButton);
        QVERIFY(!mainWindow.isMinimized() && mainWindow.isVisible());
        QTRY_VERIFY(report.isNull()); // the next report starts fresh

        mainWindow.showMaximized();
        report = new FrmReport(&mainWindow);
        report->showCentred();
        report->Command1_Click();
        QCOMPARE(mainWindow.windowState(), Qt::WindowMaximized);
        QTRY_VERIFY(report.isNull());
    }

    void report_shownCentredWithoutBlocking()
    {
        FrmReport report(nullptr);
        report.setAttribute(Qt::WA_DeleteOnClose, false);
        report.showCentred(); // returning at all shows it is not modal
        QVERIFY(report.isVisible() && !report.isModal());
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        const QPoint offset = report.frameGeometry().center() - area.center();
        QVERIFY(qAbs(offset.x()) <= 1 && qAbs(offset.y()) <= 1);
    }

    void host_addPageReplacesSameClassAndPassesObject()
    {
        PropertyPageHost host;
        QCOMPARE(host.objectName(), QStringLiteral("PropMain"));
        QVERIFY(!host.accessibleName().isEmpty());
        FakeEncoderEngine engine(m_script);

        QPointer<JobProgressPage> first = new JobProgressPage;
        host.AddPage(first);
        auto *other = new RecordingPage;
        host.AddPage(other);
        host.AddObject(&engine);
        QCOMPARE(other->object.data(), &engine);

        auto *second = new JobProgressPage;
        host.AddPage(second); // a second run's page
        QVERIFY(first.isNull());
        QCOMPARE(host.pages(), (QList<PropertyPage *>{second, other}));
        auto *otherAgain = new RecordingPage;
        host.AddPage(otherAgain);
        QCOMPARE(otherAgain->object.data(), &engine); // added after the object, still gets it
        QCOMPARE(host.pages().size(), 2);
    }

    void host_engineDestroyedWhileShown()
    {
        PropertyPageHost host;
        auto *page = new JobProgressPage;
        host.AddPage(page);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        auto engine = runningEngine();
        host.AddObject(engine.get());
        auto *timer = child<QTimer>(page, "tmrRefresh");
        QVERIFY(timer->isActive());

        engine.reset(); // the end of a run
        QVERIFY(!timer->isActive());
        host.repaint();
        QCOMPARE(child(page, "lblInputFile")->text(), QStringLiteral("/m/in.avi"));
        QCOMPARE(child(page, "lblTimeLeft")->text(), Dash);

        auto next = runningEngine(QStringLiteral("/m/two.avi"));
        host.AddObject(next.get());
        QCOMPARE(child(page, "lblInputFile")->text(), QStringLiteral("/m/two.avi"));
        QVERIFY(timer->isActive());
    }

    void progress_idleWithoutActiveEngine()
    {
        JobProgressPage page;
        checkNamed(&page);
        auto *timer = child<QTimer>(&page, "tmrRefresh");
        QVERIFY(!timer->isActive());
        FakeEncoderEngine idle(m_script);
        page.setObject(&idle);
        QVERIFY(!timer->isActive());
    }

    void progress_jobDetailsFollowTheRun()
    {
        JobProgressPage page;
        auto engine = runningEngine();
        page.setObject(engine.get());
        QCOMPARE(child(&page, "lblInputFile")->text(), QStringLiteral("/m/in.avi"));
        QCOMPARE(child(&page, "lblOutputFile")->text(), QStringLiteral("/o/out.wmv"));
        QCOMPARE(child(&page, "lblProfile")->text(), QStringLiteral("Test AV 320"));
        QCOMPARE(child(&page, "lblStreams")->text(),
                 QStringLiteral("Video 320\u00d7240, 30 fps, 512 kb/s; Audio 44.1 kHz stereo, 64 kb/s"));

        engine->finishJob();
        QTRY_COMPARE(engine->RunState(), RunStopped);
        startJob(*engine, QStringLiteral("/m/talk.wav"), QStringLiteral("/o/talk.wma"), 1);
        QTRY_COMPARE(child(&page, "lblInputFile")->text(), QStringLiteral("/m/talk.wav"));
        QCOMPARE(child(&page, "lblOutputFile")->text(), QStringLiteral("/o/talk.wma"));
        QCOMPARE(child(&page, "lblStreams")->text(), QStringLiteral("Audio 22.05 kHz mono, 32 kb/s"));
        QVERIFY(child<QTimer>(&page, "tmrRefresh")->isActive());

        engine->failJob(0x5B);
        QTRY_COMPARE(child(&page, "lblState")->text(), QStringLiteral("Failed (error 5B)"));
        QVERIFY(!child<QTimer>(&page, "tmrRefresh")->isActive());
    }

    void progress_knownAndUnknownDuration()
    {
        JobProgressPage page;
        auto engine = runningEngine();
        page.setObject(engine.get());
        engine->setProgress({60'000'000, 15'000'000, 450});
        auto *bar = child<QProgressBar>(&page, "prgJob");
        QTRY_COMPARE(bar->text(), QStringLiteral("25%"));
        QCOMPARE(child(&page, "lblEncoded")->text(), QStringLiteral("0:00:15 of 0:01:00"));
        // Clock-driven figures are only checked for their form.
        const QRegularExpression clock(QStringLiteral("^\\d+:\\d\\d:\\d\\d$"));
        QTRY_VERIFY(clock.match(child(&page, "lblTimeLeft")->text()).hasMatch());
        QTRY_VERIFY(child(&page, "lblFps")->text().contains(QLatin1Char('.')));

        engine->setProgress({0, 20'000'000, 600});
        QTRY_COMPARE(child(&page, "lblEncoded")->text(), QStringLiteral("0:00:20"));
        QCOMPARE(child(&page, "lblTimeLeft")->text(), Dash);
        QVERIFY(!bar->text().contains(QLatin1Char('%')));

        engine->setProgress({60'000'000, 15'000'000, 450});
        engine->Stop(); // no estimate is left over once the job is over
        QVERIFY(!child<QTimer>(&page, "tmrRefresh")->isActive());
        QCOMPARE(child(&page, "lblTimeLeft")->text(), Dash);
    }

    void progress_figures_data()
    {
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<qint64>("encodedUs");
        QTest::addColumn<qint64>("durationUs");
        QTest::addColumn<int>("percent");   // -1: unknown
        QTest::addColumn<qint64>("leftMs"); // -1: unknown
        QTest::newRow("quarter") << 10'000LL << 15'000'000LL << 60'000'000LL << 25 << 30'000LL;
        QTest::newRow("overshoot") << 8'000LL << 61'000'000LL << 60'000'000LL << 100 << 0LL;
        QTest::newRow("no duration") << 8'000LL << 5'000'000LL << 0LL << -1 << -1LL;
        QTest::newRow("nothing yet") << 8'000LL << 0LL << 60'000'000LL << 0 << -1LL;
        // Ten hours of media after one: no overflow on the way.
        QTest::newRow("long") << 3'600'000LL << 3'600'000'000LL << 36'000'000'000LL << 10
                              << 32'400'000LL;
    }

    void progress_figures()
    {
        QFETCH(qint64, elapsedMs);
        QFETCH(qint64, encodedUs);
        QFETCH(qint64, durationUs);
        QFETCH(int, percent);
        QFETCH(qint64, leftMs);
        QCOMPARE(JobProgressPage::percentDone(encodedUs, durationUs).value_or(-1), percent);
        QCOMPARE(JobProgressPage::remainingMs(elapsedMs, encodedUs, durationUs).value_or(-1), leftMs);
        QCOMPARE(JobProgressPage::clockText(3'723'999), QStringLiteral("1:02:03"));
    }
};

QTEST_MAIN(TestPages)
#include "tst_pages.moc"
