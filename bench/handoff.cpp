// One hand-off tick taking a 10 000-line file into a list of 22 767 rows.
// Prints the median of several ticks; the last
// line is "tick_ms <x>" for scripts.

#include "app/HandOffPoller.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace joblet;

namespace {

constexpr int Runs = 7;
constexpr int Rows = 22767;
constexpr int Lines = 10000;

QString path(int i)
{
    return QStringLiteral("/home/user/Videos/holiday %1/clip-%2.avi").arg(i / 100).arg(i);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString file = dir.filePath(QStringLiteral("tonvel.lst"));

    QStringList rows;
    for (int i = 0; i < Rows; ++i)
        rows << path(i);
    // Every tenth line is a row already, in other letter case and with
    // blanks, so the duplicate test does real work both ways.
    QByteArray content;
    for (int i = 0; i < Lines; ++i) {
        const QString line = i % 10 == 0 ? QStringLiteral("  ") + path(i * 2).toUpper() + u' ' : path(Rows + i);
        content += line.toLocal8Bit() + "\r\n";
    }

    std::vector<double> ms;
    int added = 0;
    for (int run = 0; run < Runs; ++run) {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size())
            return 1;
        out.close();
        HandOffPoller poller(std::chrono::milliseconds(0));
        added = 0;
        QElapsedTimer timer;
        timer.start();
        poller.tick(file, [&] { return rows; },
                    [&](const QString &, const QString &) {
                        ++added;
                        return true;
                    });
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (QFile::exists(file))
            return 1;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%d lines into %d rows: %d jobs added\n", Lines, Rows, added);
    std::printf("tick_ms %.1f\n", ms[ms.size() / 2]);
    return 0;
}
