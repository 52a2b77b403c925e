#pragma once

#include <QList>
#include <QtGlobal>

#include <optional>

namespace joblet {

class Clock;

// The encoding speed in media time per wall time, read off a job's progress
// against a clock and smoothed, and the time left that follows from it.
class SpeedEstimate {
public:
    explicit SpeedEstimate(const Clock &clock);

    // A job starts now. The speed of the jobs before it serves until this
    // one has shown its own.
    void beginJob();
    // The job's encoded media time, read now.
    void sample(qint64 encodedUs);
    // Media seconds per wall second, once one span has been measured.
    std::optional<double> speed() const { return m_speed; }

    // Opening the input and filling the encoders' look-ahead make a job's
    // first moments slow (or, with audio racing ahead, fast); they say
    // nothing about the rest.
    static constexpr qint64 StartUpMs = 1500;
    // Spans shorter than this are mostly the rounding of the readings.
    static constexpr qint64 SpanMs = 1000;
    // How fast the average follows a change of speed.
    static constexpr double SmoothingMs = 8000;

private:
    qint64 nowMs() const;

    const Clock &m_clock;
    qint64 m_jobStartMs = 0;
    std::optional<qint64> m_spanStartMs;
    qint64 m_spanStartUs = 0;
    bool m_jobMeasured = false;
    qint64 m_measuredMs = 0; // the job's spans so far
    std::optional<double> m_speed;
};

namespace TimeLeft {

// Media still to encode: what the current job has left and the later rows'
// lengths, a length of 0 (unknown) counted at the average of those known.
// Nothing when no length at all is known.
std::optional<qint64> mediaLeftUs(qint64 encodedUs, qint64 durationUs,
                                  const QList<qint64> &laterDurationsUs);
// The wall time `mediaUs` takes at `speed` media seconds per second.
std::optional<qint64> wallMs(std::optional<qint64> mediaUs, std::optional<double> speed);

} // namespace TimeLeft

} // namespace joblet
