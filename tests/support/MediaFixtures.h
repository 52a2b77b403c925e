#pragma once

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

namespace joblet::test {

// Writes small media files into a folder with the ffmpeg command, from its
// synthetic sources, so that no test depends on files kept in the repository.
// Each maker returns the file's path, or an empty string (see lastError()).
class MediaFixtures {
public:
    explicit MediaFixtures(QString folder);

    static QString ffmpegExecutable();

    // mpeg4 video with stereo mp3 audio at 44.1 kHz, in AVI.
    QString audioVideoClip(const QString &name = QStringLiteral("clip.avi"), double seconds = 2.0,
                           QSize size = {320, 240}, int fps = 30);
    // 16-bit PCM, mono 48 kHz: every profile has to resample it.
    QString audioOnly(const QString &name = QStringLiteral("tone.wav"), double seconds = 2.0);
    // Plain text under a media file's name.
    QString textFile(const QString &name = QStringLiteral("notes.avi"));
    QString writeFile(const QString &name, const QByteArray &data);
    // Each entry a file's name, then the ffmpeg arguments that make it;
    // false at the first that fails.
    bool make(const QList<QStringList> &files);

    QString path(const QString &name) const;
    const QString &lastError() const { return m_lastError; }

    // Runs ffmpeg with `args` after the common options; false on failure.
    bool ffmpeg(const QStringList &args);

private:
    // ffmpeg with `args`, bit-exact, into `name`; its path or empty.
    QString makeOne(const QString &name, const QStringList &args);

    QString m_folder;
    QString m_lastError;
};

} // namespace joblet::test
