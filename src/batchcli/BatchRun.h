#pragma once

#include "ListDocument.h"

#include "session/RunPlan.h"
#include "session/TimeLeft.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QTimer>

#include <memory>

namespace joblet {
class EngineFactory;
class SessionRunner;
} // namespace joblet

namespace joblet::batchcli {

class ResultStore;
class RunReport;

struct RunSettings {
    int jobs = 1;
    Shard shard;
};

// Encodes the rows of a list that are not "Done", up to `jobs` at once, each
// job by a SessionRunner of its own over a one-row list, so every job follows
// the desktop run's rules. Results go to the ResultStore as jobs end.
class BatchRun : public QObject {
    Q_OBJECT

public:
    BatchRun(ResultStore &store, const EngineFactory &engines, RunSettings settings,
             RunReport &report, QObject *parent = nullptr);
    ~BatchRun() override;

    // The shard's rows whose Result is not "Done", in row order.
    const QList<int> &rowsToRun() const { return m_rows; }

    // Returns at once; finished() follows from the event loop.
    void start();
    // Stops the running jobs (their outputs are removed, their rows run again
    // next time) and ends the run with 128 + the signal's number.
    void interrupt(int signalNumber);

    // 0 when every row of the shard is "Done", else 1.
    int completionCode() const;

Q_SIGNALS:
    void finished(int exitCode);

private:
    struct Job {
        int row = 0;
        SessionRunner *runner = nullptr;
        bool started = false;
        std::shared_ptr<SpeedEstimate> speed;
    };

    void startNext();
    void launch(int row);
    void onJobEnded(int row, qint32 number, const QString &description);
    void onRunnerEnded(SessionRunner *runner);
    void stopAll();
    void finish();
    void tick();
    QString resultOf(int row) const;

    ResultStore &m_store;
    const EngineFactory &m_engines;
    RunSettings m_settings;
    RunReport &m_report;
    QList<int> m_rows;
    RunPlan m_plan; // m_rows with their inputs and lengths
    qsizetype m_next = 0;
    QList<Job> m_jobs;
    QMap<int, QString> m_results;
    int m_ended = 0;
    int m_signal = 0;
    bool m_writeFailed = false;
    bool m_stopping = false;
    bool m_finished = false;
    QTimer m_ticker;
};

} // namespace joblet::batchcli
