#include "sources/FrameRateDetection.h"

#include "base/DiagnosticSink.h"
#include "container/FrameRateCode.h"
#include "settings/ProgramFolders.h"
#include "sources/StreamDecoder.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cmath>
#include <memory>

namespace moxel {
namespace {

constexpr double kMaxBelievableFps = 1000.0;

// How much of a stream the timestamp rate looks at: enough for the rate of
// the first half minute, little enough that opening stays quick.
constexpr int kMaxTimedPictures = 1800;
constexpr double kMaxTimedSeconds = 30.0;
// Pictures stored out of order come back in time by a few pictures at most.
constexpr double kNewRunSeconds = 0.2;

} // namespace

double assumedFrameRate()
{
    const ProgramFolders& folders = programFolders();
    if (!folders.assumeFpsEnabled.load())
        return 0.0;
    const double rate = folders.assumedFps.load();
    return rate < 0.001 || !std::isfinite(rate) ? 30.0 : rate;
}

double snapFrameRate(double rate)
{
    double snapped = rate;
    if (std::fabs(rate - 29.97) < 0.00001)
        snapped = 30000.0 / 1001.0;
    else if (std::fabs(rate - 23.97) < 0.0001)
        snapped = 24000.0 / 1001.0;
    if (snapped != rate)
        emitDiagnosticf(kDshowDiagnostics, DiagnosticLevel::Info,
                        "Dshow: overriding detected fps to %.8f", snapped);
    return snapped;
}

double reportedFrameRate(const AVStream* stream)
{
    if (!stream)
        return 0.0;
    for (const AVRational reported : {stream->avg_frame_rate, stream->r_frame_rate}) {
        const double fps = reported.num > 0 && reported.den > 0 ? av_q2d(reported) : 0.0;
        if (std::isfinite(fps) && fps > 0.0 && fps < kMaxBelievableFps)
            return fps;
    }
    return 0.0;
}

double indexedFrameRate(const AVStream* stream)
{
    if (!stream || stream->nb_frames <= 0 || stream->duration == AV_NOPTS_VALUE ||
        stream->duration <= 0 || stream->time_base.num <= 0 || stream->time_base.den <= 0)
        return 0.0;
    // As a reduced fraction, so that 30000/1001 comes out as that very number.
    AVRational rate{0, 1};
    av_reduce(&rate.num, &rate.den, stream->nb_frames * int64_t(stream->time_base.den),
              stream->duration * int64_t(stream->time_base.num), INT32_MAX);
    if (rate.num <= 0 || rate.den <= 0)
        return 0.0;
    const double fps = av_q2d(rate);
    return std::isfinite(fps) && fps > 0.0 ? fps : 0.0;
}

double timestampFrameRate(const std::string& path, int streamIndex)
{
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
        return 0.0;
    std::unique_ptr<AVFormatContext, FormatContextCloser> context(raw);
    if (avformat_find_stream_info(raw, nullptr) < 0 || streamIndex < 0 ||
        unsigned(streamIndex) >= raw->nb_streams)
        return 0.0;
    for (unsigned i = 0; i < raw->nb_streams; ++i)
        raw->streams[i]->discard = int(i) == streamIndex ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    const AVRational base = raw->streams[streamIndex]->time_base;
    std::unique_ptr<AVPacket, void (*)(AVPacket*)> packet(av_packet_alloc(),
                                                          [](AVPacket* p) { av_packet_free(&p); });
    if (!packet || base.num <= 0 || base.den <= 0)
        return 0.0;
    // Pictures stored out of order: the earliest and latest times of a run,
    // and the count, give the rate over the span the run covers. A time far
    // before the run's latest (two files joined, a clock reset) starts a new
    // run, so that overlapping times do not look like more pictures.
    const double seconds = av_q2d(base);
    const auto backJump = int64_t(kNewRunSeconds / seconds);
    int64_t first = 0, last = 0;
    double span = 0.0;
    int timed = 0, runs = 0;
    while (timed < kMaxTimedPictures && av_read_frame(raw, packet.get()) >= 0) {
        if (packet->stream_index == streamIndex && packet->pts != AV_NOPTS_VALUE) {
            if (runs == 0 || packet->pts < last - backJump) {
                span += double(last - first) * seconds;
                first = last = packet->pts;
                ++runs;
            }
            first = std::min(first, packet->pts);
            last = std::max(last, packet->pts);
            ++timed;
        }
        av_packet_unref(packet.get());
        if (span + double(last - first) * seconds >= kMaxTimedSeconds)
            break;
    }
    span += double(last - first) * seconds;
    if (timed - runs < 1 || span <= 0.0)
        return 0.0;
    const double fps = double(timed - runs) / span;
    return std::isfinite(fps) && fps > 0.0 && fps < kMaxBelievableFps ? fps : 0.0;
}

double codedFrameRate(double rate, std::string_view tag)
{
    if (!std::isfinite(rate) || rate <= 0.0)
        return rate;
    const double coded = decodeFrameRate(encodeFrameRate(rate));
    if (coded <= 0.0 || std::fabs(coded - rate) <= 1e-9 * rate)
        return rate;
    emitDiagnosticf(tag, DiagnosticLevel::Info,
                    "%.*s: no frame-rate code for %.6f fps, converting to %.6f fps",
                    int(tag.size()), tag.data(), rate, coded);
    return coded;
}

} // namespace moxel
