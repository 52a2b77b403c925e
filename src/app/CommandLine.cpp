#include "CommandLine.h"

#include "HandOffReader.h"
#include "fileio/Text.h"
#include "PathCheck.h"

#include "batch/OutputNaming.h"
#include "fileio/TerminalText.h"
#include "ProgramPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#ifndef JOBLET_VERSION
#define JOBLET_VERSION "unknown"
#endif

namespace joblet {

CommandLine CommandLine::parse(const QStringList &arguments)
{
    CommandLine line;
    line.m_text = arguments.mid(1).join(u' ');
    if (line.m_text.isEmpty())
        return line;

    // An option only when it names no file, so that such a file can still be
    // added.
    if (!QFileInfo::exists(line.m_text)) {
        if (line.m_text == QLatin1String("--help")) {
            line.m_kind = Kind::Help;
            return line;
        }
        if (line.m_text == QLatin1String("--version")) {
            line.m_kind = Kind::Version;
            return line;
        }
    }

    // Found anywhere, but always the last five characters are cut: a token
    // that is not at the end spoils the path instead of being ignored.
    QString path = line.m_text;
    line.m_startRun = path.contains(QLatin1String("<RUN>"));
    if (line.m_startRun)
        path.chop(5);
    path = trimSpaces(path);

    line.m_kind = Kind::NoFile;
    if (path.isEmpty())
        return line;
    const PathCheck found = PathCheck::examine(path);
    if (found.state == PathCheck::State::Rejected) {
        line.m_kind = Kind::Rejected;
        line.m_input = path;
        line.m_errorNumber = found.number;
        return line;
    }
    if (found.state != PathCheck::State::File)
        return line;
    line.m_input = path;
    // Opening a list from the desktop passes it here; as a media input it
    // could only fail.
    if (path.endsWith(QLatin1String(".jlt"), Qt::CaseInsensitive)) {
        line.m_kind = Kind::List;
        return line;
    }
    line.m_kind = Kind::Job;
    line.m_output = OutputNaming::fromHandOff(path);
    return line;
}

QString CommandLine::absoluteInput() const
{
    return QDir::isRelativePath(m_input) ? QDir::current().absoluteFilePath(m_input) : m_input;
}

QString CommandLine::usage(const ProgramPaths &paths)
{
    return QCoreApplication::translate("joblet::CommandLine", 
               "Usage: joblet [FILE ['<RUN>']]\n"
               "       joblet --help | --version\n"
               "\n"
               "Opens the batch window. With FILE, adds it to the list as one job, or\n"
               "loads it when it is a batch list (.jlt); with <RUN> after it, also\n"
               "starts encoding the list at once.\n"
               "\n"
               "One instance runs per user. Started while it runs, joblet hands FILE\n"
               "to it as a job (without <RUN>) and ends; with no FILE, it brings the\n"
               "running window to the front. Exit 1 when it cannot reach the instance.\n"
               "\n"
               "The marker and the hand-off file are beside the program when its folder\n"
               "belongs to you and no one else may write to it; otherwise they are in\n"
               "~/.local/share/joblet. For this copy:\n"
               "Marker of a running instance: %1\n"
               "Hand-off file (append one path per line, ending CR LF): %2\n")
        .arg(escapeControls(paths.markerFile()), escapeControls(paths.handOffFile()));
}

QString CommandLine::version()
{
    return QStringLiteral("joblet " JOBLET_VERSION "\n");
}

} // namespace joblet
