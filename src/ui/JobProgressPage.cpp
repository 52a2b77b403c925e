#include "JobProgressPage.h"

#include "encoding/EncoderEngine.h"
#include "encoding/EngineFactory.h"
#include "session/ProgressFigures.h"
#include "session/SessionRunner.h"

#include "LabelText.h"

#include <QFormLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace joblet {

namespace {

const QString Unknown = QStringLiteral("\u2014");

bool isActive(qint32 runState)
{
    return joblet::isActive(RunState(runState));
}

// Paths are long and their interesting ends are at both sides, so they are
// cut in the middle rather than pushing the panel wider. text() stays whole.
class PathLabel : public QLabel {
public:
    using QLabel::QLabel;

    QSize minimumSizeHint() const override
    {
        return {fontMetrics().averageCharWidth() * 10, QLabel::minimumSizeHint().height()};
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QRect r = contentsRect();
        const QString shown = fontMetrics().elidedText(text(), Qt::ElideMiddle, r.width());
        style()->drawItemText(&painter, r, int(alignment()), palette(), isEnabled(), shown,
                              foregroundRole());
    }
};

void setPath(QLabel *label, const QString &path)
{
    setLabelText(label, path.isEmpty() ? Unknown : path);
    label->setToolTip(path);
}

} // namespace

JobProgressPage::JobProgressPage(const Clock &clock, SessionRunner *runner, QWidget *parent)
    : PropertyPage(parent)
    , m_runner(runner)
    , m_speed(clock)
    , m_timer(new QTimer(this))
    , m_lblState(new QLabel(this))
    , m_lblInputFile(new PathLabel(this))
    , m_lblOutputFile(new PathLabel(this))
    , m_lblProfile(new QLabel(this))
    , m_lblStreams(new QLabel(this))
    , m_prgJob(new QProgressBar(this))
    , m_lblElapsed(new QLabel(this))
    , m_lblEncoded(new QLabel(this))
    , m_lblFps(new QLabel(this))
    , m_lblTimeLeft(new QLabel(this))
    , m_lblBatch(new QLabel(this))
    , m_lblBatchLeft(new QLabel(this))
{
    setWindowTitle(tr("Job"));
    setObjectName(QStringLiteral("JobProgressPage"));
    setAccessibleName(tr("Job progress"));

    m_timer->setObjectName(QStringLiteral("tmrRefresh"));
    m_timer->setInterval(RefreshMs);
    connect(m_timer, &QTimer::timeout, this, &JobProgressPage::tick);

    QFont stateFont = m_lblState->font();
    stateFont.setBold(true);
    m_lblState->setFont(stateFont);
    m_lblState->setObjectName(QStringLiteral("lblState"));
    m_lblState->setAccessibleDescription(tr("Encoder state"));

    m_lblStreams->setWordWrap(true);
    for (QLabel *label : {m_lblInputFile, m_lblOutputFile})
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_prgJob->setRange(0, 100);
    m_prgJob->setTextVisible(true);

    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    const auto addRow = [this, form](const QString &caption, const QString &name,
                                     QWidget *field) {
        auto *label = new QLabel(caption, this);
        label->setObjectName(name + QStringLiteral("Caption"));
        label->setBuddy(field);
        field->setObjectName(name);
        QString accessible = caption;
        accessible.remove(QLatin1Char(':'));
        // Labels are read by the value they show; what it is goes into the
        // description.
        if (qobject_cast<QLabel *>(field))
            field->setAccessibleDescription(accessible);
        else
            field->setAccessibleName(accessible);
        form->addRow(label, field);
    };
    addRow(tr("Input file:"), QStringLiteral("lblInputFile"), m_lblInputFile);
    addRow(tr("Output file:"), QStringLiteral("lblOutputFile"), m_lblOutputFile);
    addRow(tr("Profile:"), QStringLiteral("lblProfile"), m_lblProfile);
    addRow(tr("Streams:"), QStringLiteral("lblStreams"), m_lblStreams);
    addRow(tr("Progress:"), QStringLiteral("prgJob"), m_prgJob);
    addRow(tr("Elapsed:"), QStringLiteral("lblElapsed"), m_lblElapsed);
    addRow(tr("Encoded:"), QStringLiteral("lblEncoded"), m_lblEncoded);
    addRow(tr("Frames per second:"), QStringLiteral("lblFps"), m_lblFps);
    addRow(tr("Time left:"), QStringLiteral("lblTimeLeft"), m_lblTimeLeft);
    addRow(tr("Batch:"), QStringLiteral("lblBatch"), m_lblBatch);
    addRow(tr("Batch time left:"), QStringLiteral("lblBatchLeft"), m_lblBatchLeft);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_lblState);
    layout->addLayout(form);
    layout->addStretch();

    setLabelText(m_lblState, tr("No job running"));
    for (QLabel *label : {m_lblInputFile, m_lblOutputFile, m_lblProfile, m_lblStreams,
                          m_lblElapsed, m_lblEncoded, m_lblFps, m_lblTimeLeft, m_lblBatch,
                          m_lblBatchLeft})
        setLabelText(label, Unknown);
    m_prgJob->setValue(0);
    m_prgJob->setFormat(Unknown);
}

