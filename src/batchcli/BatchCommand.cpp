#include "BatchCommand.h"

#include "BatchRun.h"
#include "ListDocument.h"
#include "ResultStore.h"
#include "RunReport.h"
#include "fileio/SignalPipe.h"

#include "batch/BatchList.h"
#include "batch/BatchListFile.h"
#include "batch/BatchListFormat.h"
#include "batch/ListCheck.h"
#include "batch/JobResult.h"
#include "batch/OutputNaming.h"
#include "encoding/EncoderFailure.h"
#include "encoding/EngineFactory.h"
#include "encoding/LastProfile.h"
#include "encoding/ProfileCatalogue.h"
#include "encoding/SourceGroup.h"
#include "fileio/RegularFile.h"
#include "fileio/TerminalText.h"
#include "session/ListPopulator.h"

#include <QCommandLineParser>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <csignal>
#include <functional>
#include <optional>
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
    EngineFactory engines(ProfileCatalogue::folders(programFolder));
    const ProfileCollection installed = engines.catalogue().profiles();
    *profiles = QList<EncoderProfile>(installed.begin(), installed.end());
    return engines;
}

int printHelp(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    return AllDone;
}

// The check's findings as "row N (file): text (Error:<hex>)", for the rows
// `takes` accepts.
QStringList checkList(const ListDocument &doc, const EngineFactory &engines, const std::function<bool(int)> &takes)
{
    QList<BatchItem> items;
    for (int row = 1; row <= doc.count(); ++row)
        items << doc.item(row);
    QStringList lines;
    for (const RowProblem &p : checkRows(items, engines)) {
        if (takes(p.row))
            lines << QStringLiteral("row %1 (%2): %3 (%4)")
                         .arg(p.row)
                         .arg(QFileInfo(doc.item(p.row).inputFile).fileName(), p.text, resultText(p.number));
    }
    return lines;
}

int checkCommand(const QCommandLineParser &args, const QString &programFolder)
{
    const QStringList lists = args.positionalArguments();
    if (lists.size() != 1)
        return usageError(QStringLiteral("check takes one list file"));
    BatchListFile::Failure failure;
    // Rows a killed run finished are Done, though only its journal says so.
    const std::optional<ListDocument> doc = readWithJournals(lists.first(), &failure);
    if (!doc) {
        say(listFailure(lists.first(), failure));
        return BadUsage;
    }
    QList<EncoderProfile> profiles;
    const QStringList problems = checkList(*doc, engineFactory(programFolder, &profiles), [](int) { return true; });
    for (const QString &line : problems)
        std::fputs((escapeControls(line) + u'\n').toLocal8Bit().constData(), stdout);
    return problems.isEmpty() ? AllDone : SomeFailed;
}

int runList(const QCommandLineParser &args, const QString &programFolder)
{
    SignalPipe signals_;
    const QString jobsText = args.value(QStringLiteral("jobs"));
    bool ok = true;
    const int jobs =
        jobsText == QLatin1String("auto") ? std::max(1, QThread::idealThreadCount() / 2) : jobsText.toInt(&ok);
    if (!ok || jobs < 1 || jobs > MaxJobs)
        return usageError(QStringLiteral("--jobs: \"%1\" is not auto or 1..%2").arg(jobsText).arg(MaxJobs));
    std::optional<Shard> shard = Shard();
    QString error;
    if (args.isSet(QStringLiteral("shard")) && !(shard = Shard::parse(args.value(QStringLiteral("shard")), &error)))
        return usageError(QStringLiteral("--shard: ") + error);
    if (args.positionalArguments().size() != 1)
        return usageError(QStringLiteral("run takes one list file"));
    const QString listPath = args.positionalArguments().first();
    const bool json = args.isSet(QStringLiteral("json"));

    BatchListFile::Failure failure;
    std::optional<ListDocument> list = ListDocument::read(listPath, &failure);
    if (!list) {
        say(listFailure(listPath, failure));
        return BadUsage;
    }
    if (json)
        qInstallMessageHandler(jsonMessages);
    const std::unique_ptr<RunReport> report = RunReport::create(json);
    QList<EncoderProfile> profiles;
    EngineFactory engines = engineFactory(programFolder, &profiles);
    if (args.isSet(QStringLiteral("check"))) {
        const std::optional<ListDocument> withJournals = readWithJournals(listPath, &failure);
        const QStringList problems = checkList(withJournals ? *withJournals : *list, engines,
                                               [&](int row) { return shard->takes(row); });
        for (const QString &line : problems)
            report->problem(line);
        if (!problems.isEmpty()) {
            report->problem(QStringLiteral("not started: the check found %1 problems").arg(problems.size()));
            return SomeFailed;
        }
    }

    ResultStore store(std::move(*list), listPath, args.value(QStringLiteral("results")));
    // Before anything is encoded: a run whose Results cannot be kept is no run.
    if (!store.open(&error)) {
        report->problem(error);
        return SomeFailed;
    }
    // Jobs side by side share the cores; one job alone lets its encoders take them all.
    if (jobs > 1)
        engines.setThreadCount(std::max(1, QThread::idealThreadCount() / jobs));
    BatchRun run(store, engines, {jobs, *shard}, *report);
    QObject::connect(&signals_, &SignalPipe::received, &run, &BatchRun::interrupt);

    QEventLoop loop;
    QObject::connect(&run, &BatchRun::finished, &loop, &QEventLoop::exit);
    run.start();
    return loop.exec();
}

