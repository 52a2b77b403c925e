#include "TimeLeft.h"

#include "schedule/Clock.h"

#include <algorithm>
#include <cmath>

namespace joblet {

SpeedEstimate::SpeedEstimate(const Clock &clock)
    : m_clock(clock)
{
}

qint64 SpeedEstimate::nowMs() const
{
    return m_clock.now().toMSecsSinceEpoch();
}

void SpeedEstimate::beginJob()
{
    m_jobStartMs = nowMs();
    m_spanStartMs.reset();
    m_jobMeasured = false;
}

void SpeedEstimate::sample(qint64 encodedUs)
{
    const qint64 now = nowMs();
    if (now - m_jobStartMs < StartUpMs)
        return;
    if (!m_spanStartMs) {
        m_spanStartMs = now;
        m_spanStartUs = encodedUs;
        return;
    }
    const qint64 spanMs = now - *m_spanStartMs;
    if (spanMs < SpanMs)
        return;
    const double measured = double(encodedUs - m_spanStartUs) / 1000.0 / double(spanMs);
    m_spanStartMs = now;
    m_spanStartUs = encodedUs;
    if (measured < 0)
        return;
    // Another file or profile may encode at quite another speed: a job's
    // first span replaces the earlier jobs' speed rather than nudging it.
    if (!m_jobMeasured)
        m_measuredMs = 0;
    m_measuredMs += spanMs;
    // Until the average has seen a few time constants it is the plain mean
    // of the job's spans, so no single early span outweighs the rest.
    const double weight = std::max(1.0 - std::exp(-double(spanMs) / SmoothingMs),
                                   double(spanMs) / double(m_measuredMs));
    m_speed = m_speed && m_jobMeasured ? *m_speed + weight * (measured - *m_speed) : measured;
    m_jobMeasured = true;
}

namespace TimeLeft {

std::optional<qint64> mediaLeftUs(qint64 encodedUs, qint64 durationUs,
                                  const QList<qint64> &laterDurationsUs)
{
    qint64 known = 0;
    int knownCount = 0;
    for (const qint64 us : std::as_const(laterDurationsUs)) {
        if (us > 0) {
            known += us;
            ++knownCount;
        }
    }
    if (durationUs > 0) {
        known += durationUs;
        ++knownCount;
    }
    if (knownCount == 0)
        return std::nullopt;
    const qint64 average = known / knownCount;
    qint64 left = std::max<qint64>((durationUs > 0 ? durationUs : average) - encodedUs, 0);
    for (const qint64 us : std::as_const(laterDurationsUs))
        left += us > 0 ? us : average;
    return left;
}

std::optional<qint64> wallMs(std::optional<qint64> mediaUs, std::optional<double> speed)
{
    if (!mediaUs || !speed || *speed <= 0)
        return std::nullopt;
    return qint64(double(*mediaUs) / 1000.0 / *speed);
}

} // namespace TimeLeft

} // namespace joblet
