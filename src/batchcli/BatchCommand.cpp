#include "BatchCommand.h"

#include "BatchRun.h"
#include "ListDocument.h"
#include "ResultStore.h"
#include "RunReport.h"
#include "SignalPipe.h"

#include "batch/BatchList.h"
#include "batch/BatchListFile.h"
#include "batch/BatchListFormat.h"
#include "batch/ListCheck.h"
#include "batch/JobResult.h"
#include "batch/OutputNaming.h"
#include "encoding/EncoderFailure.h"
#include "encoding/EngineFactory.h"
#include "encoding/FfmpegEngine.h"
#include "encoding/ProfileCatalogue.h"
#include "encoding/SourceGroup.h"
#include "fileio/RegularFile.h"
#include "fileio/TerminalText.h"

#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFileInfo>
#include <QHash>
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

// The profiles are read once per process, so each file's warnings are
// printed once and no job pays for reading the folders again.
EngineFactory engineFactory(const QString &programFolder, QList<EncoderProfile> *profiles)
{
    *profiles = ProfileCatalogue::installed(ProfileCatalogue::folders(programFolder));
    return EngineFactory([profiles] { return std::make_unique<FfmpegEngine>(ProfileCollection(*profiles)); });
}

bool wantsHelp(const QStringList &args)
{
    return args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"));
}

int printHelp(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    return AllDone;
}

int runList(const RunOptions &options, const QString &programFolder)
{
    SignalPipe signals_;
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
    const std::unique_ptr<RunReport> report = RunReport::create(options.json);
    // Before anything is encoded: a run whose Results cannot be kept is no run.
    if (!store.open(&error)) {
        report->problem(error);
        return SomeFailed;
    }
    QList<EncoderProfile> profiles;
    EngineFactory engines = engineFactory(programFolder, &profiles);
    // Jobs side by side share the cores; one job alone lets its encoders take them all.
    if (options.jobs > 1)
        engines.setThreadCount(std::max(1, QThread::idealThreadCount() / options.jobs));
    BatchRun run(store, engines, {options.jobs, *shard}, *report);
    QObject::connect(&signals_, &SignalPipe::received, &run, &BatchRun::interrupt);

    QEventLoop loop;
    QObject::connect(&run, &BatchRun::finished, &loop, &QEventLoop::exit);
    run.start();
    return loop.exec();
}

int mergeLists(const QStringList &args)
{
    if (wantsHelp(args))
        return printHelp(mergeUsage());
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
        // Results still in a run's journal count as written.
        auto doc = readWithJournals(path, &failure);
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
        if (!isDone(merged.result(row)))
            return SomeFailed;
    }
    return AllDone;
}

struct MakeOptions {
    QString list;
    QString profile = DefaultProfileName;
    QString outputDir;
    QStringList files;
    bool recurse = false;
    bool force = false;
};

// What is at a list's path before `make` writes there.
enum class Existing { Nothing, List, Other };

// Opened without following a link and read block by block, so a video named
// by mistake is given up at its first line that is no list line.
Existing inspectList(const QString &path, QList<BatchItem> *rows, QString *why)
{
    RegularFile file = RegularFile::open(path, RegularFile::Mode::Read, {});
    if (file.status() == RegularFile::Status::Missing)
        return Existing::Nothing;
    if (!file.isOpen()) {
        *why = QStringLiteral("the file ") + file.error();
        return Existing::Other;
    }
    BatchListReader reader;
    constexpr qint64 Block = 1 << 20;
    for (qint64 offset = 0;; offset += Block) {
        const std::optional<QByteArray> bytes = file.readAt(offset, Block);
        if (!bytes) {
            *why = QStringLiteral("it cannot be read");
            return Existing::Other;
        }
        if (bytes->isEmpty() ? !reader.finish() : !reader.feed(*bytes)) {
            *why = QStringLiteral("it is not a list (%1)").arg(reader.failure().text);
            return Existing::Other;
        }
        if (bytes->isEmpty())
            break;
    }
    *rows = reader.takeItems();
    return Existing::List;
}

// Regular files under `folder`, sorted; links and hidden entries (journals,
// half-saved lists) are neither taken nor walked into.
QStringList filesUnder(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        if (!info.isSymLink() && !existsButNotRegular(info.filePath()))
            files << info.absoluteFilePath();
    }
    std::sort(files.begin(), files.end());
    return files;
}

QString profileRefusal(const QString &command, const QList<EncoderProfile> &profiles, const QString &name)
{
    QStringList names;
    for (const EncoderProfile &p : profiles)
        names << p.Name();
    const QStringList near = nearestNames(names, name);
    QString text = QStringLiteral("%1: no profile is named \"%2\"").arg(command, name);
    if (!near.isEmpty())
        text += QStringLiteral("; nearest: \"%1\"").arg(near.join(QStringLiteral("\", \"")));
    return text + QStringLiteral(" (joblet-batch profiles lists them all)");
}

