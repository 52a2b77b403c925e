#include "BatchRun.h"

#include "ResultStore.h"
#include "RunReport.h"

#include "batch/BatchList.h"
#include "batch/JobResult.h"
#include "encoding/EncoderEngine.h"
#include "encoding/EncoderFailure.h"
#include "encoding/EngineFactory.h"
#include "encoding/PartialOutput.h"
#include "schedule/Clock.h"
#include "session/ProgressFigures.h"
#include "session/RunTally.h"
#include "session/SessionRunner.h"

namespace joblet::batchcli {

namespace {

constexpr int TickMs = 1000;

} // namespace

BatchRun::BatchRun(ResultStore &store, const EngineFactory &engines, RunSettings settings,
                   RunReport &report, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_engines(engines)
    , m_settings(settings)
    , m_report(report)
{
    const ListDocument &list = store.start();
    QList<RunPlan::Entry> entries;
    for (int row = 1; row <= list.count(); ++row) {
        if (m_settings.shard.takes(row) && !isDone(list.result(row))) {
            m_rows.append(row);
            entries.append({row, list.item(row).inputFile});
        }
    }
    m_plan = RunPlan(std::move(entries));
    m_ticker.setInterval(TickMs);
    connect(&m_ticker, &QTimer::timeout, this, &BatchRun::tick);
}

// Runners still alive end their jobs as they go (the engine stops on destruction).
BatchRun::~BatchRun() = default;

QString BatchRun::resultOf(int row) const
{
    return m_results.value(row, m_store.start().result(row));
}

int BatchRun::completionCode() const
{
    const ListDocument &list = m_store.start();
    for (int row = 1; row <= list.count(); ++row) {
        if (m_settings.shard.takes(row) && !isDone(resultOf(row)))
            return 1;
    }
    return 0;
}

void BatchRun::start()
{
    QStringList outputs;
    for (const int row : std::as_const(m_rows))
        outputs << m_store.start().item(row).outputFile;
    // Only rows this run owns, before it encodes any: no live job's file.
    removePartialOutputs(outputs);

    m_report.runStarted(int(m_rows.size()), m_settings.jobs);
    m_ticker.start();
    QMetaObject::invokeMethod(this, &BatchRun::startNext, Qt::QueuedConnection);
}

void BatchRun::startNext()
{
    while (!m_stopping && m_jobs.size() < m_settings.jobs && m_next < m_rows.size())
        launch(m_rows.at(m_next++));
    if (m_jobs.isEmpty() && (m_stopping || m_next >= m_rows.size()))
        finish();
}

void BatchRun::launch(int row)
{
    BatchItem item = m_store.start().item(row);
    item.result.clear();
    auto *list = new BatchList;
    list->append(item);
    auto *runner = new SessionRunner(*list, m_engines, this);
    list->setParent(runner);

    connect(runner, &SessionRunner::jobStarted, this, [this, runner, row] {
        for (Job &job : m_jobs) {
            if (job.runner == runner) {
                job.started = true;
                job.speed->beginJob();
            }
        }
        m_report.jobStarted(row, m_store.start().item(row));
    });
    connect(runner, &SessionRunner::jobEnded, this,
            [this, row](int, qint32 number, const QString &description) {
                onJobEnded(row, number, description);
            });
    connect(runner, &SessionRunner::runEnded, this, [this, runner] { onRunnerEnded(runner); });

    m_jobs.append({row, runner, false, std::make_shared<SpeedEstimate>(Clock::system())});
    try {
        runner->start();
    } catch (const EncoderFailure &failure) {
        // No engine at all: the row fails as the desktop run's Start would.
        onJobEnded(row, failure.number(), failure.description());
        QMetaObject::invokeMethod(this, [this, runner] { onRunnerEnded(runner); }, Qt::QueuedConnection);
    }
}

void BatchRun::onJobEnded(int row, qint32 number, const QString &description)
{
    const QString result = resultText(number);
    m_results.insert(row, result);
    // Counted only once its Result is kept (or said to be lost).
    QString error;
    const bool kept = m_store.record(row, result, &error);
    ++m_ended;
    if (!kept) {
        m_report.problem(error);
        m_writeFailed = true;
        // A Result too long for its line leaves the store working.
        if (m_store.start().fits(row, result))
            stopAll();
    }
    m_report.jobEnded(row, m_store.start().item(row).inputFile, result, number == 0 ? QString() : description,
                      m_ended, int(m_rows.size()));
}

void BatchRun::onRunnerEnded(SessionRunner *runner)
{
    m_jobs.removeIf([runner](const Job &job) { return job.runner == runner; });
    // Not here: the runner is still inside its own signal.
    runner->deleteLater();
    startNext();
}

void BatchRun::interrupt(int signalNumber)
{
    if (m_signal != 0 || m_finished)
        return;
    m_signal = signalNumber;
    stopAll();
}

void BatchRun::stopAll()
{
    m_stopping = true;
    for (const Job &job : std::as_const(m_jobs)) {
        if (!job.runner->Encoder())
            continue;
        try {
            job.runner->stop();
        } catch (const EncoderFailure &) {
            // The runner ends its run whatever Stop did.
        }
    }
}

void BatchRun::tick()
{
    QList<RunReport::Running> running;
    // Jobs at once share the machine: the run goes at their speeds' sum.
    std::optional<double> speed;
    qint64 runningLeftUs = 0;
    std::optional<qint64> mediaLeftUs;
    const int lastLaunched = m_next > 0 ? m_rows.at(m_next - 1) : 0;
    for (const Job &job : std::as_const(m_jobs)) {
        if (!job.started)
            continue;
        RunReport::Running r{job.row, m_plan.position(job.row), m_store.start().item(job.row).inputFile,
                             std::nullopt, std::nullopt};
        if (EncoderEngine *engine = job.runner->Encoder()) {
            const EncodeProgress p = engine->Progress();
            job.speed->sample(p.encodedUs);
            r.percent = ProgressFigures::percentDone(p.encodedUs, p.durationUs);
            const auto jobMediaUs = TimeLeft::mediaLeftUs(p.encodedUs, p.durationUs, {});
            r.leftMs = TimeLeft::wallMs(jobMediaUs, job.speed->speed());
            if (job.speed->speed())
                speed = speed.value_or(0) + *job.speed->speed();
            // The later rows are counted once, with the first job.
            if (!mediaLeftUs)
                mediaLeftUs = TimeLeft::mediaLeftUs(p.encodedUs, p.durationUs, m_plan.durationsAfter(lastLaunched));
            else
                runningLeftUs += jobMediaUs.value_or(0);
            m_plan.probeNext(m_engines.catalogue(), lastLaunched);
        }
        running.append(r);
    }
    if (mediaLeftUs)
        *mediaLeftUs += runningLeftUs;
    m_report.progress(running, m_ended, int(m_rows.size()), TimeLeft::wallMs(mediaLeftUs, speed));
}

void BatchRun::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_ticker.stop();
    QString error;
    if (!m_store.fold(&error)) {
        m_report.problem(error);
        m_writeFailed = true;
    }
    const int code = m_signal != 0 ? 128 + m_signal : m_writeFailed ? 1 : completionCode();
    const ListDocument &list = m_store.start();
    int shardRows = 0;
    for (int row = 1; row <= list.count(); ++row)
        shardRows += m_settings.shard.takes(row) ? 1 : 0;
    RunTally tally(shardRows);
    for (int row = 1; row <= list.count(); ++row) {
        if (!m_settings.shard.takes(row))
            continue;
        const QString &input = list.item(row).inputFile;
        if (!m_rows.contains(row))
            tally.add(row, input, RunTally::End::Skipped);
        else if (const auto it = m_results.constFind(row); it != m_results.cend())
            tally.add(row, input, isDone(*it)                                   ? RunTally::End::DoneNow
                                  : *it == resultText(EngineError::Stopped) ? RunTally::End::Stopped
                                                                             : RunTally::End::Failed);
    }
    const QString outcome = m_signal != 0 ? QStringLiteral("stopped")
                            : m_writeFailed ? QStringLiteral("unwritten")
                                            : QStringLiteral("finished");
    m_report.runEnded(outcome, code, tally);
    Q_EMIT finished(code);
}

} // namespace joblet::batchcli
