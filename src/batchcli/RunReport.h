#pragma once

#include <QList>
#include <QString>

#include <cstdio>
#include <optional>

namespace joblet {
struct BatchItem;
}

namespace joblet::batchcli {

// What a run tells on stderr: one JSON object a line for scripts, a progress
// line that rewrites itself on a terminal, or else a line per finished job.
class RunReport {
public:
    enum class Style { Json, Terminal, Plain };

    explicit RunReport(Style style, std::FILE *out = stderr);
    // Terminal when `out` is one, else Plain; Json when asked for.
    static Style styleFor(bool json, std::FILE *out = stderr);

    struct Running {
        int row = 0;
        std::optional<int> percent;
    };

    void runStarted(int rows, int jobs);
    void jobStarted(int row, const BatchItem &item);
    void progress(const QList<Running> &running, int ended, int rows, std::optional<qint64> leftMs);
    void jobEnded(int row, const QString &result, const QString &description, int ended, int rows);
    void runEnded(const QString &outcome, int exitCode, int done, int failed, int rows);
    // A problem that is no row's Result, such as a list that cannot be written.
    void problem(const QString &text);

private:
    void clearLine();
    void put(const QString &text);

    Style m_style;
    std::FILE *m_out;
    bool m_lineShown = false;
};

} // namespace joblet::batchcli
