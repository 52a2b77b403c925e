#include "Startup.h"

#include "HandOffWriter.h"
#include "InstanceChannel.h"
#include "MarkerFile.h"
#include "ProgramPaths.h"
#include "SingleInstance.h"

#include "fileio/TerminalText.h"

#include <QCoreApplication>
#include <QTextStream>

namespace joblet {

namespace {

// The translation context of the texts below.
struct Texts {
    Q_DECLARE_TR_FUNCTIONS(joblet::Startup)
};

// The running instance answers from its event loop, which a starting or
// busy window may hold up for a moment.
constexpr std::chrono::milliseconds AnswerTimeout{5000};

} // namespace

StartDecision prepareStart(const QStringList &arguments, const ProgramPaths &paths,
                           SingleInstance &instance, const QDateTime &now,
                           QTextStream &out, QTextStream &err)
{
    StartDecision decision;
    decision.commandLine = CommandLine::parse(arguments);
    const CommandLine &line = decision.commandLine;

    switch (line.kind()) {
    case CommandLine::Kind::Help:
        out << CommandLine::usage(paths) << Qt::flush;
        return decision;
    case CommandLine::Kind::Version:
        out << CommandLine::version() << Qt::flush;
        return decision;
    default:
        break;
    }

    if (!instance.tryTake()) {
        // The running instance's marker stays as it is; a file is not lost
        // but handed over.
        if (line.kind() == CommandLine::Kind::Job) {
            // The running instance's own file, wherever this copy is.
            QString why;
            const std::optional<QString> handOff = InstanceChannel::ask(
                instance.socketFile(), InstanceChannel::Request::HandOff, AnswerTimeout, &why);
            const QString input = line.absoluteInput();
            if (!handOff || !HandOff::appendLine(*handOff, input, &why)) {
                err << Texts::tr("joblet: already running; could not hand %1 over: %2")
                           .arg(escapeControls(input), escapeControls(why))
                    << '\n' << Qt::flush;
                decision.exitCode = 1;
                return decision;
            }
            err << (line.startRun()
                        ? Texts::tr("joblet: already running; handed %1 over as a job (<RUN> is not passed on)")
                        : Texts::tr("joblet: already running; handed %1 over as a job"))
                           .arg(escapeControls(input))
                << '\n' << Qt::flush;
        } else if (line.kind() == CommandLine::Kind::Empty) {
            QString why;
            if (InstanceChannel::ask(instance.socketFile(), InstanceChannel::Request::Raise,
                                     AnswerTimeout, &why)) {
                err << Texts::tr("joblet: already running; its window was brought to the front")
                    << '\n' << Qt::flush;
            } else {
                err << Texts::tr("joblet: already running, but it could not be reached: %1")
                           .arg(escapeControls(why))
                    << '\n' << Qt::flush;
                decision.exitCode = 1;
            }
        } else if (line.kind() == CommandLine::Kind::List) {
            // The hand-off file carries input paths only.
            err << Texts::tr("joblet: already running; a list cannot be handed over, load %1 in its window")
                       .arg(escapeControls(line.input()))
                << '\n' << Qt::flush;
            decision.exitCode = 1;
        } else if (line.kind() == CommandLine::Kind::Rejected) {
            err << Texts::tr("joblet: already running; cannot look at %1, nothing handed over")
                       .arg(escapeControls(line.input()))
                << '\n' << Qt::flush;
            decision.exitCode = 1;
        } else if (line.kind() == CommandLine::Kind::NoFile) {
            err << Texts::tr("joblet: already running; %1 names no file, nothing handed over")
                       .arg(escapeControls(line.text()))
                << '\n' << Qt::flush;
        }
        return decision;
    }

    decision.startedAt = now;
    decision.openWindow = true;
    return decision;
}

} // namespace joblet