int makeList(const QStringList &args, const QString &programFolder)
{
    if (wantsHelp(args))
        return printHelp(makeUsage());
    MakeOptions options;
    QStringList positional;
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString arg = args[i];
        QString value;
        const bool takesValue = arg == QLatin1String("--profile") || arg == QLatin1String("--output-dir");
        if (takesValue) {
            if (i + 1 >= args.size())
                return usageError(QStringLiteral("make: %1 needs a value").arg(arg));
            value = args[++i];
        } else if (arg.startsWith(QLatin1String("--")) && arg.contains(u'=')) {
            value = arg.section(u'=', 1);
            arg = arg.section(u'=', 0, 0);
        }
        if (arg == QLatin1String("--profile"))
            options.profile = value;
        else if (arg == QLatin1String("--output-dir"))
            options.outputDir = value;
        else if (arg == QLatin1String("-r") || arg == QLatin1String("--recursive"))
            options.recurse = true;
        else if (arg == QLatin1String("--force"))
            options.force = true;
        else if (arg.startsWith(u'-') && arg != QLatin1String("-"))
            return usageError(QStringLiteral("make: unknown option %1").arg(arg));
        else
            positional << arg;
    }
    if (positional.size() < 2)
        return usageError(QStringLiteral("make needs the list and at least one media file"));
    options.list = positional.takeFirst();
    options.files = positional;
    // The list's name forgotten, the first media file would be taken for it.
    if (!options.list.endsWith(QLatin1String(".jlt"), Qt::CaseInsensitive))
        return usageError(QStringLiteral("make: %1 is not a .jlt file; the list comes first").arg(options.list));
    if (!options.outputDir.isEmpty() && !QFileInfo(options.outputDir).isDir())
        return usageError(QStringLiteral("make: --output-dir %1 is not a folder").arg(options.outputDir));
    const QString outputDir =
        options.outputDir.isEmpty() ? QString() : QFileInfo(options.outputDir).absoluteFilePath();

    QList<BatchItem> earlier;
    QString why;
    switch (inspectList(options.list, &earlier, &why)) {
    case Existing::Other:
        say(QStringLiteral("%1: not replaced: %2").arg(options.list, why));
        return BadUsage;
    case Existing::List:
        if (!options.force) {
            say(QStringLiteral("%1: a list is there already; --force replaces it").arg(options.list));
            return BadUsage;
        }
        break;
    case Existing::Nothing: break;
    }

    QList<EncoderProfile> profiles;
    const EngineFactory engines = engineFactory(programFolder, &profiles);
    const auto named = std::find_if(profiles.cbegin(), profiles.cend(), [&](const EncoderProfile &p) {
        return p.Name().compare(options.profile, Qt::CaseInsensitive) == 0;
    });
    if (named == profiles.cend())
        return usageError(profileRefusal(QStringLiteral("make"), profiles, options.profile));

    struct Candidate {
        QString input;
        bool named = true; // given by the user, not found in a folder
    };
    QList<Candidate> candidates;
    for (const QString &file : std::as_const(options.files)) {
        if (options.recurse && QFileInfo(file).isDir()) {
            for (const QString &found : filesUnder(file))
                candidates.append({found, false});
        } else {
            candidates.append({QFileInfo(file).absoluteFilePath(), true});
        }
    }

    int leftOut = 0;
    bool namedRefused = false;
    QList<BatchItem> rows;
    std::unique_ptr<EncoderEngine> engine;
    SourceGroup *group = nullptr;
    for (const Candidate &candidate : std::as_const(candidates)) {
        QString refusal;
        int audio = 0, video = 0;
        try {
            if (!engine) {
                engine = engines.create();
                group = &engine->SourceGroupCollection().Add(QStringLiteral("SrcList"));
            }
            group->AutoSetFileSource(candidate.input);
            audio = group->SourceCount(MediaAudio);
            video = group->SourceCount(MediaVideo);
            if (audio + video == 0)
                refusal = QStringLiteral("no audio or video stream");
        } catch (const EncoderFailure &failure) {
            refusal = QStringLiteral("%1 (%2)").arg(failure.description(), resultText(failure.number()));
        }
        if (!refusal.isEmpty()) {
            // What a folder holds besides media is no news to its owner.
            if (candidate.named) {
                say(QStringLiteral("%1: not added: %2").arg(candidate.input, refusal));
                ++leftOut;
                namedRefused = true;
            }
            continue;
        }
        BatchItem item;
        item.inputFile = candidate.input;
        item.outputFile = OutputNaming::fromMedia(candidate.input, audio, video, named->settings(), outputDir);
        item.profile = options.profile;
        rows.append(item);
    }

    // A file an earlier make named as an output is no input: a second make
    // over the same folder would encode the encodes.
    QHash<QString, QString> outputs; // place -> the input it is made from
    for (const QList<BatchItem> *from : {&earlier, &rows}) {
        for (const BatchItem &item : *from)
            outputs.insert(OutputNaming::place(item.outputFile), item.inputFile);
    }
    BatchList list;
    for (const BatchItem &item : std::as_const(rows)) {
        const QString source = outputs.value(OutputNaming::place(item.inputFile));
        if (!source.isEmpty() && OutputNaming::place(source) != OutputNaming::place(item.inputFile)) {
            say(QStringLiteral("%1: left out: the output of %2").arg(item.inputFile, source));
            ++leftOut;
            continue;
        }
        if (!list.append(item)) {
            say(QStringLiteral("%1: a list holds at most %2 rows").arg(options.list).arg(BatchList::MaxRows));
            return BadUsage;
        }
    }
    if (list.count() == 0) {
        say(QStringLiteral("%1: no media file to add; nothing written").arg(options.list));
        return BadUsage;
    }
    BatchListFile::Failure failure;
    if (!BatchListFile::save(list, options.list, &failure)) {
        say(QStringLiteral("%1: %2").arg(options.list, failure.text));
        return SomeFailed;
    }
    say(QStringLiteral("wrote %1: %2 rows; %3 files left out").arg(options.list).arg(list.count()).arg(leftOut));
    return namedRefused ? SomeFailed : AllDone;
}

} // namespace