void JobProgressPage::setObject(EncoderEngine *engine)
{
    if (m_engine)
        disconnect(m_engine, nullptr, this, nullptr);
    m_engine = engine;
    if (!engine) {
        onEngineDestroyed();
        return;
    }
    connect(engine, &EncoderEngine::RunStateChanged, this, &JobProgressPage::onRunStateChanged);
    connect(engine, &QObject::destroyed, this, &JobProgressPage::onEngineDestroyed);
    if (isActive(engine->RunState()))
        beginJob();
    refresh();
    updateTimer();
}

void JobProgressPage::onRunStateChanged(qint32 runState)
{
    if (runState == RunStarting || (isActive(runState) && !m_elapsed.isValid()))
        beginJob();
    if (runState == RunStopped && m_elapsed.isValid() && m_finalElapsedMs < 0)
        m_finalElapsedMs = m_elapsed.elapsed();
    refresh();
    updateTimer();
}

// The engine is already half gone here: nothing may touch it.
void JobProgressPage::onEngineDestroyed()
{
    m_timer->stop();
    if (m_elapsed.isValid() && m_finalElapsedMs < 0)
        m_finalElapsedMs = m_elapsed.elapsed();
    if (m_shownJob) {
        setLabelText(m_lblState, tr("Run ended"));
        setLabelText(m_lblTimeLeft, Unknown);
        setLabelText(m_lblBatchLeft, Unknown);
    } else {
        setLabelText(m_lblState, tr("No job running"));
    }
}

void JobProgressPage::beginJob()
{
    m_elapsed.start();
    m_finalElapsedMs = -1;
    m_speed.beginJob();
}

void JobProgressPage::updateTimer()
{
    if (m_engine && isActive(m_engine->RunState())) {
        if (!m_timer->isActive())
            m_timer->start();
    } else {
        m_timer->stop();
    }
}

void JobProgressPage::tick()
{
    if (m_engine && m_runner && m_runner->jobRow() != 0) {
        // One later row a tick, for the whole run's time left; only from the
        // timer, so no engine event has to wait for a file to be opened.
        m_runner->plan().probeNext(m_runner->engines().catalogue(), m_runner->jobRow());
    }
    refresh();
}

void JobProgressPage::refresh()
{
    if (!m_engine) {
        m_timer->stop();
        return;
    }
    showJob();
    const qint64 elapsedMs = m_finalElapsedMs >= 0 ? m_finalElapsedMs
                             : m_elapsed.isValid() ? m_elapsed.elapsed()
                                                   : 0;
    const EncodeProgress progress = m_engine->Progress();
    showProgress(progress, elapsedMs);
    showBatch(progress, isActive(m_engine->RunState()));
    showState(m_engine->RunState(), m_engine->ErrorState());
}

