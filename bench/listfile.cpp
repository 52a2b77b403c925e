// Loads and saves a full list (32767 jobs) through the main window's Load and
// Save commands, dialogs answered by the recording fake, the window shown
// offscreen. Prints the median wall times; the last line is
// "load_ms <x> save_ms <y>" for scripts. Load time includes the pending
// events after the handler, i.e. the view taking in the rows.

#include "BenchSupport.h"
#include "TestContext.h"

#include "batch/BatchList.h"
#include "batch/BatchListFile.h"
#include "ui/FrmJobletIn.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

using namespace joblet;
using bench::median;

namespace {

constexpr int Runs = 7;

QByteArray fullList()
{
    QByteArray data;
    for (int i = 1; i <= BatchListFile::MaxLines; ++i)
        data += QStringLiteral("/home/user/Videos/holiday %1/clip-%2.avi;"
                               "/home/user/Videos/holiday %1/clip-%2.wmv;Qimto Clipwright 320X240;\r\n")
                    .arg(i / 100)
                    .arg(i)
                    .toLocal8Bit();
    return data;
}

int fail(const char *what)
{
    std::fprintf(stderr, "listfile: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTemporaryDir dir;
    const QString source = dir.filePath("full.jlt");
    const QString target = dir.filePath("saved.jlt");
    const QByteArray data = fullList();
    {
        QFile f(source);
        if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
            return fail("cannot write the source list");
    }

    TestContext tc;
    FakeUiServices &ui = tc.ui;
    FrmJobletIn window(tc.context());
    window.show();
    QApplication::processEvents();

    std::vector<double> loadHandler, loadTotal, save;
    for (int run = 0; run < Runs; ++run) {
        ui.fileAnswers.enqueue(source);
        QElapsedTimer t;
        t.start();
        window.CmdLoad_Click();
        loadHandler.push_back(t.nsecsElapsed() / 1e6);
        QApplication::processEvents();
        loadTotal.push_back(t.nsecsElapsed() / 1e6);
        if (window.list().count() != BatchListFile::MaxLines || !ui.messages.isEmpty())
            return fail("the list did not load whole");

        ui.fileAnswers.enqueue(target);
        t.start();
        window.CmdSave_Click();
        save.push_back(t.nsecsElapsed() / 1e6);
        if (!ui.messages.isEmpty())
            return fail("the save failed");
        QFile saved(target);
        if (!saved.open(QIODevice::ReadOnly) || saved.readAll() != data)
            return fail("the saved file differs from the loaded one");
    }

    std::printf("%d jobs, %lld bytes, median of %d runs\n", BatchListFile::MaxLines,
                static_cast<long long>(data.size()), Runs);
    std::printf("load handler          %8.1f ms\n", median(loadHandler));
    std::printf("load with view update %8.1f ms\n", median(loadTotal));
    std::printf("save                  %8.1f ms\n", median(save));
    std::printf("load_ms %.1f save_ms %.1f\n", median(loadTotal), median(save));
    return 0;
}
