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
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace joblet;

namespace {

// A second kind of page, so the host has something that is not replaced.
class RecordingPage : public PropertyPage {
    Q_OBJECT

public:
    using PropertyPage::PropertyPage;
    void setObject(EncoderEngine *engine) override
    {
        object = engine;
        ++calls;
    }
    QPointer<EncoderEngine> object;
    int calls = 0;
};

ProfileSettings avProfile()
{
    ProfileSettings p;
    p.name = QStringLiteral("Test AV 320");
    p.video = {320, 240, 30, 512000};
    p.audio = {44100, 2, 64000};
    return p;
}

ProfileSettings audioProfile()
{
    ProfileSettings p;
    p.name = QStringLiteral("Test voice");
    p.audio = {22050, 1, 32000};
    return p;
}

QString fullText(const QLabel *label)
{
    return label->text();
}

} // namespace

class TestPages : public QObject {
    Q_OBJECT

private:
    std::shared_ptr<FakeEngineScript> m_script;

    // An engine with one job started and left running.
    std::unique_ptr<FakeEncoderEngine> runningEngine(const QString &input, const QString &output,
                                                     int profileIndex = 0)
    {
        auto engine = std::make_unique<FakeEncoderEngine>(m_script);
        engine->SourceGroupCollection().Add(QStringLiteral("Joblet"));
        startJob(*engine, input, output, profileIndex);
        return engine;
    }

    void startJob(FakeEncoderEngine &engine, const QString &input, const QString &output,
                  int profileIndex = 0)
    {
        m_script->setJob(input, FakeJobPlan::Hang);
        SourceGroup &group = engine.SourceGroupCollection().Item(0);
        group.AutoSetFileSource(input);
        group.setProfile(engine.ProfileCollection().Item(profileIndex));
        engine.File().setLocalFileName(output);
        engine.Start();
    }

    template<typename T>
    static T *child(QWidget *parent, const char *name)
    {
        auto *w = parent->findChild<T *>(QString::fromLatin1(name));
        if (!w)
            qFatal("no child %s", name);
        return w;
    }

private Q_SLOTS:
    void init()
    {
        m_script = std::make_shared<FakeEngineScript>();
        m_script->profiles = {avProfile(), audioProfile()};
    }

    // --- report window ---

    void report_layoutAndTexts()
    {
        FrmReport report(nullptr);
        QCOMPARE(report.objectName(), QStringLiteral("frmReport"));
        QCOMPARE(report.windowTitle(), QStringLiteral("Scheduled Session Report"));
        QCOMPARE(report.size(), QSize(485, 391));

        auto *label1 = child<QLabel>(&report, "Label1");
        QCOMPARE(label1->text(),
                 QStringLiteral("The following results were recorded during the scheduled session. "));
        QVERIFY(label1->font().bold());
        QVERIFY(label1->alignment() & Qt::AlignHCenter);
        QCOMPARE(label1->geometry(), QRect(16, 4, 444, 20));
        QVERIFY(QFontMetrics(label1->font()).horizontalAdvance(label1->text().trimmed())
                <= label1->contentsRect().width());

        auto *start = child<QLabel>(&report, "lblStart");
        auto *end = child<QLabel>(&report, "lblEndTime");
        QCOMPARE(start->text(), QStringLiteral("Session start time:"));
        QCOMPARE(end->text(), QStringLiteral("Session end time:"));
        QCOMPARE(start->pos(), QPoint(15, 27));
        QCOMPARE(end->pos(), QPoint(14, 45));
        QVERIFY(start->width() >= 85 && end->width() >= 83);

        QCOMPARE(child<QListWidget>(&report, "List1")->geometry(), QRect(17, 71, 448, 277));
        auto *ok = child<QPushButton>(&report, "Command1");
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QCOMPARE(ok->geometry(), QRect(365, 365, 101, 22));

        for (QWidget *w : report.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            QVERIFY2(!w->objectName().isEmpty(), w->metaObject()->className());
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        }
    }

