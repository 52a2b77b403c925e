// What the recovery file costs a full list (32767 jobs): the GUI thread's
// share of a job's end (one Result set) and of an edit (one row removed),
// with and without the file kept, and the write itself on its own thread.
// Prints medians; the last line is "job_end_ms <x> edit_ms <y> write_ms <z>".

#include "batch/BatchList.h"
#include "batch/RecoveryFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace joblet;

namespace {

constexpr int Runs = 25;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void fill(BatchList &list)
{
    QList<BatchItem> items;
    for (int i = 0; i < BatchList::MaxRows; ++i) {
        const QString input = QStringLiteral("/home/user/Videos/holiday 2026/clip %1.avi").arg(i, 5, 10, QChar(u'0'));
        items.append({input, input.chopped(3) + QStringLiteral("wmv"),
                      QStringLiteral("Qimto Clipwright 320X240"), QString(), QString()});
    }
    list.append(items);
}

double msOf(QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// The GUI thread's time for `change` and the event-loop pass that follows
// (where the write is handed to its thread).
template <typename Change>
double guiTime(BatchList &list, RecoveryFile *file, Change change)
{
    std::vector<double> times;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        change(list, run);
        QCoreApplication::processEvents();
        times.push_back(msOf(timer));
        if (file)
            file->flush(); // the next run starts with the writer idle
    }
    return median(times);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath("recovery.jlt");

    auto jobEnd = [](BatchList &list, int run) {
        list.setCell(run + 1, BatchItem::ResultKey, QStringLiteral("Done"));
    };
    auto edit = [](BatchList &list, int) { list.remove(1); };

    double plain[2], kept[2];
    for (bool keep : {false, true}) {
        BatchList list;
        fill(list);
        std::unique_ptr<RecoveryFile> file;
        if (keep)
            file = std::make_unique<RecoveryFile>(list, path);
        double *out = keep ? kept : plain;
        out[0] = guiTime(list, file.get(), jobEnd);
        out[1] = guiTime(list, file.get(), edit);
        if (file)
            file->closeNormally();
    }

    BatchList list;
    fill(list);
    QList<BatchItem> items;
    for (int row = 1; row <= list.count(); ++row)
        items.append(list.item(row));
    std::vector<double> writes;
    for (int run = 0; run < 7; ++run) {
        QElapsedTimer timer;
        timer.start();
        RecoveryFile::write(path, items);
        writes.push_back(msOf(timer));
    }
    const double write = median(writes);

    std::printf("rows %d, median of %d\n", BatchList::MaxRows, Runs);
    std::printf("job end, GUI thread: %.2f ms without the file, %.2f ms with it\n", plain[0], kept[0]);
    std::printf("edit (remove a row), GUI thread: %.2f ms without, %.2f ms with\n", plain[1], kept[1]);
    std::printf("one write on the writer thread (format, write, sync, rename): %.1f ms, %lld bytes\n",
                write, (long long)QFileInfo(path).size());
    std::printf("job_end_ms %.2f edit_ms %.2f write_ms %.1f\n", kept[0], kept[1], write);
    return 0;
}