void JobProgressPage::showJob()
{
    QString input;
    QString profileName;
    QString streams;
    SourceGroupCollection &groups = m_engine->SourceGroupCollection();
    if (groups.Count() > 0) {
        const SourceGroup &group = groups.Item(0);
        input = group.sourcePath();
        if (const auto &profile = group.Profile()) {
            profileName = profile->Name();
            streams = ProgressFigures::streamsText(profile->settings());
        }
    }
    const QString output = m_engine->File().LocalFileName();

    m_shownJob = m_shownJob || !input.isEmpty() || !output.isEmpty();

    setPath(m_lblInputFile, input);
    setPath(m_lblOutputFile, output);
    setLabelText(m_lblProfile, profileName.isEmpty() ? Unknown : profileName);
    setLabelText(m_lblStreams, streams.isEmpty() ? Unknown : streams);
}

void JobProgressPage::showProgress(const EncodeProgress &progress, qint64 elapsedMs)
{
    const bool active = isActive(m_engine->RunState());
    if (const auto percent = ProgressFigures::percentDone(progress.encodedUs, progress.durationUs)) {
        m_prgJob->setRange(0, 100);
        m_prgJob->setFormat(QStringLiteral("%p%"));
        m_prgJob->setValue(*percent);
    } else if (active && progress.encodedUs > 0) {
        m_prgJob->setRange(0, 0); // busy: moving, but no end in sight
    } else {
        m_prgJob->setRange(0, 100);
        m_prgJob->setFormat(Unknown);
        m_prgJob->setValue(0);
    }

    setLabelText(m_lblElapsed, ProgressFigures::clockText(elapsedMs));

    QString encoded = ProgressFigures::clockText(progress.encodedUs / 1000);
    if (progress.durationUs > 0)
        encoded += tr(" of %1").arg(ProgressFigures::clockText(progress.durationUs / 1000));
    setLabelText(m_lblEncoded, encoded);

    setLabelText(m_lblFps, progress.videoFrames > 0 && elapsedMs > 0
                          ? QString::number(progress.videoFrames * 1000.0 / elapsedMs, 'f', 1)
                          : Unknown);

    if (active)
        m_speed.sample(progress.encodedUs);
    // An estimate only means something while the job still runs.
    const auto left = active ? TimeLeft::wallMs(TimeLeft::mediaLeftUs(progress.encodedUs, progress.durationUs, {}),
                                                m_speed.speed())
                             : std::nullopt;
    setLabelText(m_lblTimeLeft, left ? ProgressFigures::clockText(*left) : Unknown);
}

void JobProgressPage::showBatch(const EncodeProgress &progress, bool active)
{
    const int row = m_runner ? m_runner->jobRow() : 0;
    if (row == 0)
        return; // between jobs the last figures stay
    const RunPlan &plan = m_runner->plan();
    setLabelText(m_lblBatch, tr("job %1 of %2").arg(plan.position(row)).arg(plan.count()));
    const auto left = active ? TimeLeft::wallMs(TimeLeft::mediaLeftUs(progress.encodedUs, progress.durationUs,
                                                                      plan.durationsAfter(row)),
                                                m_speed.speed())
                             : std::nullopt;
    setLabelText(m_lblBatchLeft, left ? ProgressFigures::clockText(*left) : Unknown);
}

void JobProgressPage::showState(qint32 runState, qint32 errorState)
{
    QString text;
    switch (runState) {
    case RunStarting: text = tr("Starting"); break;
    case RunRunning: text = tr("Encoding"); break;
    case RunPaused: text = tr("Paused"); break;
    default:
        text = errorState != 0
                   ? tr("Failed (error %1)")
                         .arg(QString::number(quint32(errorState), 16).toUpper())
                   : tr("Stopped");
        break;
    }
    setLabelText(m_lblState, text);
}

} // namespace joblet
