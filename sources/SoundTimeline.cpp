#include "sources/SoundTimeline.h"

extern "C" {
#include <libavutil/mathematics.h>
}

#include <algorithm>

namespace moxel {
namespace {

constexpr int64_t kMicroseconds = 1000000;
// Without an announced length, jumps up to this long are believed.
constexpr int64_t kUnannouncedLimitUs = 600 * kMicroseconds;

} // namespace

int64_t SoundTimeline::microseconds(int64_t stamp, int num, int den)
{
    if (stamp == kUnknown || num <= 0 || den <= 0)
        return kUnknown;
    return av_rescale_q(stamp, AVRational{num, den}, AVRational{1, int(kMicroseconds)});
}

void SoundTimeline::start(int64_t originUs, double announcedSeconds, SourceCounters* counters,
                          bool stampsMayRestart)
{
    *this = SoundTimeline{};
    m_originUs = originUs;
    m_stampsMayRestart = stampsMayRestart;
    m_counters = counters;
    // A little over the announced length, which a damaged length can be off by.
    m_limitUs = announcedSeconds > 0.0 && announcedSeconds < 1e6
                    ? int64_t((announcedSeconds + std::max(2.0, announcedSeconds * 0.05)) *
                              double(kMicroseconds))
                    : kUnannouncedLimitUs;
}

int64_t SoundTimeline::endUs() const
{
    if (!m_started)
        return kUnknown;
    return m_baseUs + av_rescale(m_placedFrames, kMicroseconds, m_rate);
}

void SoundTimeline::rebase(int64_t atUs, int rate)
{
    m_baseUs = atUs;
    m_placedFrames = 0;
    m_rate = rate;
}

bool SoundTimeline::believable(int64_t timestampUs, int64_t jumpFrames) const
{
    const int64_t limitFrames = av_rescale(m_limitUs, m_rate, kMicroseconds);
    if (jumpFrames > limitFrames || jumpFrames < -limitFrames)
        return false;
    // Both stay far from overflowing once the jump is bounded.
    const int64_t fromOriginUs = timestampUs - m_originUs;
    return fromOriginUs <= m_limitUs && fromOriginUs >= -m_limitUs;
}

int64_t SoundTimeline::timelineMs() const
{
    return std::max<int64_t>(0, (endUs() - m_originUs) / 1000);
}

void SoundTimeline::count(int64_t frames, int64_t& totalUs,
                          std::atomic<int64_t> SourceCounters::*totalMs,
                          std::atomic<int64_t> SourceCounters::*firstAtMs)
{
    totalUs += av_rescale(frames, kMicroseconds, m_rate);
    if (!m_counters)
        return;
    SourceCounters::noteFirst(m_counters->*firstAtMs, timelineMs());
    (m_counters->*totalMs).store(totalUs / 1000, std::memory_order_relaxed);
}

SoundTimeline::Placement SoundTimeline::place(int64_t timestampUs, int64_t frames, int rate)
{
    Placement placement;
    if (frames <= 0 || rate <= 0)
        return placement;
    if (!m_started) {
        m_started = true;
        if (m_originUs == kUnknown)
            m_originUs = timestampUs != kUnknown ? timestampUs : 0;
        rebase(m_originUs, rate);
    } else if (rate != m_rate) {
        rebase(endUs(), rate);
    }
    m_largestFrame = std::max(m_largestFrame, frames);

    int64_t jump = 0;
    // Far-off stamps are not believed (and cannot overflow what follows).
    const bool near = timestampUs != kUnknown && timestampUs > INT64_MIN / 4 &&
                      timestampUs < INT64_MAX / 4 && m_baseUs > INT64_MIN / 4 &&
                      m_baseUs < INT64_MAX / 4;
    if (near)
        jump = av_rescale_rnd(timestampUs - m_baseUs, rate, kMicroseconds, AV_ROUND_NEAR_INF) -
               m_placedFrames;
    if (timestampUs != kUnknown && !(near && believable(timestampUs, jump))) {
        rebase(near ? timestampUs : endUs(), rate);
        jump = 0;
    }
    // One codec frame, kept between 2 ms (containers that stamp in whole
    // milliseconds) and 100 ms (sound stored in long blocks).
    const int64_t jitter = std::clamp<int64_t>(m_largestFrame, rate / 500, rate / 10);
    // Until sound has been placed, sound before the pictures is cut whatever
    // the format.
    const bool first = !m_placedAny;
    if (first && near && jump < 0 && jump > -jitter && m_droppedUs > 0) {
        // Sound that began well before the pictures, and has been cut up to
        // here, is cut to the sample where they start.
        placement.skipFrames = -jump;
        count(placement.skipFrames, m_droppedUs, &SourceCounters::soundDroppedMs,
              &SourceCounters::firstSoundDropAtMs);
        m_placedFrames -= placement.skipFrames;
        jump = 0;
    } else if (first && near && jump > -jitter && jump < jitter) {
        // Sound that starts within a frame of the pictures starts with them,
        // as it always has; what follows is measured from its own stamp, so
        // an encoder's lead-in frame stamped just before the pictures never
        // makes the frame after it look like an overlap.
        rebase(timestampUs, rate);
        jump = 0;
    }
    if (jump <= -jitter && m_stampsMayRestart && !first) {
        rebase(timestampUs, rate); // the stamps start again: go on from here
        jump = 0;
    }
    if (jump >= jitter) {
        placement.silenceFrames = jump;
        count(jump, m_silenceUs, &SourceCounters::silenceInsertedMs,
              &SourceCounters::firstSilenceAtMs);
        m_placedFrames += jump;
    } else if (jump <= -jitter) {
        placement.skipFrames = std::min(-jump, frames);
        count(placement.skipFrames, m_droppedUs, &SourceCounters::soundDroppedMs,
              &SourceCounters::firstSoundDropAtMs);
        m_placedFrames -= placement.skipFrames;
    }
    m_placedFrames += frames;
    m_placedAny = m_placedAny || placement.skipFrames < frames;
    return placement;
}

} // namespace moxel
