#include "RunReport.h"

#include "batch/BatchItem.h"
#include "batch/JobResult.h"
#include "session/ProgressFigures.h"
#include "fileio/TerminalText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <unistd.h>

namespace joblet::batchcli {

namespace {

QString failureLine(int row, const QString &result, const QString &description)
{
    QString line = QStringLiteral("row %1: %2").arg(row).arg(result);
    if (!description.isEmpty())
        line += QStringLiteral(" (%1)").arg(description);
    return escapeControls(line) + u'\n';
}

QString endLine(const QString &outcome, int done, int failed, int rows)
{
    return QStringLiteral("%1: %2 of %3 rows done, %4 failed\n").arg(outcome).arg(done).arg(rows).arg(failed);
}

class JsonReport : public RunReport {
public:
    using RunReport::RunReport;

    void runStarted(int rows, int jobs) override
    {
        line({{"event", "runStarted"}, {"rows", rows}, {"jobs", jobs}});
    }
    void jobStarted(int row, const BatchItem &item) override
    {
        line({{"event", "jobStarted"},
              {"row", row},
              {"input", item.inputFile},
              {"output", item.outputFile},
              {"profile", item.profile}});
    }
    void progress(const QList<Running> &running, int ended, int rows, std::optional<qint64> leftMs) override
    {
        QJsonArray jobs;
        for (const Running &r : running) {
            QJsonObject job{{"row", r.row}};
            if (r.percent)
                job.insert("percent", *r.percent);
            jobs.append(job);
        }
        QJsonObject object{{"event", "progress"}, {"ended", ended}, {"rows", rows}, {"running", jobs}};
        if (leftMs)
            object.insert("leftMs", *leftMs);
        line(object);
    }
    void jobEnded(int row, const QString &result, const QString &description, int ended, int rows) override
    {
        line({{"event", "jobEnded"},
              {"row", row},
              {"result", result},
              {"description", description},
              {"ended", ended},
              {"rows", rows}});
    }
    void runEnded(const QString &outcome, int exitCode, int done, int failed, int rows) override
    {
        line({{"event", "runEnded"},
              {"outcome", outcome},
              {"exitCode", exitCode},
              {"done", done},
              {"failed", failed},
              {"rows", rows}});
    }
    void problem(const QString &text) override { line({{"event", "problem"}, {"text", text}}); }

private:
    void line(const QJsonObject &object)
    {
        put(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + u'\n');
    }
};

class PlainReport : public RunReport {
public:
    using RunReport::RunReport;

    void jobEnded(int row, const QString &result, const QString &description, int, int) override
    {
        if (!isDone(result))
            put(failureLine(row, result, description));
    }
    void runEnded(const QString &outcome, int, int done, int failed, int rows) override
    {
        put(endLine(outcome, done, failed, rows));
    }
    void problem(const QString &text) override { put(QStringLiteral("joblet-batch: %1\n").arg(escapeControls(text))); }
};

// Failures stay on screen above the progress line; a "Done" is counted there.
class TerminalReport : public PlainReport {
public:
    using PlainReport::PlainReport;

    void progress(const QList<Running> &running, int ended, int rows, std::optional<qint64> leftMs) override
    {
        QStringList parts;
        for (const Running &r : running)
            parts << (r.percent ? QStringLiteral("row %1 %2%").arg(r.row).arg(*r.percent)
                                : QStringLiteral("row %1").arg(r.row));
        QString line = QStringLiteral("%1/%2 done").arg(ended).arg(rows);
        if (!parts.isEmpty())
            line += QStringLiteral(", ") + parts.join(QStringLiteral(", "));
        if (leftMs)
            line += QStringLiteral(", %1 left").arg(ProgressFigures::clockText(*leftMs));
        clearLine();
        put(line);
        m_lineShown = true;
    }
    void jobEnded(int row, const QString &result, const QString &description, int ended, int rows) override
    {
        if (!isDone(result))
            clearLine();
        PlainReport::jobEnded(row, result, description, ended, rows);
    }
    void runEnded(const QString &outcome, int exitCode, int done, int failed, int rows) override
    {
        clearLine();
        PlainReport::runEnded(outcome, exitCode, done, failed, rows);
    }
    void problem(const QString &text) override
    {
        clearLine();
        PlainReport::problem(text);
    }

private:
    void clearLine()
    {
        if (m_lineShown)
            put(QStringLiteral("\r\033[K"));
        m_lineShown = false;
    }

    bool m_lineShown = false;
};

} // namespace

std::unique_ptr<RunReport> RunReport::create(bool json, std::FILE *out)
{
    if (json)
        return std::make_unique<JsonReport>(out);
    if (::isatty(::fileno(out)))
        return std::make_unique<TerminalReport>(out);
    return std::make_unique<PlainReport>(out);
}

void RunReport::put(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), m_out);
    std::fflush(m_out);
}

} // namespace joblet::batchcli
