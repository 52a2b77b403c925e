#include "BatchCommand.h"

#include "BatchRun.h"
#include "ListDocument.h"
#include "ResultStore.h"
#include "RunReport.h"
#include "SignalPipe.h"

#include "encoding/EngineFactory.h"
#include "encoding/ProfileCatalogue.h"
#include "fileio/TerminalText.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <csignal>
#include <cstdio>

namespace joblet::batchcli {

namespace {

constexpr int MaxJobs = 256;

void say(const QString &text)
{
    std::fputs(("joblet-batch: " + escapeControls(text) + u'\n').toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

int usageError(const QString &text)
{
    say(text);
    say(QStringLiteral("see joblet-batch --help"));
    return BadUsage;
}

QString listFailure(const QString &path, const BatchListFile::Failure &failure)
{
    return QStringLiteral("%1: %2 (Error-%3)").arg(path, failure.text).arg(failure.number);
}

// With --json every line on stderr is an event, the engine's warnings too.
void jsonMessages(QtMsgType, const QMessageLogContext &, const QString &text)
{
    const QByteArray line =
        QJsonDocument(QJsonObject{{"event", "log"}, {"text", text}}).toJson(QJsonDocument::Compact);
    std::fputs((line + '\n').constData(), stderr);
}

int runList(const RunOptions &options, const QString &programFolder)
{
    std::optional<Shard> shard = Shard();
    QString error;
    if (!options.shard.isEmpty() && !(shard = Shard::parse(options.shard, &error)))
        return usageError(QStringLiteral("--shard: ") + error);

    BatchListFile::Failure failure;
    std::optional<ListDocument> list = ListDocument::read(options.list, &failure);
    if (!list) {
        say(listFailure(options.list, failure));
        return BadUsage;
    }
    if (options.json)
        qInstallMessageHandler(jsonMessages);

    ResultStore store(std::move(*list), options.list, options.results);
    const EngineFactory engines(ProfileCatalogue::folders(programFolder));
    RunReport report(RunReport::styleFor(options.json));
    BatchRun run(store, engines, {options.jobs, *shard}, report);
    SignalPipe signals_({SIGINT, SIGTERM});
    QObject::connect(&signals_, &SignalPipe::received, &run, &BatchRun::interrupt);

    QEventLoop loop;
    QObject::connect(&run, &BatchRun::finished, &loop, &QEventLoop::exit);
    run.start();
    return loop.exec();
}

int mergeLists(const QStringList &args)
{
    QString results;
    QStringList paths;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("--results") && i + 1 < args.size())
            results = args[++i];
        else if (arg.startsWith(QLatin1String("--results=")))
            results = arg.section(u'=', 1);
        else if (arg.startsWith(u'-') && arg != QLatin1String("-"))
            return usageError(QStringLiteral("merge: unknown option %1").arg(arg));
        else
            paths << arg;
    }
    if (paths.size() < 2)
        return usageError(QStringLiteral("merge needs the list and at least one results file"));

    QList<ListDocument> docs;
    for (const QString &path : std::as_const(paths)) {
        BatchListFile::Failure failure;
        auto doc = ListDocument::read(path, &failure);
        if (!doc) {
            say(listFailure(path, failure));
            return BadUsage;
        }
        docs.append(std::move(*doc));
    }
    ListDocument merged = docs.takeFirst();
    QString error;
    if (!mergeResults(merged, docs, paths.mid(1), &error)) {
        say(error);
        return BadUsage;
    }
    if (!writeMerged(merged, results.isEmpty() ? paths.first() : results, &error)) {
        say(error);
        return SomeFailed;
    }
    for (int row = 1; row <= merged.count(); ++row) {
        if (resultRank(merged.result(row)) != 2)
            return SomeFailed;
    }
    return AllDone;
}

} // namespace

QString usageText()
{
    return QStringLiteral(
        "Usage:\n"
        "  joblet-batch run [--jobs N|auto] [--shard K/N] [--results OUT.jlt] [--json] LIST.jlt\n"
        "  joblet-batch merge [--results OUT.jlt] LIST.jlt RESULTS.jlt...\n"
        "\n"
        "run    encodes every row of LIST.jlt whose Result is not \"Done\" and writes each\n"
        "       Result into the list (or OUT.jlt) as its job ends.\n"
        "  --jobs N     N jobs at once (auto: half the cores); default 1\n"
        "  --shard K/N  only rows r with (r - 1) mod N = K - 1\n"
        "  --results F  write the list with Results to F; LIST.jlt stays as it is\n"
        "  --json       one JSON object per event on stderr\n"
        "merge  puts every row's best Result (Done, then an error, then none) into\n"
        "       LIST.jlt (or OUT.jlt).\n"
        "\n"
        "Exit: 0 every row Done, 1 a row failed, 2 bad usage or unreadable list,\n"
        "      130/143 stopped by SIGINT/SIGTERM.\n");
}

bool parseRun(const QStringList &args, RunOptions *options, QString *error)
{
    const auto fail = [error](const QString &text) {
        *error = text;
        return false;
    };
    QStringList positional;
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString arg = args[i];
        QString value;
        const bool takesValue = arg == QLatin1String("--jobs") || arg == QLatin1String("--shard")
                                || arg == QLatin1String("--results");
        if (takesValue) {
            if (i + 1 >= args.size())
                return fail(QStringLiteral("%1 needs a value").arg(arg));
            value = args[++i];
        } else if (arg.startsWith(QLatin1String("--")) && arg.contains(u'=')) {
            value = arg.section(u'=', 1);
            arg = arg.section(u'=', 0, 0);
        }
        if (arg == QLatin1String("--jobs")) {
            bool ok = false;
            options->jobs = value == QLatin1String("auto") ? std::max(1, QThread::idealThreadCount() / 2)
                                                           : value.toInt(&ok);
            if (value != QLatin1String("auto") && (!ok || options->jobs < 1 || options->jobs > MaxJobs))
                return fail(QStringLiteral("--jobs: \"%1\" is not auto or 1..%2").arg(value).arg(MaxJobs));
        } else if (arg == QLatin1String("--shard")) {
            QString shardError;
            if (!Shard::parse(value, &shardError))
                return fail(QStringLiteral("--shard: ") + shardError);
            options->shard = value;
        } else if (arg == QLatin1String("--results")) {
            if (value.isEmpty())
                return fail(QStringLiteral("--results needs a file"));
            options->results = value;
        } else if (arg == QLatin1String("--json")) {
            options->json = true;
        } else if (arg.startsWith(u'-')) {
            return fail(QStringLiteral("unknown option %1").arg(arg));
        } else {
            positional << arg;
        }
    }
    if (positional.size() != 1)
        return fail(QStringLiteral("run takes one list file"));
    options->list = positional.first();
    return true;
}

int runCommand(const QStringList &args, const QString &programFolder)
{
    if (args.isEmpty())
        return usageError(QStringLiteral("no command"));
    const QString &command = args.first();
    if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
        std::fputs(usageText().toLocal8Bit().constData(), stdout);
        return AllDone;
    }
    if (command == QLatin1String("--version")) {
        std::fputs("joblet-batch " JOBLET_VERSION "\n", stdout);
        return AllDone;
    }
    if (command == QLatin1String("merge"))
        return mergeLists(args.mid(1));
    if (command != QLatin1String("run"))
        return usageError(QStringLiteral("unknown command %1").arg(command));
    RunOptions options;
    QString error;
    if (!parseRun(args.mid(1), &options, &error))
        return usageError(error);
    return runList(options, programFolder);
}

} // namespace joblet::batchcli