int mergeLists(const QCommandLineParser &args, const QString &)
{
    const QStringList paths = args.positionalArguments();
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
    const QString results = args.value(QStringLiteral("results"));
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

int makeList(const QCommandLineParser &args, const QString &programFolder)
{
    QStringList files = args.positionalArguments();
    if (files.size() < 2)
        return usageError(QStringLiteral("make needs the list and at least one media file"));
    const QString listPath = files.takeFirst();
    // The list's name forgotten, the first media file would be taken for it.
    if (!listPath.endsWith(QLatin1String(".jlt"), Qt::CaseInsensitive))
        return usageError(QStringLiteral("make: %1 is not a .jlt file; the list comes first").arg(listPath));
    QString outputDir = args.value(QStringLiteral("output-dir"));
    if (!outputDir.isEmpty() && !QFileInfo(outputDir).isDir())
        return usageError(QStringLiteral("make: --output-dir %1 is not a folder").arg(outputDir));
    if (!outputDir.isEmpty())
        outputDir = QFileInfo(outputDir).absoluteFilePath();

    QList<BatchItem> earlier;
    QString why;
    switch (inspectList(listPath, &earlier, &why)) {
    case Existing::Other:
        say(QStringLiteral("%1: not replaced: %2").arg(listPath, why));
        return BadUsage;
    case Existing::List:
        if (!args.isSet(QStringLiteral("force"))) {
            say(QStringLiteral("%1: a list is there already; --force replaces it").arg(listPath));
            return BadUsage;
        }
        break;
    case Existing::Nothing: break;
    }

    QList<EncoderProfile> profiles;
    const EngineFactory engines = engineFactory(programFolder, &profiles);
    // None given: the one chosen last in the window.
    const QString profile = args.isSet(QStringLiteral("profile")) ? args.value(QStringLiteral("profile"))
                                                                  : LastProfile().pick(ProfileCollection(profiles));
    const ProfileCollection collection(profiles);
    if (!findProfile(collection, profile))
        return usageError(profileRefusal(QStringLiteral("make"), profiles, profile));

    struct Candidate {
        QString input;
        bool named = true; // given by the user, not found in a folder
    };
    QList<Candidate> candidates;
    for (const QString &file : std::as_const(files)) {
        if (args.isSet(QStringLiteral("recursive")) && QFileInfo(file).isDir()) {
            for (const QString &found : filesUnder(file))
                candidates.append({found, false});
        } else {
            candidates.append({QFileInfo(file).absoluteFilePath(), true});
        }
    }

    int leftOut = 0;
    bool namedRefused = false;
    QList<BatchItem> rows;
    for (const Candidate &candidate : std::as_const(candidates)) {
        QString refusal;
        BatchItem item;
        try {
            SourceInfo source;
            item = newJob(engines.catalogue(), {candidate.input, QStringLiteral("None"), profile, outputDir}, &source);
            if (source.audioCount + source.videoCount == 0)
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
        rows.append(item);
    }

    // A file an earlier make named as an output is no input: a second make
    // over the same folder would encode the encodes.
    QHash<QString, QString> outputs; // place -> the input it is made from
    for (const QList<BatchItem> *from : {&earlier, &rows}) {
        for (const BatchItem &item : *from) {
            // An ASF name can be the input's own; that makes no file an output.
            const QString place = OutputNaming::place(item.outputFile);
            if (place != OutputNaming::place(item.inputFile))
                outputs.insert(place, item.inputFile);
        }
    }
    BatchList list;
    for (const BatchItem &item : std::as_const(rows)) {
        const QString source = outputs.value(OutputNaming::place(item.inputFile));
        if (!source.isEmpty()) {
            say(QStringLiteral("%1: left out: the output of %2").arg(item.inputFile, source));
            ++leftOut;
            continue;
        }
        if (!list.append(item)) {
            say(QStringLiteral("%1: a list holds at most %2 rows").arg(listPath).arg(BatchList::MaxRows));
            return BadUsage;
        }
    }
    if (list.count() == 0) {
        say(QStringLiteral("%1: no media file to add; nothing written").arg(listPath));
        return BadUsage;
    }
    BatchListFile::Failure failure;
    if (!BatchListFile::save(list, listPath, &failure)) {
        say(QStringLiteral("%1: %2").arg(listPath, failure.text));
        return SomeFailed;
    }
    say(QStringLiteral("wrote %1: %2 rows; %3 files left out").arg(listPath).arg(list.count()).arg(leftOut));
    return namedRefused ? SomeFailed : AllDone;
}

// The words a profile file uses for them.
QString containerName(Container c)
{
    switch (c) {
    case Container::Asf: return QStringLiteral("asf");
    case Container::Mp4: return QStringLiteral("mp4");
    case Container::Matroska: return QStringLiteral("mkv");
    case Container::WebM: return QStringLiteral("webm");
    case Container::Ogg: return QStringLiteral("ogg");
    case Container::Flac: return QStringLiteral("flac");
    case Container::Mp3: return QStringLiteral("mp3");
    }
    return {};
}

QString codecName(VideoCodec c)
{
    switch (c) {
    case VideoCodec::Wmv2: return QStringLiteral("wmv2");
    case VideoCodec::H264: return QStringLiteral("h264");
    case VideoCodec::H265: return QStringLiteral("h265");
    case VideoCodec::Av1: return QStringLiteral("av1");
    case VideoCodec::Vp9: return QStringLiteral("vp9");
    }
    return {};
}

QString codecName(AudioCodec c)
{
    switch (c) {
    case AudioCodec::Wma2: return QStringLiteral("wma2");
    case AudioCodec::Aac: return QStringLiteral("aac");
    case AudioCodec::Opus: return QStringLiteral("opus");
    case AudioCodec::Flac: return QStringLiteral("flac");
    case AudioCodec::Mp3: return QStringLiteral("mp3");
    }
    return {};
}

QString videoText(const ProfileSettings &p)
{
    if (!p.hasVideo())
        return QStringLiteral("no video");
    const VideoSettings &v = p.video;
    const QString size = v.width > 0 ? QStringLiteral("%1x%2").arg(v.width).arg(v.height)
                         : v.maxWidth > 0 ? QStringLiteral("up to %1x%2").arg(v.maxWidth).arg(v.maxHeight)
                                          : QStringLiteral("input size");
    const QString rate = v.frameRate > 0 ? QStringLiteral("%1 fps").arg(v.frameRate) : QStringLiteral("input fps");
    const QString amount = v.bitRate > 0 ? QStringLiteral("%1 kb/s").arg(v.bitRate / 1000)
                                         : QStringLiteral("quality %1").arg(v.quality);
    return QStringLiteral("%1 %2 %3 %4").arg(codecName(v.codec), size, rate, amount);
}

QString audioText(const ProfileSettings &p)
{
    if (!p.hasAudio())
        return QStringLiteral("no audio");
    const AudioSettings &a = p.audio;
    const QString amount = a.bitRate > 0 ? QStringLiteral("%1 kb/s").arg(a.bitRate / 1000) : QStringLiteral("lossless");
    const QString rate = a.sampleRate > 0 ? QStringLiteral("%1 Hz").arg(a.sampleRate) : QStringLiteral("input Hz");
    const QString channels = a.channels > 0 ? QStringLiteral("%1 ch").arg(a.channels) : QStringLiteral("input ch");
    return QStringLiteral("%1 %2 %3 %4").arg(codecName(a.codec), amount, rate, channels);
}

QJsonObject profileJson(const ProfileSettings &p)
{
    QJsonObject object{{"name", p.name},
                       {"description", p.description},
                       {"container", containerName(p.container)},
                       {"extension", p.extension()}};
    if (p.hasVideo()) {
        const VideoSettings &v = p.video;
        object.insert("video", QJsonObject{{"codec", codecName(v.codec)},
                                           {"width", v.width},
                                           {"height", v.height},
                                           {"maxWidth", v.maxWidth},
                                           {"maxHeight", v.maxHeight},
                                           {"frameRate", v.frameRate},
                                           {"bitRate", v.bitRate},
                                           {"quality", v.quality}});
    }
    if (p.hasAudio()) {
        const AudioSettings &a = p.audio;
        object.insert("audio", QJsonObject{{"codec", codecName(a.codec)},
                                           {"sampleRate", a.sampleRate},
                                           {"channels", a.channels},
                                           {"bitRate", a.bitRate}});
    }
    return object;
}

int listProfiles(const QCommandLineParser &args, const QString &programFolder)
{
    if (!args.positionalArguments().isEmpty())
        return usageError(QStringLiteral("profiles: unknown argument %1").arg(args.positionalArguments().first()));
    enum class Style { Table, Json, Names } style = Style::Table;
    for (const QString &name : args.optionNames()) // the last of them counts
        style = name == QLatin1String("json") ? Style::Json : Style::Names;
    QList<EncoderProfile> profiles;
    engineFactory(programFolder, &profiles);
    QString text;
    if (style == Style::Json) {
        QJsonArray array;
        for (const EncoderProfile &p : std::as_const(profiles))
            array.append(profileJson(p.settings()));
        text = QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented));
    } else {
        qsizetype width = 0;
        for (const EncoderProfile &p : std::as_const(profiles))
            width = std::max(width, p.Name().size());
        for (const EncoderProfile &p : std::as_const(profiles)) {
            const ProfileSettings &s = p.settings();
            // A name from a profile file may hold anything a terminal obeys.
            const QString name = escapeControls(p.Name());
            text += style == Style::Names ? name + u'\n'
                                          : QStringLiteral("%1  %2  %3  %4\n")
                                                .arg(name.leftJustified(width), containerName(s.container).leftJustified(4),
                                                     videoText(s), audioText(s));
        }
    }
    std::fputs(text.toLocal8Bit().constData(), stdout);
    return AllDone;
}