    void report_timesShownWhole()
    {
        FrmReport report(nullptr);
        report.setStartTime(QStringLiteral("10:42:07 PM"));
        report.setEndTime(QStringLiteral("11:58:31 PM"));
        for (const char *name : {"lblStart", "lblEndTime"}) {
            auto *label = child<QLabel>(&report, name);
            const QFontMetrics fm(label->font());
            QVERIFY2(label->contentsRect().width() >= fm.horizontalAdvance(label->text()),
                     name);
            QVERIFY2(label->contentsRect().height() >= fm.height(), name);
        }
        QCOMPARE(child<QLabel>(&report, "lblStart")->text(),
                 QStringLiteral("Session start time: 10:42:07 PM"));
        QCOMPARE(child<QLabel>(&report, "lblEndTime")->text(),
                 QStringLiteral("Session end time: 11:58:31 PM"));
        // The end time sits below the start time, not over it.
        QVERIFY(child<QLabel>(&report, "lblStart")->geometry().bottom()
                < child<QLabel>(&report, "lblEndTime")->geometry().top());
    }

    void report_linesInOrderAndCleared()
    {
        FrmReport report(nullptr);
        const QStringList lines{QStringLiteral("File: /o/a.wmv Result: Done"),
                                QStringLiteral("File: /o/b.wma Result: Error:1"),
                                QStringLiteral("File: /o/c.wmv Result: Done")};
        for (const QString &line : lines)
            report.addLine(line);
        QCOMPARE(report.lines(), lines);
        QCOMPARE(child<QListWidget>(&report, "List1")->item(1)->text(), lines[1]);
        report.clearLines();
        QVERIFY(report.lines().isEmpty());
    }

    void report_okRestoresMinimisedMainWindowAndDeletes()
    {
        QWidget mainWindow;
        mainWindow.showMinimized();
        QVERIFY(mainWindow.isMinimized());
        QPointer<FrmReport> report = new FrmReport(&mainWindow);
        report->showCentred();
        QTest::mouseClick(child<QPushButton>(report, "Command1"), Qt::LeftButton);
        QVERIFY(!mainWindow.isMinimized());
        QVERIFY(mainWindow.isVisible());
        QTRY_VERIFY(report.isNull());
    }

    void report_okLeavesNormalOrMaximisedMainWindowAlone()
    {
        QWidget mainWindow;
        mainWindow.showMaximized();
        const Qt::WindowStates before = mainWindow.windowState();
        QPointer<FrmReport> report = new FrmReport(&mainWindow);
        report->showCentred();
        report->Command1_Click();
        QCOMPARE(mainWindow.windowState(), before);
        QTRY_VERIFY(report.isNull());
    }

    void report_hiddenReportClosedByOkIsDeletedToo()
    {
        QPointer<FrmReport> report = new FrmReport(nullptr);
        report->Command1_Click(); // main window already gone: nothing to restore
        QTRY_VERIFY(report.isNull());
    }

    void report_showCentredOnScreenWithoutBlocking()
    {
        QPointer<FrmReport> report = new FrmReport(nullptr);
        report->showCentred(); // returns: not modal
        QVERIFY(report->isVisible());
        QVERIFY(!report->isModal());
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect frame = report->frameGeometry();
        QVERIFY(qAbs(frame.center().x() - area.center().x()) <= 1);
        QVERIFY(qAbs(frame.center().y() - area.center().y()) <= 1);
        delete report;
    }

    // --- property panel ---

    void host_addPageReplacesSameClass()
    {
        PropertyPageHost host;
        QCOMPARE(host.objectName(), QStringLiteral("PropMain"));
        QVERIFY(!host.accessibleName().isEmpty());

        QPointer<JobProgressPage> first = new JobProgressPage;
        host.AddPage(first);
        auto *other = new RecordingPage;
        host.AddPage(other);
        QPointer<JobProgressPage> second = new JobProgressPage;
        host.AddPage(second);

        QTRY_VERIFY(first.isNull());
        QCOMPARE(host.pages().size(), 2);
        QCOMPARE(host.pages().at(0), second.data()); // in the old page's place
        QCOMPARE(host.pages().at(1), other);

        host.AddPage(second); // the same page again is no replacement
        QCOMPARE(host.pages().size(), 2);
        QVERIFY(!second.isNull());
    }

    void host_addObjectReachesEveryPage()
    {
        PropertyPageHost host;
        auto *before = new RecordingPage;
        host.AddPage(before);
        FakeEncoderEngine engine(m_script);
        host.AddObject(&engine);
        QCOMPARE(before->object.data(), &engine);

        auto *after = new RecordingPage;
        host.AddPage(after); // replaces `before`, and still gets the object
        QCOMPARE(after->object.data(), &engine);
        QCOMPARE(host.pages(), QList<PropertyPage *>{after});
    }

