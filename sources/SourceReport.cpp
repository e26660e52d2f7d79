#include "sources/SourceReport.h"

#include "base/DiagnosticSink.h"
#include "sources/SoundTimeline.h"
#include "sources/StreamDecoder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace moxel {
namespace {

// An end this much short of the announced length is not rounding.
constexpr double kEarlyEndSeconds = 1.0;
constexpr double kEarlyEndShare = 0.03;

std::string firstAt(const std::atomic<int64_t>& field)
{
    const int64_t ms = field.load(std::memory_order_relaxed);
    if (ms < 0)
        return "";
    char text[48];
    std::snprintf(text, sizeof text, " (first at %.2f s)", double(ms) / 1000.0);
    return text;
}

} // namespace

void collectStreamCounters(SourceCounters& counters,
                           std::initializer_list<const StreamDecoder*> streams,
                           double originSeconds, double announcedSeconds)
{
    bool endAnnounced = true;
    bool anyStream = false;
    double endSeconds = -1.0;
    double fileStart = 0.0;
    int64_t firstDamageMs = -1;
    for (const StreamDecoder* stream : streams) {
        if (!stream || !stream->isOpen())
            continue;
        anyStream = true;
        fileStart = stream->fileStartSeconds();
        // A length guessed from the bit rate announces nothing.
        endAnnounced = endAnnounced && stream->reachedEnd() && !stream->durationGuessed();
        endSeconds = std::max(endSeconds, stream->endSeconds());
        counters.damagedPackets.fetch_add(stream->skippedPackets(), std::memory_order_relaxed);
        if (stream->firstSkippedTime() != AV_NOPTS_VALUE) {
            const double at =
                double(stream->firstSkippedTime()) * av_q2d(stream->stream()->time_base) -
                originSeconds;
            const int64_t ms = std::max<int64_t>(0, std::llround(std::min(at, 1e12) * 1000.0));
            firstDamageMs = firstDamageMs < 0 ? ms : std::min(firstDamageMs, ms);
        } else if (stream->skippedPackets() > 0 && firstDamageMs < 0) {
            firstDamageMs = 0;
        }
    }
    if (firstDamageMs >= 0)
        SourceCounters::noteFirst(counters.firstDamageAtMs, firstDamageMs);
    if (!anyStream || !endAnnounced || endSeconds < 0.0 || announcedSeconds <= 0.0)
        return;
    const double shortBy = announcedSeconds - (endSeconds - fileStart);
    if (shortBy > kEarlyEndSeconds && shortBy > announcedSeconds * kEarlyEndShare)
        SourceCounters::noteFirst(
            counters.endedEarlyAtMs,
            std::max<int64_t>(0, std::llround((endSeconds - originSeconds) * 1000.0)));
}

void reportSourceEnd(SourceCounters& counters, std::string_view tag, const StreamDecoder* video,
                     const StreamDecoder* audio, int64_t originUs, double announcedSeconds)
{
    double origin = 0.0;
    if (originUs != SoundTimeline::kUnknown)
        origin = double(originUs) / 1e6;
    else if (video || audio)
        origin = (video ? video : audio)->fileStartSeconds();
    collectStreamCounters(counters, {video, audio}, origin, announcedSeconds);
    reportSourceCounters(counters, tag, announcedSeconds);
}

void reportSourceCounters(const SourceCounters& counters, std::string_view tag,
                          double announcedSeconds)
{
    const std::string prefix = std::string(tag) + ": ";
    auto line = [&](const std::string& text) {
        emitDiagnostic(tag, DiagnosticLevel::Warning, prefix + text);
    };
    auto seconds = [](const std::atomic<int64_t>& ms) {
        char text[32];
        std::snprintf(text, sizeof text, "%.2f s",
                      double(ms.load(std::memory_order_relaxed)) / 1000.0);
        return std::string(text);
    };
    auto count = [](const std::atomic<int64_t>& n) {
        return std::to_string(n.load(std::memory_order_relaxed));
    };

    if (counters.damagedPackets > 0)
        line(count(counters.damagedPackets) +
             (counters.damagedPackets == 1 ? " damaged packet" : " damaged packets") + " skipped" +
             firstAt(counters.firstDamageAtMs));
    if (counters.silenceInsertedMs > 0)
        line(seconds(counters.silenceInsertedMs) + " of silence inserted for missing sound" +
             firstAt(counters.firstSilenceAtMs));
    if (counters.soundDroppedMs > 0)
        line(seconds(counters.soundDroppedMs) +
             " of sound dropped before the first picture or where it overlapped" +
             firstAt(counters.firstSoundDropAtMs));
    if (counters.picturesDropped > 0)
        line(count(counters.picturesDropped) +
             (counters.picturesDropped == 1 ? " picture dropped" : " pictures dropped") +
             firstAt(counters.firstDropAtMs));
    if (counters.picturesRepeated > 0)
        line(count(counters.picturesRepeated) +
             (counters.picturesRepeated == 1 ? " picture repeated" : " pictures repeated") +
             " for gaps in the pictures" + firstAt(counters.firstRepeatAtMs));
    if (counters.endedEarlyAtMs >= 0) {
        char text[128];
        std::snprintf(text, sizeof text,
                      "the source ended at %.2f s, before its announced "
                      "length of %.2f s",
                      double(counters.endedEarlyAtMs) / 1000.0, announcedSeconds);
        line(text);
    }
}

} // namespace moxel