// Each command with its help and its options, declared once: a flag's names
// ("r|recursive": a one-letter name is the short form), or an option with a
// value (and the value it has when not given). -h/--help is a plain option of
// every command, so its help is the text here, not the parser's.
struct Command {
    const char *name;
    const char *help;
    QList<QCommandLineOption> options;
    int (*body)(const QCommandLineParser &args, const QString &programFolder);
};

QCommandLineOption flag(const char *names)
{
    return QCommandLineOption(QString::fromLatin1(names).split(u'|'));
}

QCommandLineOption valued(const char *name, const char *byDefault = "")
{
    return QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value"),
                              QString::fromLatin1(byDefault));
}

const QList<Command> &commands()
{
    static const QList<Command> all{
        {"run",
         "Usage: joblet-batch run [--jobs N|auto] [--shard K/N] [--results OUT.jlt] [--json] [--check] LIST.jlt\n"
         "Encodes every row of LIST.jlt whose Result is not \"Done\" and keeps each Result\n"
         "as its job ends (in a journal beside the list, folded into it at the end).\n"
         "  --jobs N     N jobs at once (auto: half the cores); default 1\n"
         "  --shard K/N  only rows r with (r - 1) mod N = K - 1\n"
         "  --results F  write the list with Results to F; LIST.jlt stays as it is\n"
         "  --json       one JSON object per event on stderr\n"
         "  --check      first check the rows as \"check\" does; start none if one fails\n"
         "Exit: 0 every row Done, 1 a row failed, the check failed or Results could not\n"
         "      be written,\n"
         "      2 bad usage or unreadable list, 130/143 stopped by SIGINT/SIGTERM.\n",
         {valued("jobs", "1"), valued("shard"), valued("results"), flag("json"), flag("check")},
         runList},
        {"merge",
         "Usage: joblet-batch merge [--results OUT.jlt] LIST.jlt RESULTS.jlt...\n"
         "Puts every row's best Result (Done, then an error, then none; between two\n"
         "errors the file named later) into LIST.jlt, or OUT.jlt. The files must hold\n"
         "the same jobs in the same order. Exit: 0 every row Done, 1 not, 2 bad usage.\n",
         {valued("results")},
         mergeLists},
        {"make",
         "Usage: joblet-batch make LIST.jlt [--profile NAME] [--output-dir DIR] [-r] [--force] FILES...\n"
         "Writes LIST.jlt with one row per media file, the output named after it with\n"
         "the profile's extension (.wma/.wmv by its streams for the ASF profiles), beside\n"
         "it or in DIR (\"_1\" before the extension only where that name is the input),\n"
         "and the profile NAME (an unknown one is refused with the nearest names); without\n"
         "--profile, the profile last chosen in Joblet's window, else\n"
         "\"Qimto Clipwright 320X240\".\n"
         "  -r           FILES may be folders: every media file under them, sorted, links\n"
         "               not followed; other files there are passed over quietly\n"
         "  --force      replace LIST.jlt when it is a list already\n"
         "LIST.jlt must end in .jlt; a file there that is not a list is never replaced.\n"
         "A file that is the output of another row (of the list replaced, or of this\n"
         "one) is left out. A FILE named that is not media is left out with the reason.\n"
         "Prints \"wrote LIST.jlt: N rows; M files left out\".\n"
         "Exit: 0 written, 1 a FILE named was not media, 2 bad usage, a LIST that is\n"
         "not a list or a list without --force, or no media file.\n",
         {valued("profile"), valued("output-dir"), flag("r|recursive"), flag("force")},
         makeList},
        {"check",
         "Usage: joblet-batch check LIST.jlt\n"
         "Checks every row whose Result is not \"Done\" without encoding: the input is a\n"
         "media file that can be read, the profile exists and its streams are in the\n"
         "input, the output's extension fits the profile, its folder exists and is\n"
         "writable, it is not the input, and no other row writes it. Prints a line per\n"
         "problem: \"row N (file): text (Error:<hex>)\".\n"
         "Exit: 0 no problem, 1 some problem, 2 bad usage or unreadable list.\n",
         {},
         checkCommand},
        {"profiles",
         "Usage: joblet-batch profiles [--json | --names]\n"
         "Prints every profile (the built-in ones, then those of the profile folders):\n"
         "name, container, video codec, size, frame rate and amount, audio codec,\n"
         "amount, sample rate and channels. --json prints them as a JSON array,\n"
         "--names only the names, one a line.\n",
         {flag("json"), flag("names")},
         listProfiles},
    };
    return all;
}

} // namespace