    void host_engineDestroyedWhileShown()
    {
        PropertyPageHost host;
        auto *page = new JobProgressPage;
        host.AddPage(page);
        host.resize(400, 300);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));

        auto engine = runningEngine(QStringLiteral("/media/in.avi"), QStringLiteral("/out/in.wmv"));
        host.AddObject(engine.get());
        auto *timer = child<QTimer>(page, "tmrRefresh");
        QVERIFY(timer->isActive());

        engine.reset(); // what the runner does at the end of a run
        QVERIFY(!timer->isActive());
        host.repaint();
        // The last job stays readable after the run.
        QCOMPARE(fullText(child<QLabel>(page, "lblInputFile")), QStringLiteral("/media/in.avi"));
        QCOMPARE(child<QLabel>(page, "lblTimeLeft")->text(), QStringLiteral("\u2014"));

        // A later run's engine is picked up as usual.
        auto next = runningEngine(QStringLiteral("/media/two.avi"), QStringLiteral("/out/two.wmv"));
        host.AddObject(next.get());
        QCOMPARE(fullText(child<QLabel>(page, "lblInputFile")), QStringLiteral("/media/two.avi"));
        QVERIFY(timer->isActive());
    }

    // --- job progress page ---

    void progress_idleWithoutEngine()
    {
        JobProgressPage page;
        auto *timer = child<QTimer>(&page, "tmrRefresh");
        QVERIFY(!timer->isActive());
        QCOMPARE(timer->interval(), JobProgressPage::RefreshMs);
        page.setObject(nullptr);
        QVERIFY(!timer->isActive());

        // An engine that is attached but not encoding is not polled either.
        FakeEncoderEngine idle(m_script);
        page.setObject(&idle);
        QVERIFY(!timer->isActive());

        for (QWidget *w : page.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            QVERIFY2(!w->objectName().isEmpty(), w->metaObject()->className());
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        }
    }

    void progress_showsJobDetails()
    {
        JobProgressPage page;
        auto engine = runningEngine(QStringLiteral("/media/clip.avi"),
                                    QStringLiteral("/out/clip.wmv"));
        page.setObject(engine.get());
        QCOMPARE(fullText(child<QLabel>(&page, "lblInputFile")), QStringLiteral("/media/clip.avi"));
        QCOMPARE(fullText(child<QLabel>(&page, "lblOutputFile")), QStringLiteral("/out/clip.wmv"));
        QCOMPARE(child<QLabel>(&page, "lblProfile")->text(), QStringLiteral("Test AV 320"));
        QCOMPARE(child<QLabel>(&page, "lblStreams")->text(),
                 QStringLiteral("Video 320\u00d7240, 30 fps, 512 kb/s; Audio 44.1 kHz stereo, 64 kb/s"));

        // The next job of the same run replaces the details.
        engine->finishJob();
        QSignalSpy stopped(engine.get(), &EncoderEngine::RunStateChanged);
        QTRY_COMPARE(engine->RunState(), RunStopped);
        startJob(*engine, QStringLiteral("/media/talk.wav"), QStringLiteral("/out/talk.wma"), 1);
        QTRY_COMPARE(fullText(child<QLabel>(&page, "lblInputFile")),
                     QStringLiteral("/media/talk.wav"));
        QCOMPARE(fullText(child<QLabel>(&page, "lblOutputFile")), QStringLiteral("/out/talk.wma"));
        QCOMPARE(child<QLabel>(&page, "lblStreams")->text(),
                 QStringLiteral("Audio 22.05 kHz mono, 32 kb/s"));
        QVERIFY(child<QTimer>(&page, "tmrRefresh")->isActive());
    }

    void progress_knownDuration()
    {
        JobProgressPage page;
        auto engine = runningEngine(QStringLiteral("/media/clip.avi"),
                                    QStringLiteral("/out/clip.wmv"));
        page.setObject(engine.get());
        engine->setProgress({60'000'000, 15'000'000, 450});

        auto *bar = child<QProgressBar>(&page, "prgJob");
        QTRY_COMPARE(bar->value(), 25);
        QCOMPARE(bar->text(), QStringLiteral("25%"));
        QCOMPARE(child<QLabel>(&page, "lblEncoded")->text(), QStringLiteral("0:00:15 of 0:01:00"));
        // Figures that depend on the clock are only checked for their form.
        const QRegularExpression clock(QStringLiteral("^\\d+:\\d\\d:\\d\\d$"));
        QTRY_VERIFY(clock.match(child<QLabel>(&page, "lblTimeLeft")->text()).hasMatch());
        QVERIFY(clock.match(child<QLabel>(&page, "lblElapsed")->text()).hasMatch());
        QTRY_VERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d$"))
                        .match(child<QLabel>(&page, "lblFps")->text())
                        .hasMatch());

        // Once the job stops the polling stops, and no estimate is left over.
        engine->Stop();
        QVERIFY(!child<QTimer>(&page, "tmrRefresh")->isActive());
        QCOMPARE(child<QLabel>(&page, "lblTimeLeft")->text(), QStringLiteral("\u2014"));
        QCOMPARE(child<QLabel>(&page, "lblState")->text(), QStringLiteral("Stopped"));
    }

    void progress_unknownDuration()
    {
        JobProgressPage page;
        auto engine = runningEngine(QStringLiteral("/media/live.asf"),
                                    QStringLiteral("/out/live.wmv"));
        page.setObject(engine.get());
        engine->setProgress({0, 15'000'000, 450});
        QTRY_COMPARE(child<QLabel>(&page, "lblEncoded")->text(), QStringLiteral("0:00:15"));
        QCOMPARE(child<QLabel>(&page, "lblTimeLeft")->text(), QStringLiteral("\u2014"));
        QVERIFY(child<QProgressBar>(&page, "prgJob")->text().isEmpty()
                || child<QProgressBar>(&page, "prgJob")->text() == QStringLiteral("\u2014"));
    }

    void progress_figures_data()
    {
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<qint64>("encodedUs");
        QTest::addColumn<qint64>("durationUs");
        QTest::addColumn<int>("percent"); // -1: unknown
        QTest::addColumn<qint64>("leftMs"); // -1: unknown

        QTest::newRow("quarter") << 10'000LL << 15'000'000LL << 60'000'000LL << 25 << 30'000LL;
        QTest::newRow("done") << 8'000LL << 60'000'000LL << 60'000'000LL << 100 << 0LL;
        QTest::newRow("overshoot") << 8'000LL << 61'000'000LL << 60'000'000LL << 100 << 0LL;
        QTest::newRow("no duration") << 8'000LL << 5'000'000LL << 0LL << -1 << -1LL;
        QTest::newRow("nothing encoded") << 8'000LL << 0LL << 60'000'000LL << 0 << -1LL;
        QTest::newRow("no time yet") << 0LL << 1'000LL << 60'000'000LL << 0 << -1LL;
        // Ten hours of media after an hour: no overflow on the way.
        QTest::newRow("long file") << 3'600'000LL << 3'600'000'000LL << 36'000'000'000LL << 10
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
        QCOMPARE(JobProgressPage::remainingMs(elapsedMs, encodedUs, durationUs).value_or(-1),
                 leftMs);
    }

    void progress_texts()
    {
        QCOMPARE(JobProgressPage::clockText(0), QStringLiteral("0:00:00"));
        QCOMPARE(JobProgressPage::clockText(59'999), QStringLiteral("0:00:59"));
        QCOMPARE(JobProgressPage::clockText(3'723'000), QStringLiteral("1:02:03"));
        QCOMPARE(JobProgressPage::clockText(-5), QStringLiteral("0:00:00"));

        ProfileSettings video;
        video.video = {640, 480, 25, 1'500'000};
        QCOMPARE(JobProgressPage::streamsText(video),
                 QStringLiteral("Video 640\u00d7480, 25 fps, 1500 kb/s"));
        ProfileSettings surround;
        surround.audio = {48000, 6, 192000};
        QCOMPARE(JobProgressPage::streamsText(surround),
                 QStringLiteral("Audio 48 kHz 6 channels, 192 kb/s"));
        QVERIFY(JobProgressPage::streamsText(ProfileSettings{}).isEmpty());
    }

    void progress_failureShownInState()
    {
        JobProgressPage page;
        auto engine = runningEngine(QStringLiteral("/media/bad.avi"), QStringLiteral("/out/bad.wmv"));
        page.setObject(engine.get());
        engine->failJob(0x5B);
        QTRY_COMPARE(child<QLabel>(&page, "lblState")->text(), QStringLiteral("Failed (error 5B)"));
        QVERIFY(!child<QTimer>(&page, "tmrRefresh")->isActive());
    }
};

QTEST_MAIN(TestPages)
#include "tst_pages.moc"
