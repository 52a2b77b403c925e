#pragma once

#include <QList>
#include <QString>

#include <cstdio>
#include <memory>
#include <optional>

namespace joblet {
struct BatchItem;
class RunTally;
} // namespace joblet

namespace joblet::batchcli {

// What a run tells on stderr. One reporter per style: JSON lines for
// scripts, a progress line that rewrites itself on a terminal, or else a
// line per failed job.
class RunReport {
public:
    virtual ~RunReport() = default;

    // JSON when asked for, else the terminal reporter when `out` is one,
    // else the plain one.
    static std::unique_ptr<RunReport> create(bool json, std::FILE *out = stderr);

    struct Running {
        int row = 0;
        int job = 0; // its place among the rows the run encodes, from 1
        QString input;
        std::optional<int> percent;
        std::optional<qint64> leftMs;
    };

    virtual void runStarted(int /*rows*/, int /*jobs*/) {}
    virtual void jobStarted(int /*row*/, const BatchItem & /*item*/) {}
    // `leftMs`: the whole run's time left.
    virtual void progress(const QList<Running> & /*running*/, int /*ended*/, int /*rows*/,
                          std::optional<qint64> /*leftMs*/)
    {
    }
    virtual void jobEnded(int row, const QString &input, const QString &result, const QString &description,
                          int ended, int rows) = 0;
    virtual void runEnded(const QString &outcome, int exitCode, const RunTally &tally) = 0;
    // A problem that is no row's Result, such as a list that cannot be written.
    virtual void problem(const QString &text) = 0;

    explicit RunReport(std::FILE *out) : m_out(out) {}

protected:
    void put(const QString &text);

    std::FILE *m_out;
};

} // namespace joblet::batchcli