int runCommand(const QStringList &args, const QString &programFolder)
{
    if (args.isEmpty())
        return usageError(QStringLiteral("no command"));
    const QString &name = args.first();
    if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
        QString text = QStringLiteral("Usage:\n"
                                      "  joblet-batch run [--jobs N|auto] [--shard K/N] [--results OUT.jlt] [--json] [--check] LIST.jlt\n"
                                      "  joblet-batch merge [--results OUT.jlt] LIST.jlt RESULTS.jlt...\n"
                                      "  joblet-batch make LIST.jlt [--profile NAME] [--output-dir DIR] [-r] [--force] FILES...\n"
                                      "  joblet-batch check LIST.jlt\n"
                                      "  joblet-batch profiles [--json | --names]\n"
                                      "  joblet-batch COMMAND --help | --help | --version\n");
        for (const Command &command : commands())
            text += u'\n' + QString::fromUtf8(command.help);
        return printHelp(text);
    }
    if (name == QLatin1String("--version")) {
        std::fputs("joblet-batch " JOBLET_VERSION "\n", stdout);
        return AllDone;
    }
    const auto command = std::find_if(commands().begin(), commands().end(),
                                      [&](const Command &c) { return name == QLatin1String(c.name); });
    if (command == commands().end())
        return usageError(QStringLiteral("unknown command %1").arg(name));

    // Options anywhere among the files; "--" ends them.
    QCommandLineParser parser;
    const QCommandLineOption help = flag("h|help");
    parser.addOption(help);
    parser.addOptions(command->options);
    const bool parsed = parser.parse(args); // args.first(), the command, stands for the program
    if (parser.isSet(help))
        return printHelp(QString::fromUtf8(command->help));
    if (!parsed)
        return usageError(name + QStringLiteral(": ") + parser.errorText());
    for (const QCommandLineOption &option : command->options) {
        if (!option.valueName().isEmpty() && parser.values(option).contains(QString()))
            return usageError(QStringLiteral("%1: --%2 needs a value").arg(name, option.names().first()));
    }
    // Only a run turns a signal into its own exit status.
    if (command->body != runList)
        SignalPipe::restoreDefaults();
    return command->body(parser, programFolder);
}

} // namespace joblet::batchcli
