#include "RunReport.h"

#include "batch/BatchItem.h"
#include "batch/JobResult.h"
#include "session/ProgressFigures.h"
#include "session/RunTally.h"
#include "fileio/TerminalText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QFileInfo>
#include <QJsonObject>
#include <QStringList>

#include <unistd.h>

namespace joblet::batchcli {

namespace {

QString fileName(const QString &path)
{
    return QFileInfo(path).fileName();
}

QString failureLine(int row, const QString &input, const QString &result, const QString &description)
{
    QString line = QStringLiteral("row %1 (%2): %3").arg(row).arg(fileName(input), result);
    if (!description.isEmpty())
        line += QStringLiteral(" (%1)").arg(description);
    return escapeControls(line) + u'\n';
}

QString endLine(const QString &outcome, const RunTally &tally)
{
    return escapeControls(QStringLiteral("%1: %2").arg(outcome, tally.text())) + u'\n';
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
            QJsonObject job{{"row", r.row}, {"job", r.job}};
            if (r.percent)
                job.insert("percent", *r.percent);
            if (r.leftMs)
                job.insert("leftMs", *r.leftMs);
            jobs.append(job);
        }
        QJsonObject object{{"event", "progress"}, {"ended", ended}, {"rows", rows}, {"running", jobs}};
        if (leftMs)
            object.insert("leftMs", *leftMs);
        line(object);
    }
    void jobEnded(int row, const QString &input, const QString &result, const QString &description, int ended,
                  int rows) override
    {
        line({{"event", "jobEnded"},
              {"row", row},
              {"input", input},
              {"result", result},
              {"description", description},
              {"ended", ended},
              {"rows", rows}});
    }
    void runEnded(const QString &outcome, int exitCode, const RunTally &tally) override
    {
        using End = RunTally::End;
        line({{"event", "runEnded"},
              {"outcome", outcome},
              {"exitCode", exitCode},
              {"done", tally.count(End::DoneNow)},
              {"skipped", tally.count(End::Skipped)},
              {"failed", tally.count(End::Failed)},
              {"stopped", tally.count(End::Stopped)},
              {"notReached", tally.count(End::NotReached)},
              {"rows", tally.rows()}});
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

    void jobEnded(int row, const QString &input, const QString &result, const QString &description, int,
                  int) override
    {
        if (!isDone(result))
            put(failureLine(row, input, result, description));
    }
    void runEnded(const QString &outcome, int, const RunTally &tally) override { put(endLine(outcome, tally)); }
    void problem(const QString &text) override { put(QStringLiteral("joblet-batch: %1\n").arg(escapeControls(text))); }
};

// Failures stay on screen above the progress line; a "Done" is counted there.
class TerminalReport : public PlainReport {
public:
    using PlainReport::PlainReport;

    void progress(const QList<Running> &running, int ended, int rows, std::optional<qint64> leftMs) override
    {
        QStringList parts;
        for (const Running &r : running) {
            QString part = QStringLiteral("job %1 of %2 %3").arg(r.job).arg(rows).arg(fileName(r.input));
            if (r.percent)
                part += QStringLiteral(" %1%").arg(*r.percent);
            if (r.leftMs)
                part += QStringLiteral(" %1 left").arg(ProgressFigures::clockText(*r.leftMs));
            parts << part;
        }
        QString line = parts.isEmpty() ? QStringLiteral("%1/%2 done").arg(ended).arg(rows)
                                       : parts.join(QStringLiteral(", "));
        if (leftMs)
            line += QStringLiteral("; batch %1 left").arg(ProgressFigures::clockText(*leftMs));
        line = escapeControls(line);
        clearLine();
        put(line);
        m_lineShown = true;
    }
    void jobEnded(int row, const QString &input, const QString &result, const QString &description, int ended,
                  int rows) override
    {
        if (!isDone(result))
            clearLine();
        PlainReport::jobEnded(row, input, result, description, ended, rows);
    }
    void runEnded(const QString &outcome, int exitCode, const RunTally &tally) override
    {
        clearLine();
        PlainReport::runEnded(outcome, exitCode, tally);
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
