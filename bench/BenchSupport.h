#pragma once

#include "encoding/EncoderProfile.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace joblet::bench {

// One timed pass.
struct Sample {
    double wall = 0;    // seconds
    double mainCpu = 0; // seconds of the main thread's CPU meanwhile
    qint64 bytes = 0;   // size of what was written
};

double threadCpu();
double median(std::vector<double> v);

// The built-in default profile, the settings both sides encode with.
ProfileSettings defaultProfile();

// Encodes `input` with the ffmpeg command at the profile's settings and waits
// in an event loop; false when the command failed.
bool runFfmpeg(const ProfileSettings &profile, const QString &input, const QString &output,
               QString *error = nullptr);

qint64 totalSize(const QStringList &paths);

} // namespace joblet::bench
