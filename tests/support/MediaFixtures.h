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

    // What rides beside the picture and the sound.
    // A 1 s film in Matroska titled "A Film", its clock starting at
    // `startSeconds`: small picture, one sound, chapters "One" "Two" "Three"
    // at 0, 0.3 and 0.6 s, and an SRT track in French titled "Français",
    // shown by default and forced, with two cues from 0.1 s and a third of
    // 100 KiB that no real subtitle is.
    QString filmWithSubtitles(const QString &name = QStringLiteral("film.mkv"), double startSeconds = 0);
    // A 1 s MP3 tagged title "Song", artist "Band", album "Record", track 3,
    // date 2020, with a small PNG cover.
    QString taggedSongWithCover(const QString &name = QStringLiteral("song.mp3"));

private:
    // ffmpeg with `args`, bit-exact, into `name`; its path or empty.
    QString makeOne(const QString &name, const QStringList &args);

    QString m_folder;
    QString m_lastError;
};

} // namespace joblet::test

// Inputs for the audio tracks' tests.
namespace joblet::test {

// A small film in Matroska: an eng 5.1 AC-3 track and a deu stereo AAC
// track titled "Kommentar"; `defaultTrack` (0 or 1) is the one flagged default.
QString twoLanguageFilm(MediaFixtures &media, const QString &name, int defaultTrack);
// 16-bit 5.1 WAV whose six channels carry one sine at `peakDb` dBFS: near
// 0 the mix that clips when a downmix adds channels at full gain.
QString surroundSine(MediaFixtures &media, const QString &name, double peakDb, double seconds = 3.0);

} // namespace joblet::test
