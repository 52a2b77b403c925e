#include "ProgressFigures.h"

#include "encoding/EncoderProfile.h"

#include <QObject>
#include <QStringList>

#include <algorithm>

namespace joblet::ProgressFigures {

namespace {
// kb/s without trailing zeros: 64000 -> "64", 22050 Hz -> "22.05".
QString thousands(int value)
{
    return QString::number(value / 1000.0, 'g', 6);
}
} // namespace

QString clockText(qint64 ms)
{
    const qint64 seconds = std::max<qint64>(ms, 0) / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

std::optional<int> percentDone(qint64 encodedUs, qint64 durationUs)
{
    if (durationUs <= 0)
        return std::nullopt;
    return int(std::clamp<qint64>(encodedUs * 100 / durationUs, 0, 100));
}

QString streamsText(const ProfileSettings &profile)
{
    QStringList parts;
    if (profile.hasVideo()) {
        const VideoSettings &v = profile.video;
        QStringList video;
        if (v.width > 0 && v.height > 0)
            video << QStringLiteral("%1\u00d7%2").arg(v.width).arg(v.height);
        if (v.maxWidth > 0 && v.maxHeight > 0)
            video << QObject::tr("up to %1\u00d7%2").arg(v.maxWidth).arg(v.maxHeight);
        if (v.frameRate > 0)
            video << QObject::tr("%1 fps").arg(v.frameRate);
        video << (v.quality > 0 ? QObject::tr("CRF %1").arg(v.quality) : QObject::tr("%1 kb/s").arg(thousands(v.bitRate)));
        parts << QObject::tr("Video %1").arg(video.join(QStringLiteral(", ")));
    }
    if (profile.hasAudio()) {
        const AudioSettings &a = profile.audio;
        QStringList audio;
        QString format;
        if (a.sampleRate > 0)
            format = QObject::tr("%1 kHz").arg(thousands(a.sampleRate));
        const QString channels = a.channels == 1   ? QObject::tr("mono")
                                 : a.channels == 2 ? QObject::tr("stereo")
                                 : a.channels > 2  ? QObject::tr("%1 channels").arg(a.channels)
                                                   : QString();
        if (!channels.isEmpty())
            format += (format.isEmpty() ? QString() : QStringLiteral(" ")) + channels;
        if (!format.isEmpty())
            audio << format;
        audio << (a.bitRate > 0 ? QObject::tr("%1 kb/s").arg(thousands(a.bitRate)) : QObject::tr("lossless"));
        parts << QObject::tr("Audio %1").arg(audio.join(QStringLiteral(", ")));
    }
    return parts.join(QStringLiteral("; "));
}

} // namespace joblet::ProgressFigures