QString runUsage()
{
    return QStringLiteral(
        "Usage: joblet-batch run [--jobs N|auto] [--shard K/N] [--results OUT.jlt] [--json] LIST.jlt\n"
        "Encodes every row of LIST.jlt whose Result is not \"Done\" and keeps each Result\n"
        "as its job ends (in a journal beside the list, folded into it at the end).\n"
        "  --jobs N     N jobs at once (auto: half the cores); default 1\n"
        "  --shard K/N  only rows r with (r - 1) mod N = K - 1\n"
        "  --results F  write the list with Results to F; LIST.jlt stays as it is\n"
        "  --json       one JSON object per event on stderr\n"
        "Exit: 0 every row Done, 1 a row failed or Results could not be written,\n"
        "      2 bad usage or unreadable list, 130/143 stopped by SIGINT/SIGTERM.\n");
}

QString mergeUsage()
{
    return QStringLiteral(
        "Usage: joblet-batch merge [--results OUT.jlt] LIST.jlt RESULTS.jlt...\n"
        "Puts every row's best Result (Done, then an error, then none; between two\n"
        "errors the file named later) into LIST.jlt, or OUT.jlt. The files must hold\n"
        "the same jobs in the same order. Exit: 0 every row Done, 1 not, 2 bad usage.\n");
}

QString makeUsage()
{
    return QStringLiteral(
        "Usage: joblet-batch make LIST.jlt [--profile NAME] [--output-dir DIR] FILES...\n"
        "Writes LIST.jlt with one row per media file, the output named after it with\n"
        "the profile's extension (.wma/.wmv by its streams for the ASF profiles),\n"
        "beside it or in DIR, and the profile\n"
        "NAME (default \"Qimto Clipwright 320X240\"). A file that is not media is left\n"
        "out with the reason. Exit: 0 every file added, 1 some left out, 2 bad usage\n"
        "or no media file.\n");
}

QString usageText()
{
    return QStringLiteral("Usage:\n"
                          "  joblet-batch run [--jobs N|auto] [--shard K/N] [--results OUT.jlt] [--json] LIST.jlt\n"
                          "  joblet-batch merge [--results OUT.jlt] LIST.jlt RESULTS.jlt...\n"
                          "  joblet-batch make LIST.jlt [--profile NAME] [--output-dir DIR] FILES...\n"
                          "  joblet-batch COMMAND --help | --help | --version\n");
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
    if (command == QLatin1String("--help") || command == QLatin1String("-h"))
        return printHelp(usageText() + u'\n' + runUsage() + u'\n' + mergeUsage() + u'\n' + makeUsage());
    if (command == QLatin1String("--version")) {
        std::fputs("joblet-batch " JOBLET_VERSION "\n", stdout);
        return AllDone;
    }
    if (command == QLatin1String("merge") || command == QLatin1String("make")) {
        // Only a run turns a signal into its own exit status.
        SignalPipe::restoreDefaults();
        return command == QLatin1String("merge") ? mergeLists(args.mid(1)) : makeList(args.mid(1), programFolder);
    }
    if (command != QLatin1String("run"))
        return usageError(QStringLiteral("unknown command %1").arg(command));
    if (wantsHelp(args.mid(1)))
        return printHelp(runUsage());
    RunOptions options;
    QString error;
    if (!parseRun(args.mid(1), &options, &error))
        return usageError(error);
    return runList(options, programFolder);
}

} // namespace joblet::batchcli
