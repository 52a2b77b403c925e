#include "RunReport.h"

#include "ListDocument.h"

#include "batch/BatchItem.h"
#include "session/ProgressFigures.h"
#include "fileio/TerminalText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <unistd.h>

namespace joblet::batchcli {

namespace {

QString jsonLine(QJsonObject object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + u'\n';
}

} // namespace

RunReport::RunReport(Style style, std::FILE *out)
    : m_style(style)
    , m_out(out)
{
}

RunReport::Style RunReport::styleFor(bool json, std::FILE *out)
{
    if (json)
        return Style::Json;
    return ::isatty(::fileno(out)) ? Style::Terminal : Style::Plain;
}

void RunReport::put(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), m_out);
    std::fflush(m_out);
}

void RunReport::clearLine()
{
    if (m_lineShown)
        put(QStringLiteral("\r\033[K"));
    m_lineShown = false;
}

void RunReport::runStarted(int rows, int jobs)
{
    if (m_style == Style::Json)
        put(jsonLine({{"event", "runStarted"}, {"rows", rows}, {"jobs", jobs}}));
}

void RunReport::jobStarted(int row, const BatchItem &item)
{
    if (m_style == Style::Json)
        put(jsonLine({{"event", "jobStarted"},
                      {"row", row},
                      {"input", item.inputFile},
                      {"output", item.outputFile},
                      {"profile", item.profile}}));
}

void RunReport::progress(const QList<Running> &running, int ended, int rows,
                         std::optional<qint64> leftMs)
{
    if (m_style == Style::Plain)
        return;
    if (m_style == Style::Json) {
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
        put(jsonLine(object));
        return;
    }
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

void RunReport::jobEnded(int row, const QString &result, const QString &description, int ended,
                         int rows)
{
    if (m_style == Style::Json) {
        put(jsonLine({{"event", "jobEnded"},
                      {"row", row},
                      {"result", result},
                      {"description", description},
                      {"ended", ended},
                      {"rows", rows}}));
        return;
    }
    // Failures stay on screen, above the progress line; a "Done" is counted there.
    if (resultRank(result) == 2)
        return;
    clearLine();
    QString line = QStringLiteral("row %1: %2").arg(row).arg(result);
    if (!description.isEmpty())
        line += QStringLiteral(" (%1)").arg(description);
    put(escapeControls(line) + u'\n');
}

void RunReport::runEnded(const QString &outcome, int exitCode, int done, int failed, int rows)
{
    if (m_style == Style::Json) {
        put(jsonLine({{"event", "runEnded"},
                      {"outcome", outcome},
                      {"exitCode", exitCode},
                      {"done", done},
                      {"failed", failed},
                      {"rows", rows}}));
        return;
    }
    clearLine();
    put(QStringLiteral("%1: %2 of %3 rows done, %4 failed\n").arg(outcome).arg(done).arg(rows).arg(failed));
}

void RunReport::problem(const QString &text)
{
    if (m_style == Style::Json) {
        put(jsonLine({{"event", "problem"}, {"text", text}}));
        return;
    }
    clearLine();
    put(QStringLiteral("joblet-batch: %1\n").arg(escapeControls(text)));
}

} // namespace joblet::batchcli
